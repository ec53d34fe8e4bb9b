// Runs before any test: sound goes to SDL's dummy device unless a driver was chosen (tests need
// a sound output, not a speaker). The graphics drivers are kept loaded for the leak checker by
// the tests that open a display alone (KeepGraphicsDriversLoadedForLeakChecks): loading them
// in every test process costs each of them time at start and at its leak check.

#include <cstdlib>

namespace {
const bool kAudioDriverChosen = [] {
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  return true;
}();
}  // namespace
