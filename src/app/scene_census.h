#pragma once
// How many of each kind of scene object the registry holds, by the objects' type numbers:
// one walk over the lists, reading only what every object keeps in its first cache line.

struct FrameFigures;

// Fills the scene counts of the figures; objects already dead are not counted.
void CountSceneObjects(FrameFigures& figures);
