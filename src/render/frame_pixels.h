#pragma once
// What a drawn frame becomes in a file.

#include <cstdint>

#include "platform/gfx/image.h"

// A frame drawn on a transparent render target (colour over black, alpha the coverage of what
// hides the background) as ordinary, unpremultiplied RGBA: alpha becomes the larger of the
// coverage and the brightest channel, and the colour is divided by it. Composited with
// ordinary alpha blending over black it gives back the colour drawn (to within a step), so
// additive glows keep their look; over other backgrounds they stay where they were.
void StraightenAlpha(gfx::Image* frame);
// A frame drawn over an opaque background, every pixel opaque.
void MakeOpaque(gfx::Image* frame);
