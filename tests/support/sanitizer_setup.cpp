// Runs before any test: see KeepGraphicsDriversLoadedForLeakChecks. Sound goes to SDL's
// dummy device unless a driver was chosen: tests need a sound output, not a speaker.

#include <cstdlib>

#include "platform/sanitizer_support.h"

namespace {
const bool kDriversPinned = [] {
  platform::KeepGraphicsDriversLoadedForLeakChecks();
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  return true;
}();
}  // namespace
