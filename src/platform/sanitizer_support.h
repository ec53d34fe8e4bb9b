#pragma once

namespace platform {

// Under LeakSanitizer, keeps the system's OpenGL driver libraries loaded until exit. They
// leak small allocations by design and are unloaded before the leak check runs, which
// leaves their allocations without a module name the suppression file could match.
// Does nothing in normal builds.
void KeepGraphicsDriversLoadedForLeakChecks();

}  // namespace platform
