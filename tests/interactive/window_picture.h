#pragma once
// What a window of the test's X display shows at this moment, read back from the X server
// (kept apart from the tests: the X headers define names such as None and Status as macros).

#include <string>

#include "platform/gfx/image.h"

namespace e2e {

// The window's picture, by its X id as xdotool prints it; empty while it is not mapped, and
// when it is gone.
gfx::Image WindowPicture(const std::string& window);

}  // namespace e2e
