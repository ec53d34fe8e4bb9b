// libFuzzer target: the texture decoder on arbitrary bytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "platform/gfx/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string why;
  const gfx::Image image = gfx::DecodeImage(std::as_bytes(std::span(data, size)), &why);
  // Either a refusal that says why, or exactly the pixels of a size the limits allow.
  const bool refused = image.Empty() && image.rgba.empty() && !why.empty();
  const bool decoded = !image.Empty() && image.width <= static_cast<int>(gfx::kMaxImageSide) &&
                       image.height <= static_cast<int>(gfx::kMaxImageSide) &&
                       image.rgba.size() == static_cast<size_t>(image.width) * image.height * 4;
  if (!refused && !decoded) std::abort();
  return 0;
}
