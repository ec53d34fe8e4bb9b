#pragma once

// PE_ADDRESS_SANITIZER is defined in AddressSanitizer builds: GCC says so with a macro,
// clang through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define PE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PE_ADDRESS_SANITIZER 1
#endif
#endif

namespace platform {

// Under LeakSanitizer, keeps the system's OpenGL driver libraries loaded until exit. They
// leak small allocations by design and are unloaded before the leak check runs, which
// leaves their allocations without a module name the suppression file could match.
// Does nothing in normal builds.
void KeepGraphicsDriversLoadedForLeakChecks();

}  // namespace platform
