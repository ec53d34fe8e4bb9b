#include "render/frame_pixels.h"

#include <algorithm>

void StraightenAlpha(gfx::Image* frame) {
  for (std::size_t i = 0; i + 3 < frame->rgba.size(); i += 4) {
    std::uint8_t* p = &frame->rgba[i];
    const unsigned alpha = std::max({unsigned{p[3]}, unsigned{p[0]}, unsigned{p[1]}, unsigned{p[2]}});
    if (alpha == 0) {
      p[0] = p[1] = p[2] = p[3] = 0;
      continue;
    }
    for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>((p[c] * 255u + alpha / 2) / alpha);
    p[3] = static_cast<std::uint8_t>(alpha);
  }
}

void MakeOpaque(gfx::Image* frame) {
  for (std::size_t i = 3; i < frame->rgba.size(); i += 4) frame->rgba[i] = 255;
}
