#include "platform/sanitizer_support.h"

#include <dlfcn.h>

namespace platform {

void KeepGraphicsDriversLoadedForLeakChecks() {
#if defined(PE_ADDRESS_SANITIZER)
  const char* libraries[] = {
      "libGLX_mesa.so.0",
      "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so",
      "/usr/lib/aarch64-linux-gnu/dri/swrast_dri.so",
      "/usr/lib/dri/swrast_dri.so",
      "/usr/lib64/dri/swrast_dri.so",
  };
  for (const char* library : libraries) dlopen(library, RTLD_LAZY | RTLD_NODELETE);
#endif
}

}  // namespace platform
