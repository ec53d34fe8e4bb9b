// Texture decoding: every format the program reads lands as RGBA rows, top row first, and
// every other file is refused with a reason before a decoder can be misled by it.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/gfx/image.h"
#include "platform/gfx/null/null_device.h"
#include "support/source_tree.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

const fs::path kSeeds = SourcePath("fuzz/corpus/image");

std::span<const std::byte> View(const Bytes& bytes) {
  return std::as_bytes(std::span(bytes));
}

Bytes ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Writer {
  Bytes out;
  Writer& U8(unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    return *this;
  }
  Writer& Le16(unsigned v) { return U8(v).U8(v >> 8); }
  Writer& Le32(std::uint32_t v) { return Le16(v).Le16(v >> 16); }
  Writer& Be16(unsigned v) { return U8(v >> 8).U8(v); }
  Writer& Be32(std::uint32_t v) { return Be16(v >> 16).Be16(v); }
  Writer& Text(std::string_view s) {
    out.insert(out.end(), s.begin(), s.end());
    return *this;
  }
};

// Decoded, or refused with a reason: never anything in between.
::testing::AssertionResult DecodedOrRefused(const gfx::Image& image, const std::string& why) {
  if (image.Empty()) {
    if (why.empty() || !image.rgba.empty())
      return ::testing::AssertionFailure() << "refused without a reason";
    return ::testing::AssertionSuccess();
  }
  const int limit = static_cast<int>(gfx::kMaxImageSide);
  if (image.width > limit || image.height > limit ||
      image.rgba.size() != static_cast<std::size_t>(image.width) * image.height * 4)
    return ::testing::AssertionFailure()
           << image.rgba.size() << " bytes for " << image.width << "x" << image.height;
  return ::testing::AssertionSuccess();
}

// tools/make_image_seeds.py: red, green / blue, white quadrants, the white half transparent
// where the format has alpha.
TEST(DecodeImage, EveryLayoutGivesRgbaTopRowFirst) {
  struct Seed {
    const char* file;
    int whiteAlpha;
    int tolerance;  // JPEG is lossy, even with every quantiser at 1
  };
  const Seed seeds[] = {
      {"quadrants.png", 128, 0},        {"quadrants-16bit.png", 128, 0},    {"quadrants-palette.png", 128, 0},
      {"quadrants.bmp", 255, 0},        {"quadrants-top-down.bmp", 255, 0}, {"quadrants-rle.tga", 255, 0},
      {"quadrants-mapped.tga", 255, 0}, {"quadrants-alpha.tga", 128, 0},    {"quadrants.jpg", 255, 3},
  };
  for (const Seed& seed : seeds) {
    SCOPED_TRACE(seed.file);
    std::string why;
    const gfx::Image image = gfx::DecodeImage(View(ReadFile(kSeeds / seed.file)), &why);
    ASSERT_EQ(image.width, 16) << why;
    ASSERT_EQ(image.height, 16);
    const int quadrants[4][4] = {
        {255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 255, seed.whiteAlpha}};
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        for (int c = 0; c < 4; ++c)
          ASSERT_LE(std::abs(image.Pixel(x, y)[c] - quadrants[(y / 8) * 2 + x / 8][c]), seed.tolerance)
              << "pixel " << x << "," << y << " channel " << c;
  }
}

Bytes PngHeaderOnly(std::uint32_t width, std::uint32_t height) {
  // The header is checked before libpng sees the file, so the CRCs can stay zero.
  Writer png;
  png.Text("\x89PNG\r\n\x1a\n").Be32(13).Text("IHDR").Be32(width).Be32(height).U8(8).U8(6).U8(0).U8(0).U8(0);
  png.Be32(0).Be32(0).Text("IEND").Be32(0);
  return png.out;
}

Bytes Jpeg(std::uint32_t width, std::uint32_t height, int scans) {
  Writer jpeg;
  jpeg.U8(0xFF).U8(0xD8).U8(0xFF).U8(0xE0).Be16(4).Be16(0);  // an APP0 segment to walk over
  jpeg.U8(0xFF).U8(0xC0).Be16(11).U8(8).Be16(height).Be16(width).U8(1).U8(1).U8(0x11).U8(0);
  for (int i = 0; i < scans; ++i) jpeg.U8(0xFF).U8(0xDA).Be16(8).U8(1).U8(1).U8(0).U8(0).U8(63).U8(0).U8(0);
  return jpeg.U8(0xFF).U8(0xD9).out;
}

Bytes Bmp(std::int32_t width, std::int32_t height) {
  return Writer().Text("BM").Le32(54).Le32(0).Le32(54).Le32(40).Le32(width).Le32(height).Le16(1).Le16(24).out;
}

Bytes Tga(unsigned width, unsigned height, unsigned imageType, unsigned depth) {
  Writer tga;
  tga.U8(0).U8(0).U8(imageType).Le16(0).Le16(0).U8(0).Le16(0).Le16(0).Le16(width).Le16(height).U8(depth).U8(
      0);
  return tga.out;
}

TEST(DecodeImage, RefusesWithAReasonBeforeDecoding) {
  const Bytes palette = ReadFile(kSeeds / "quadrants-palette.png");
  struct Case {
    const char* name;
    Bytes bytes;
    const char* reason;
  };
  const Case cases[] = {
      {"empty", {}, "the file is empty"},
      {"GIF", Writer().Text("GIF89a").Le16(1).Le16(1).out, "a GIF image"},
      {"PNM", Writer().Text("P6\n3 2\n255\n0123456789abcdefgh").out, "a PNM image"},
      {"text", Writer().Text("this is not an image at all").out, "not a PNG, JPEG, BMP or TGA image"},
      {"PNG without IHDR", Writer().Text("\x89PNG\r\n\x1a\nnothing here at all").out, "no IHDR"},
      {"PNG too wide", PngHeaderOnly(8193, 1), "the PNG image is 8193x1 pixels, more than 8192 on a side"},
      {"PNG too tall", PngHeaderOnly(1, 8193), "1x8193 pixels, more than 8192"},
      {"PNG of no pixels", PngHeaderOnly(0, 0), "the PNG image is 0x0 pixels"},
      {"PNG without image data", PngHeaderOnly(2, 2), "the PNG image cannot be decoded"},
      // Unchecked, libpng would parse stale bytes past the end of this one for ever.
      {"PNG cut in tRNS", Bytes(palette.begin(), palette.begin() + 70), "the PNG file is cut short"},
      {"JPEG too tall", Jpeg(10, 9000, 1), "the JPEG image is 10x9000 pixels, more than 8192"},
      {"JPEG of many scans", Jpeg(8, 8, 501), "the JPEG has 501 scans, more than 500"},
      {"JPEG without a frame", Writer().U8(0xFF).U8(0xD8).U8(0xFF).U8(0xDA).Be16(2).out, "no frame header"},
      {"BMP too wide", Bmp(9000, 1), "the BMP image is 9000x1 pixels, more than 8192"},
      {"BMP too tall top-down", Bmp(1, -9000), "1x9000 pixels"},
      {"BMP of negative width", Bmp(-4, 4), "negative size"},
      {"BMP cut short", Writer().Text("BM").Le32(70).out, "cut short"},
      {"TGA too wide", Tga(8193, 2, 2, 24), "the TGA image is 8193x2 pixels, more than 8192"},
      // The decoder would read on through the end, pixel by pixel, for seconds.
      {"TGA without its pixels", Tga(4096, 4096, 10, 16), "the TGA file is cut short: 4096x4096 pixels need"},
      {"TGA-like header of another depth", Tga(2, 2, 3, 12), "not a PNG, JPEG, BMP or TGA image"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string why;
    const gfx::Image image = gfx::DecodeImage(View(c.bytes), &why);
    EXPECT_TRUE(image.Empty() && image.rgba.empty());
    EXPECT_NE(why.find(c.reason), std::string::npos) << why;
  }
  // A file named .tga is told what is wrong with its header.
  std::string why;
  EXPECT_TRUE(gfx::DecodeImage(View(Tga(2, 2, 3, 12)), &why, "Data/TEXTURE/smoke.TGA").Empty());
  EXPECT_NE(why.find("the TGA header is not valid: unsupported pixel depth for a grey image"),
            std::string::npos)
      << why;
}

TEST(DecodeImage, EveryCutOfAGoodFileIsDecodedOrRefused) {
  for (const auto& entry : fs::directory_iterator(kSeeds)) {
    if (entry.path().filename().string().rfind("quadrants", 0) != 0) continue;
    SCOPED_TRACE(entry.path().filename().string());
    const Bytes bytes = ReadFile(entry.path());
    for (std::size_t size = 0; size < bytes.size(); ++size) {
      std::string why;
      const gfx::Image image = gfx::DecodeImage(View(Bytes(bytes.begin(), bytes.begin() + size)), &why);
      EXPECT_TRUE(DecodedOrRefused(image, why)) << size << " bytes";
    }
  }
}

// Inputs that broke the previous decoder (stb_image) under coverage-guided fuzzing.
TEST(DecodeImage, FuzzCrashersAreRefusedOrDecoded) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(SourcePath("fuzz/crashers/image"))) {
    SCOPED_TRACE(entry.path().filename().string());
    std::string why;
    EXPECT_TRUE(DecodedOrRefused(gfx::DecodeImage(View(ReadFile(entry.path())), &why), why));
    ++count;
  }
  EXPECT_GE(count, 6);
}

class ImageFileTest : public TempFolderTest {
 protected:
  std::string Copy(const std::string& seed, const std::string& name) {
    fs::copy_file(kSeeds / seed, dir_ / name);
    return (dir_ / name).string();
  }
};

TEST_F(ImageFileTest, ReadsWithinTheSizeLimitAndSaysWhyNot) {
  // Sparse: the limit must refuse the file by its size, without reading it.
  const std::string huge = Copy("quadrants.png", "huge.png");
  fs::resize_file(huge, gfx::kMaxImageFileBytes + 1);
  const std::string text = (dir_ / "text.tga").string();
  std::ofstream(text) << "not a picture, whatever its name";
  struct Case {
    std::string path;
    const char* reason;
  };
  const Case cases[] = {
      {(dir_ / "missing.png").string(), "cannot open the file"},
      {dir_.string(), "cannot open the file"},
      {huge, "larger than 64 MB"},
      {text, "the TGA header is not valid"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string why;
    EXPECT_TRUE(gfx::ReadImageFile(c.path, &why).Empty());
    EXPECT_NE(why.find(c.reason), std::string::npos) << why;
  }

  fs::resize_file(huge, gfx::kMaxImageFileBytes);  // bytes after IEND are never read
  std::string why;
  EXPECT_EQ(gfx::ReadImageFile(huge, &why).width, 16) << why;
}

TEST_F(ImageFileTest, DeviceTexturesCarryTheReasonOfAFailedLoad) {
  gfx::NullDevice device(16, 16);
  std::string why;
  EXPECT_EQ(device.CreateTextureFromFile((dir_ / "missing.png").string(), &why), nullptr);
  EXPECT_NE(why.find("cannot open the file"), std::string::npos) << why;
  const auto texture = device.CreateTextureFromFile(Copy("quadrants.jpg", "q.jpg"), &why);
  ASSERT_NE(texture, nullptr);
  EXPECT_EQ(texture->Width(), 16u);
}

}  // namespace
