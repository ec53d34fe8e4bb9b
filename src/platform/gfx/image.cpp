#include "platform/gfx/image.h"

#include <SDL.h>
#include <SDL_image.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <memory>
#include <optional>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO_FALLBACK
#include <stb_image_write.h>

namespace gfx {

namespace {

using namespace std::string_view_literals;

struct SurfaceDeleter {
  void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

struct RWopsDeleter {
  void operator()(SDL_RWops* stream) const { SDL_RWclose(stream); }
};
using RWopsPtr = std::unique_ptr<SDL_RWops, RWopsDeleter>;

enum class Format { kPng, kJpeg, kBmp, kTga };

const char* NameOf(Format format) {
  switch (format) {
    case Format::kPng:
      return "PNG";
    case Format::kJpeg:
      return "JPEG";
    case Format::kBmp:
      return "BMP";
    case Format::kTga:
      return "TGA";
  }
  return "";
}

struct Header {
  Format format;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::size_t minimumBytes = 0;  // the least a file of this size can hold, where the decoder needs it checked
};

// Bounds-checked reads of the file's header fields.
class Bytes {
 public:
  explicit Bytes(std::span<const std::byte> data) : data_(data) {}
  std::size_t Size() const { return data_.size(); }
  bool Has(std::size_t offset, std::size_t count) const {
    return offset <= data_.size() && count <= data_.size() - offset;
  }
  std::uint32_t U8(std::size_t at) const { return std::to_integer<std::uint32_t>(data_[at]); }
  std::uint32_t Be16(std::size_t at) const { return U8(at) << 8 | U8(at + 1); }
  std::uint32_t Be32(std::size_t at) const { return Be16(at) << 16 | Be16(at + 2); }
  std::uint32_t Le16(std::size_t at) const { return U8(at) | U8(at + 1) << 8; }
  std::uint32_t Le32(std::size_t at) const { return Le16(at) | Le16(at + 2) << 16; }
  bool StartsWith(std::string_view prefix, std::size_t at = 0) const {
    if (!Has(at, prefix.size())) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
      if (U8(at + i) != static_cast<unsigned char>(prefix[i])) return false;
    return true;
  }

 private:
  std::span<const std::byte> data_;
};

// Formats people may hand us that the program does not read, named so the message says what
// the file is rather than only what it is not.
struct Unsupported {
  std::string_view signature;
  const char* name;
};
constexpr Unsupported kUnsupported[] = {
    {"GIF8"sv, "GIF"},
    {"II*\0"sv, "TIFF"},
    {"MM\0*"sv, "TIFF"},
    {"DDS "sv, "DDS"},
    {"8BPS"sv, "PSD"},
    {"qoif"sv, "QOI"},
    {"\0\0\0\x0cjP"sv, "JPEG 2000"},
};

const char* UnsupportedName(const Bytes& bytes) {
  for (const auto& format : kUnsupported)
    if (bytes.StartsWith(format.signature)) return format.name;
  if (bytes.StartsWith("RIFF") && bytes.StartsWith("WEBP", 8)) return "WebP";
  // PNM: P1 to P7, then white space or a comment.
  if (bytes.Has(0, 3) && bytes.U8(0) == 'P' && bytes.U8(1) >= '1' && bytes.U8(1) <= '7' &&
      " \t\r\n#"sv.find(static_cast<char>(bytes.U8(2))) != std::string_view::npos)
    return "PNM";
  return nullptr;
}

// ---- headers ------------------------------------------------------------------------------

std::optional<Header> PngHeader(const Bytes& bytes, std::string* problem) {
  // The signature, then IHDR first: length, type, width, height (big-endian).
  if (!bytes.Has(0, 24) || !bytes.StartsWith("IHDR", 12)) {
    *problem = "the PNG has no IHDR header";
    return std::nullopt;
  }
  // Every chunk (length, type, data, CRC) must be whole, up to IEND. SDL_image ignores short
  // reads, so libpng would go on parsing stale bytes past the end of a cut file, for ever
  // when they repeat an ancillary chunk.
  for (std::size_t at = 8; bytes.Has(at, 12);) {
    const std::size_t length = bytes.Be32(at);
    if (length > 0x7FFFFFFF || !bytes.Has(at + 12, length)) break;
    if (bytes.StartsWith("IEND", at + 4)) return Header{Format::kPng, bytes.Be32(16), bytes.Be32(20)};
    at += 12 + length;
  }
  *problem = "the PNG file is cut short";
  return std::nullopt;
}

// libjpeg-turbo's advice for untrusted files: every scan of a progressive JPEG revisits the
// whole image, so a small file of many scans takes minutes to decode.
constexpr std::size_t kMaxJpegScans = 500;

bool IsJpegFrameMarker(std::uint32_t marker) {
  // SOF0..SOF15 but DHT (C4), JPG (C8) and DAC (CC).
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

std::optional<Header> JpegHeader(const Bytes& bytes, std::string* problem) {
  // Walk the marker segments after SOI up to the frame header. Bytes between segments are
  // skipped up to the next marker, as libjpeg does, so both read the same frame header.
  std::size_t at = 2;
  std::optional<Header> header;
  while (!header) {
    while (at < bytes.Size() && bytes.U8(at) != 0xFF) ++at;
    while (at < bytes.Size() && bytes.U8(at) == 0xFF) ++at;
    if (at >= bytes.Size()) break;
    const std::uint32_t marker = bytes.U8(at++);
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no length
    if (marker == 0xD9 || marker == 0xDA) break;  // end of image, or image data before any frame
    if (!bytes.Has(at, 2)) break;
    const std::size_t length = bytes.Be16(at);
    if (IsJpegFrameMarker(marker)) {
      // Length, precision, height, width.
      if (length < 8 || !bytes.Has(at, 7)) break;
      header = Header{Format::kJpeg, bytes.Be16(at + 5), bytes.Be16(at + 3)};
    }
    at += length;
  }
  if (!header) {
    *problem = "the JPEG has no frame header before its image data";
    return std::nullopt;
  }
  std::size_t scans = 0;
  for (std::size_t i = 0; i + 1 < bytes.Size(); ++i) scans += bytes.U8(i) == 0xFF && bytes.U8(i + 1) == 0xDA;
  if (scans > kMaxJpegScans) {
    *problem = "the JPEG has " + std::to_string(scans) + " scans, more than " + std::to_string(kMaxJpegScans);
    return std::nullopt;
  }
  return header;
}

std::optional<Header> BmpHeader(const Bytes& bytes, std::string* problem) {
  // File header (14 bytes), then the info header, whose first field is its own size.
  if (!bytes.Has(14, 4)) {
    *problem = "the BMP file is cut short in its header";
    return std::nullopt;
  }
  const std::uint32_t infoSize = bytes.Le32(14);
  if (infoSize == 12 && bytes.Has(18, 8)) return Header{Format::kBmp, bytes.Le16(18), bytes.Le16(20)};
  if (infoSize < 16 || !bytes.Has(18, 8)) {
    *problem = "the BMP info header is damaged";
    return std::nullopt;
  }
  // Signed fields; a negative height is a top-down image.
  const auto width = static_cast<std::int32_t>(bytes.Le32(18));
  const auto height = static_cast<std::int32_t>(bytes.Le32(22));
  if (width < 0 || height == INT32_MIN) {
    *problem = "the BMP info header gives a negative size";
    return std::nullopt;
  }
  return Header{Format::kBmp, static_cast<std::uint32_t>(width),
                static_cast<std::uint32_t>(std::abs(height))};
}

std::optional<Header> TgaHeader(const Bytes& bytes, std::string* problem) {
  // 18 bytes: id length, colour-map type, image type, colour-map first entry, length and entry
  // size, x and y origin, width, height, pixel depth, descriptor.
  auto refuse = [&](const char* why) {
    *problem = why;
    return std::nullopt;
  };
  if (!bytes.Has(0, 18)) return refuse("the header is cut short");
  const std::uint32_t idLength = bytes.U8(0), mapType = bytes.U8(1), imageType = bytes.U8(2);
  const std::uint32_t mapLength = bytes.Le16(5), mapDepth = bytes.U8(7), depth = bytes.U8(16);
  const std::uint32_t descriptor = bytes.U8(17);
  auto oneOf = [](std::uint32_t value, std::initializer_list<std::uint32_t> allowed) {
    return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
  };
  if (mapType > 1) return refuse("unknown colour-map type");
  if (mapType == 1 && !oneOf(mapDepth, {15, 16, 24, 32})) return refuse("unknown colour-map entry size");
  switch (imageType) {
    case 1:
    case 9:  // colour-mapped
      if (mapType != 1 || mapLength == 0) return refuse("a colour-mapped image without a colour map");
      if (depth != 8) return refuse("unsupported pixel depth for a colour-mapped image");
      break;
    case 2:
    case 10:  // true colour
      if (!oneOf(depth, {15, 16, 24, 32})) return refuse("unsupported pixel depth for a true-colour image");
      break;
    case 3:
    case 11:  // grey
      if (!oneOf(depth, {8, 16})) return refuse("unsupported pixel depth for a grey image");
      break;
    default:
      return refuse("unknown image type");
  }
  if (descriptor & 0xC0) return refuse("interleaved rows are not supported");
  const std::size_t mapBytes = mapType == 1 ? std::size_t{mapLength} * ((mapDepth + 7) / 8) : 0;
  if (!bytes.Has(18, idLength + mapBytes)) return refuse("the colour map is cut short");
  // The decoder reads on through a file's end, so a few bytes claiming a large image would keep
  // it busy for seconds: the pixels must be there. A run-length packet is a count byte and one
  // pixel standing for up to 128 pixels.
  const std::size_t pixels = std::size_t{bytes.Le16(12)} * bytes.Le16(14);
  const std::size_t pixelBytes = (depth + 7) / 8;
  const bool runLength = imageType >= 9;
  const std::size_t pixelData = runLength ? (pixels + 127) / 128 * (1 + pixelBytes) : pixels * pixelBytes;
  return Header{Format::kTga, bytes.Le16(12), bytes.Le16(14), 18 + idLength + mapBytes + pixelData};
}

bool HasTgaName(std::string_view fileName) {
  if (fileName.size() < 4) return false;
  std::string extension(fileName.substr(fileName.size() - 4));
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".tga";
}

std::optional<Header> ReadHeader(const Bytes& bytes, std::string_view fileName, std::string* problem) {
  if (bytes.StartsWith("\x89PNG\r\n\x1a\n")) return PngHeader(bytes, problem);
  if (bytes.StartsWith("\xFF\xD8\xFF")) return JpegHeader(bytes, problem);
  if (bytes.StartsWith("BM")) return BmpHeader(bytes, problem);
  std::string tgaProblem;
  if (auto header = TgaHeader(bytes, &tgaProblem)) return header;
  if (const char* name = UnsupportedName(bytes))
    *problem = std::string("a ") + name + " image; only PNG, JPEG, BMP and TGA images are read";
  else if (HasTgaName(fileName))
    *problem = "the TGA header is not valid: " + tgaProblem;
  else
    *problem = "not a PNG, JPEG, BMP or TGA image";
  return std::nullopt;
}

SurfacePtr Decode(Format format, SDL_RWops* stream) {
  // One decoder per format: IMG_LoadTyped_RW would still try every signature it knows first.
  switch (format) {
    case Format::kPng:
      return SurfacePtr(IMG_LoadPNG_RW(stream));
    case Format::kJpeg:
      return SurfacePtr(IMG_LoadJPG_RW(stream));
    case Format::kBmp:
      return SurfacePtr(IMG_LoadBMP_RW(stream));
    case Format::kTga:
      return SurfacePtr(IMG_LoadTGA_RW(stream));
  }
  return nullptr;
}

Image Refuse(std::string* why, std::string reason) {
  if (why) *why = std::move(reason);
  return Image{};
}

}  // namespace

bool WritePng(const Image& image, const std::string& path) {
  if (image.Empty()) return false;
  return stbi_write_png(path.c_str(), image.width, image.height, 4, image.rgba.data(), image.width * 4) != 0;
}

std::vector<std::uint8_t> EncodePng(const Image& image) {
  std::vector<std::uint8_t> bytes;
  if (image.Empty()) return bytes;
  const auto append = [](void* context, void* data, int size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* begin = static_cast<const std::uint8_t*>(data);
    out->insert(out->end(), begin, begin + size);
  };
  if (!stbi_write_png_to_func(append, &bytes, image.width, image.height, 4, image.rgba.data(),
                              image.width * 4))
    bytes.clear();
  return bytes;
}

Image DecodeImage(std::span<const std::byte> bytes, std::string* why, std::string_view fileName) {
  if (bytes.empty()) return Refuse(why, "the file is empty");
  if (bytes.size() > kMaxImageFileBytes) return Refuse(why, "the file is larger than 64 MB");
  std::string problem;
  const auto header = ReadHeader(Bytes(bytes), fileName, &problem);
  if (!header) return Refuse(why, problem);
  const std::string name = NameOf(header->format);
  const std::string size = std::to_string(header->width) + "x" + std::to_string(header->height);
  if (header->width == 0 || header->height == 0)
    return Refuse(why, "the " + name + " image is " + size + " pixels");
  if (header->width > kMaxImageSide || header->height > kMaxImageSide)
    return Refuse(why, "the " + name + " image is " + size + " pixels, more than " +
                           std::to_string(kMaxImageSide) + " on a side");
  if (bytes.size() < header->minimumBytes)
    return Refuse(why, "the " + name + " file is cut short: " + size + " pixels need at least " +
                           std::to_string(header->minimumBytes) + " bytes");

  RWopsPtr stream(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())));
  if (!stream) return Refuse(why, std::string("cannot read from memory: ") + SDL_GetError());
  SDL_ClearError();
  SurfacePtr decoded = Decode(header->format, stream.get());
  if (!decoded) return Refuse(why, "the " + name + " image cannot be decoded: " + SDL_GetError());
  // The limits were checked on the header: a decoder that read another size is not trusted.
  if (decoded->w != static_cast<int>(header->width) || decoded->h != static_cast<int>(header->height))
    return Refuse(why, "the " + name + " image decodes to another size than its header gives");
  // RGBA32 is R, G, B, A in memory whatever the machine's byte order.
  SurfacePtr rgba(SDL_ConvertSurfaceFormat(decoded.get(), SDL_PIXELFORMAT_RGBA32, 0));
  decoded.reset();
  if (!rgba) return Refuse(why, "the " + name + " image cannot be converted to RGBA: " + SDL_GetError());

  Image image;
  image.width = rgba->w;
  image.height = rgba->h;
  const std::size_t rowBytes = static_cast<std::size_t>(rgba->w) * 4;
  image.rgba.resize(rowBytes * static_cast<std::size_t>(rgba->h));
  const auto* pixels = static_cast<const std::uint8_t*>(rgba->pixels);
  for (int y = 0; y < rgba->h; ++y)
    std::memcpy(image.rgba.data() + rowBytes * y, pixels + static_cast<std::size_t>(rgba->pitch) * y,
                rowBytes);
  return image;
}

Image ReadImageFile(const std::string& path, std::string* why) {
  // Into memory first, so the decoders only ever see files of sane size.
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return Refuse(why, "cannot open the file (" + error.message() + ")");
  if (size > kMaxImageFileBytes) return Refuse(why, "the file is larger than 64 MB");
  std::vector<std::byte> bytes(size);
  std::ifstream in(path, std::ios::binary);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
    return Refuse(why, "cannot read the file");
  return DecodeImage(bytes, why, path);
}

}  // namespace gfx
