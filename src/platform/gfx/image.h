#pragma once
// A picture in memory: tightly packed RGBA rows, top row first.

#include <cstdint>
#include <string>
#include <vector>

namespace gfx {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;

  bool Empty() const { return width <= 0 || height <= 0; }
  const std::uint8_t* Pixel(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// Writes a PNG; false when the file could not be written.
bool WritePng(const Image& image, const std::string& path);
// Reads a PNG (or any format the image loader knows) into RGBA; an empty image on failure.
Image ReadImageFile(const std::string& path);

}  // namespace gfx
