#pragma once
// How many of each kind of scene object the registry holds, by the objects' type numbers:
// the registry keeps the counts as objects come and go, so this costs the same for ten
// objects as for a hundred thousand.

struct FrameFigures;

// Fills the scene counts of the figures; objects that died this frame count until the
// registry's next purge.
void CountSceneObjects(FrameFigures& figures);
