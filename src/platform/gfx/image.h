#pragma once
// A picture in memory: tightly packed RGBA rows, top row first.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace gfx {

struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;

  bool Empty() const { return width <= 0 || height <= 0; }
  const std::uint8_t* Pixel(int x, int y) const { return &rgba[(static_cast<size_t>(y) * width + x) * 4]; }
};

// Texture files are refused above these sizes before anything is decoded, so a small file
// cannot claim an image that takes gigabytes.
constexpr std::size_t kMaxImageFileBytes = std::size_t{64} << 20;
constexpr std::uint32_t kMaxImageSide = 8192;

// Writes a PNG; false when the file could not be written.
bool WritePng(const Image& image, const std::string& path);
// The image as the bytes of a PNG file: 8-bit RGBA, not interlaced, the same bytes for the same
// image; empty for an empty image.
std::vector<std::uint8_t> EncodePng(const Image& image);

// Decodes a PNG, JPEG, BMP or TGA file held in memory. Every other format, a damaged file or
// an image above kMaxImageSide on a side gives an empty image and the reason in *why. TGA has
// no signature: it is recognised by a plausible header, and fileName (when given) only makes
// the message about a broken .tga file clearer.
Image DecodeImage(std::span<const std::byte> bytes, std::string* why = nullptr,
                  std::string_view fileName = {});
// Reads a file of at most kMaxImageFileBytes and decodes it; an empty image and the reason
// on failure.
Image ReadImageFile(const std::string& path, std::string* why = nullptr);

}  // namespace gfx
