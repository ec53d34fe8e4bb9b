// Runs before any test: see KeepGraphicsDriversLoadedForLeakChecks.

#include "platform/sanitizer_support.h"

namespace {
const bool kDriversPinned = [] {
  platform::KeepGraphicsDriversLoadedForLeakChecks();
  return true;
}();
}  // namespace
