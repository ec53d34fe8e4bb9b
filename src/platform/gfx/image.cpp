#include "platform/gfx/image.h"

#include <filesystem>
#include <fstream>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO_FALLBACK
#include <stb_image_write.h>

#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_MAX_DIMENSIONS 8192
#include <stb_image.h>

namespace gfx {

bool WritePng(const Image& image, const std::string& path) {
  if (image.Empty()) return false;
  return stbi_write_png(path.c_str(), image.width, image.height, 4, image.rgba.data(), image.width * 4) != 0;
}

Image ReadImageFile(const std::string& path) {
  // Read into memory first: the decoder trusts chunk headers, so it only ever sees files of sane size.
  constexpr std::uintmax_t kMaxFileBytes = 64u << 20;
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error || size == 0 || size > kMaxFileBytes) return Image{};
  std::ifstream in(path, std::ios::binary);
  std::vector<unsigned char> bytes(size);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) return Image{};

  Image image;
  int channels = 0;
  stbi_uc* pixels = stbi_load_from_memory(bytes.data(), static_cast<int>(size), &image.width, &image.height,
                                          &channels, 4);
  if (!pixels) return Image{};
  image.rgba.assign(pixels, pixels + static_cast<size_t>(image.width) * image.height * 4);
  stbi_image_free(pixels);
  return image;
}

}  // namespace gfx
