// The render's pieces that need no device: its settings as the command line gives them, what a
// drawn frame becomes in a file, the camera that frames an effect, and the writers' files.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/gfx/image.h"
#include "render/frame_pixels.h"
#include "render/frame_writer.h"
#include "render/gif_writer.h"
#include "render/render_settings.h"
#include "render/sheet_writer.h"
#include "render/staged_files.h"
#include "render/video_writer.h"
#include "render/view_bounds.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// ---- settings ------------------------------------------------------------------------------

TEST(RenderSettings, ValuesParseOrSayWhy) {
  int a = 0, b = 0;
  std::string error;
  EXPECT_TRUE(ParseFrameSize("320x240", &a, &b, &error));
  EXPECT_EQ(a, 320);
  EXPECT_EQ(b, 240);
  EXPECT_TRUE(ParseSheetLayout("8x1", &a, &b, &error));
  EXPECT_EQ(a, 8);
  EXPECT_EQ(b, 1);
  for (const char* bad : {"0x5", "5x0", "-1x5", "5x", "x5", "5", "5x5x5", "8193x2", "ax5", " 5x5", "5x5 "}) {
    error.clear();
    EXPECT_FALSE(ParseFrameSize(bad, &a, &b, &error)) << bad;
    EXPECT_NE(error.find(bad), std::string::npos) << error;
  }

  std::uint32_t rgb = 0;
  EXPECT_TRUE(ParseBackground("ff8000", &rgb, &error));
  EXPECT_EQ(rgb, 0xff8000u);
  EXPECT_TRUE(ParseBackground("#0A0b0C", &rgb, &error));
  EXPECT_EQ(rgb, 0x0a0b0cu);
  for (const char* bad : {"fff", "ff80000", "gg0000", "", "#", "-f8000", "+f8000", "0xff00"})
    EXPECT_FALSE(ParseBackground(bad, &rgb, &error)) << bad;

  RenderCamera camera = RenderCamera::kAuto;
  EXPECT_TRUE(ParseCamera("scene", &camera, &error));
  EXPECT_EQ(camera, RenderCamera::kScene);
  EXPECT_FALSE(ParseCamera("Scene", &camera, &error));

  int n = 0;
  EXPECT_TRUE(ParseWholeNumber("--fps", "25", 1, 1000, &n, &error));
  EXPECT_EQ(n, 25);
  for (const char* bad : {"0", "1001", "2.5", "", "1e3", "99999999999999999999"})
    EXPECT_FALSE(ParseWholeNumber("--fps", bad, 1, 1000, &n, &error)) << bad;
}

TEST(RenderSettings, TheOutputsNameSaysWhatIsWritten) {
  struct Case {
    const char* name;
    bool sheet;
    bool ok;
    OutputKind kind;
  };
  const Case cases[] = {
      {"out/fire.png", true, true, OutputKind::kSheet},
      {"fire.PNG", true, true, OutputKind::kSheet},
      {"fire_%04d.png", false, true, OutputKind::kSequence},
      {"fire_%d.png", false, true, OutputKind::kSequence},
      {"100%%_%3d.png", false, true, OutputKind::kSequence},
      {"fire.gif", false, true, OutputKind::kGif},
      {"fire.mp4", false, true, OutputKind::kVideo},
      {"fire.webm", false, true, OutputKind::kVideo},
      {"fire.png", false, false, {}},          // neither a sheet nor numbered
      {"fire.gif", true, false, {}},           // a sheet is a PNG
      {"fire_%04d.png", true, false, {}},      // one picture or many
      {"fire_%04d.gif", false, false, {}},     // numbered frames are PNGs
      {"fire_%s.png", false, false, {}},       // no other conversion
      {"fire_%d_%d.png", false, false, {}},    // one number
      {"fire_%123d.png", false, false, {}},    // at most two digits of width
      {"fire.jpg", false, false, {}},
      {"fire", false, false, {}},
      {"out.gif/fire", false, false, {}},
  };
  for (const Case& c : cases) {
    OutputKind kind{};
    std::string error;
    EXPECT_EQ(OutputKindOf(c.name, c.sheet, &kind, &error), c.ok) << c.name << ": " << error;
    if (c.ok) {
      EXPECT_EQ(kind, c.kind) << c.name;
    } else {
      EXPECT_FALSE(error.empty()) << c.name;
    }
  }
  EXPECT_EQ(SequenceFileName("out/fire_%04d.png", 7), "out/fire_0007.png");
  EXPECT_EQ(SequenceFileName("f%d.png", 123), "f123.png");
  EXPECT_EQ(SequenceFileName("100%%_%3d.png", 5), "100%_  5.png");
  EXPECT_EQ(SequenceFileName("f_%02d.png", 12345), "f_12345.png");
}

TEST(RenderSettings, ASheetMustStillLoadAsATexture) {
  RenderSettings settings;
  settings.kind = OutputKind::kSheet;
  settings.columns = 8;
  settings.rows = 8;
  settings.width = settings.height = 1024;
  std::string error;
  EXPECT_TRUE(CheckRenderSettings(settings, &error)) << error;
  settings.columns = 9;
  EXPECT_FALSE(CheckRenderSettings(settings, &error));
  EXPECT_NE(error.find("9216x8192"), std::string::npos) << error;
  settings.kind = OutputKind::kGif;
  EXPECT_FALSE(CheckRenderSettings(settings, &error));
}

// ---- pixels --------------------------------------------------------------------------------

TEST(FramePixels, AStraightenedFrameOverBlackGivesBackWhatWasDrawn) {
  // Every colour an additive draw can leave over black, with no coverage or some.
  gfx::Image frame{256, 3, {}};
  const int coverages[] = {0, 40, 255};
  for (int row = 0; row < 3; ++row)
    for (int v = 0; v < 256; ++v)
      frame.rgba.insert(frame.rgba.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v / 3),
                                           static_cast<std::uint8_t>((v * 7) % (v + 1)),
                                           static_cast<std::uint8_t>(coverages[row])});
  const gfx::Image drawn = frame;
  StraightenAlpha(&frame);
  for (std::size_t i = 0; i < frame.rgba.size(); i += 4) {
    const int alpha = frame.rgba[i + 3];
    EXPECT_GE(alpha, drawn.rgba[i + 3]) << "coverage is never lost, pixel " << i / 4;
    for (int c = 0; c < 3; ++c) {
      const double over = frame.rgba[i + c] * alpha / 255.0;
      EXPECT_LE(std::fabs(over - drawn.rgba[i + c]), 1.0) << "pixel " << i / 4 << " channel " << c;
    }
  }
  // Black with no coverage is fully transparent; a white glow is opaque white.
  EXPECT_EQ(frame.rgba[3], 0);
  EXPECT_EQ(frame.rgba[255 * 4 + 3], 255);

  gfx::Image opaque{1, 1, {10, 20, 30, 0}};
  MakeOpaque(&opaque);
  EXPECT_EQ(opaque.rgba, (std::vector<std::uint8_t>{10, 20, 30, 255}));
}

// ---- the camera ------------------------------------------------------------------------------

// Where a point lands in the picture, -1..1 across both ways, and whether it is between the planes.
struct Projected {
  float x, y;
  bool inDepth;
};
Projected Project(const ViewBounds::Camera& camera, float fovY, float aspect, const D3DXVECTOR3& p) {
  D3DXMATRIX view, projection;
  D3DXMatrixLookAtLH(&view, &camera.eye, &camera.target, &camera.up);
  D3DXMatrixPerspectiveFovLH(&projection, fovY, aspect, camera.nearZ, camera.farZ);
  const D3DXMATRIX both = view * projection;
  D3DXVECTOR3 out;
  D3DXVec3TransformCoord(&out, &p, &both);
  return {out.x, out.y, out.z >= 0.0f && out.z <= 1.0f};
}

TEST(ViewBounds, TheFramedCameraSeesEverythingAddedAndFillsThePicture) {
  const float fov = 0.785f;
  for (const D3DXVECTOR3 forward :
       {D3DXVECTOR3(0, -100, -300), D3DXVECTOR3(1, 0, 0), D3DXVECTOR3(0, -1, 0)}) {
    for (const float aspect : {1.0f, 320.0f / 240.0f, 0.5f}) {
      ViewBounds bounds(forward, fov, aspect);
      const std::vector<std::pair<D3DXVECTOR3, float>> spheres = {
          {{0, 10, 0}, 3}, {{120, 40, -30}, 10}, {{-50, -20, 80}, 0}, {{10, 200, 5}, 20}};
      for (const auto& [centre, radius] : spheres) bounds.AddSphere(centre, radius);
      const ViewBounds::Camera camera = bounds.Frame();
      float widest = 0.0f;
      for (const auto& [centre, radius] : spheres) {
        for (const D3DXVECTOR3 offset :
             {D3DXVECTOR3(radius, 0, 0), D3DXVECTOR3(-radius, 0, 0), D3DXVECTOR3(0, radius, 0),
              D3DXVECTOR3(0, -radius, 0), D3DXVECTOR3(0, 0, radius), D3DXVECTOR3(0, 0, -radius)}) {
          const Projected p = Project(camera, fov, aspect, centre + offset);
          EXPECT_TRUE(p.inDepth);
          EXPECT_LE(std::fabs(p.x), 1.0f);
          EXPECT_LE(std::fabs(p.y), 1.0f);
          widest = std::max({widest, std::fabs(p.x), std::fabs(p.y)});
        }
      }
      // Framed, not lost in the middle: something comes near an edge.
      EXPECT_GT(widest, 0.7f) << forward.x << "," << forward.y << "," << forward.z << " aspect " << aspect;
    }
  }
  // Nothing but a point still gives a camera that looks at it from a finite distance.
  ViewBounds point(D3DXVECTOR3(0, 0, 1), fov, 1.0f);
  point.AddPoint({5, 5, 5});
  const ViewBounds::Camera camera = point.Frame();
  EXPECT_NEAR(camera.target.x, 5.0f, 1e-4f);
  EXPECT_TRUE(std::isfinite(camera.eye.z));
  EXPECT_LT(camera.eye.z, 5.0f);
}

// ---- writers ---------------------------------------------------------------------------------

gfx::Image Filled(int width, int height, std::uint8_t value) {
  return {width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height * 4, value)};
}

std::vector<std::string> FilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(SheetWriter, FramesAreSampledEvenlyAndFillTheCellsInReadingOrder) {
  TempFolder folder;
  RenderSettings settings;
  settings.kind = OutputKind::kSheet;
  settings.output = folder.Path("sheet.png");
  settings.columns = 3;
  settings.rows = 2;
  settings.width = 4;
  settings.height = 2;
  std::string error;
  auto writer = MakeFrameWriter(settings, &error);
  ASSERT_NE(writer, nullptr) << error;
  EXPECT_EQ(writer->FramesWanted(6), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(writer->FramesWanted(12), (std::vector<int>{0, 2, 4, 6, 8, 10}));
  EXPECT_EQ(writer->FramesWanted(9), (std::vector<int>{0, 1, 3, 4, 6, 7}));
  EXPECT_EQ(writer->FramesWanted(4), (std::vector<int>{0, 1, 2, 3}));
  // Four frames, each its own grey: cells 0..3 hold them, the last two stay transparent.
  for (std::uint8_t i = 1; i <= 4; ++i) ASSERT_TRUE(writer->Write(Filled(4, 2, i * 50), &error)) << error;
  EXPECT_FALSE(fs::exists(settings.output)) << "nothing is in place before Finish";
  ASSERT_TRUE(writer->Finish(&error)) << error;
  EXPECT_EQ(FilesIn(folder.Dir()), (std::vector<std::string>{"sheet.png"}));
  const gfx::Image sheet = gfx::ReadImageFile(settings.output);
  ASSERT_EQ(sheet.width, 12);
  ASSERT_EQ(sheet.height, 4);
  for (int cell = 0; cell < 6; ++cell)
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) {
        const std::uint8_t* p = sheet.Pixel((cell % 3) * 4 + x, (cell / 3) * 2 + y);
        const int expected = cell < 4 ? (cell + 1) * 50 : 0;
        EXPECT_EQ(p[0], expected) << "cell " << cell;
        EXPECT_EQ(p[3], expected) << "cell " << cell;
      }
}

TEST(SequenceWriter, WritesOneNumberedFileAFrameAndNothingWhenAbandoned) {
  TempFolder folder;
  RenderSettings settings;
  settings.kind = OutputKind::kSequence;
  settings.output = folder.Path("f_%03d.png");
  settings.width = settings.height = 3;
  std::string error;
  {
    auto writer = MakeFrameWriter(settings, &error);
    ASSERT_NE(writer, nullptr) << error;
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(writer->Write(Filled(3, 3, 9), &error));
  }
  EXPECT_TRUE(FilesIn(folder.Dir()).empty()) << "an abandoned render leaves nothing";
  auto writer = MakeFrameWriter(settings, &error);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(writer->Write(Filled(3, 3, static_cast<std::uint8_t>(i)), &error));
  ASSERT_TRUE(writer->Finish(&error)) << error;
  EXPECT_EQ(FilesIn(folder.Dir()),
            (std::vector<std::string>{"f_000.png", "f_001.png", "f_002.png", "f_003.png", "f_004.png"}));
  EXPECT_EQ(gfx::ReadImageFile(folder.Path("f_004.png")).rgba[0], 4);
}

TEST(GifWriter, DecodesToEveryFrameWithTheDelayLoopingAndAPaletteEach) {
  TempFolder folder;
  RenderSettings settings;
  settings.kind = OutputKind::kGif;
  settings.output = folder.Path("a.gif");
  settings.width = 7;
  settings.height = 5;
  settings.fps = 30;
  std::string error;
  auto writer = MakeFrameWriter(settings, &error);
  ASSERT_NE(writer, nullptr) << error;
  // The same frame twice is still two images.
  const std::uint8_t greys[] = {0, 200, 200, 90};
  for (std::uint8_t grey : greys) {
    gfx::Image frame = Filled(7, 5, grey);
    MakeOpaque(&frame);
    frame.rgba[0] = 255;  // one red pixel
    frame.rgba[1] = frame.rgba[2] = 0;
    ASSERT_TRUE(writer->Write(frame, &error)) << error;
  }
  ASSERT_TRUE(writer->Finish(&error)) << error;

  int code = 0;
  GifFileType* gif = DGifOpenFileName(settings.output.c_str(), &code);
  ASSERT_NE(gif, nullptr) << GifErrorString(code);
  ASSERT_EQ(DGifSlurp(gif), GIF_OK);
  EXPECT_EQ(gif->SWidth, 7);
  EXPECT_EQ(gif->SHeight, 5);
  ASSERT_EQ(gif->ImageCount, 4);
  bool loops = false;
  for (int e = 0; e < gif->SavedImages[0].ExtensionBlockCount; ++e) {
    const ExtensionBlock& block = gif->SavedImages[0].ExtensionBlocks[e];
    if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
        std::string(reinterpret_cast<const char*>(block.Bytes), 11) == "NETSCAPE2.0")
      loops = true;
  }
  EXPECT_TRUE(loops);
  for (int i = 0; i < gif->ImageCount; ++i) {
    GraphicsControlBlock control{};
    ASSERT_EQ(DGifSavedExtensionToGCB(gif, i, &control), GIF_OK);
    EXPECT_EQ(control.DelayTime, 3);  // round(100 / 30)
    const SavedImage& image = gif->SavedImages[i];
    ASSERT_NE(image.ImageDesc.ColorMap, nullptr) << "a palette of its own";
    const GifColorType red = image.ImageDesc.ColorMap->Colors[image.RasterBits[0]];
    const GifColorType other = image.ImageDesc.ColorMap->Colors[image.RasterBits[1]];
    // The quantizer keeps five bits a channel.
    EXPECT_GE(red.Red, 240);
    EXPECT_LE(red.Green, 8);
    EXPECT_NEAR(other.Green, greys[i], 8);
  }
  DGifCloseFile(gif, &code);
  EXPECT_EQ(GifWriter::DelayOf(50), 2);
  EXPECT_EQ(GifWriter::DelayOf(60), 2);
  EXPECT_EQ(GifWriter::DelayOf(7), 14);
  EXPECT_EQ(GifWriter::DelayOf(1000), 1) << "0 would play at the viewer's whim";
}

TEST(StagedFiles, AFolderThatCannotBeWrittenFailsEarlyAndLeavesNothing) {
  TempFolder folder;
  RenderSettings settings;
  settings.kind = OutputKind::kGif;
  settings.output = folder.Path("missing/a.gif");
  std::string error;
  EXPECT_EQ(MakeFrameWriter(settings, &error), nullptr);
  EXPECT_NE(error.find("missing/a.gif"), std::string::npos) << error;
  EXPECT_TRUE(FilesIn(folder.Dir()).empty());

  // A commit that cannot rename (the name is a folder) removes what it staged.
  fs::create_directories(folder.Path("taken.png/inside"));
  StagedFiles files;
  const std::uint8_t bytes[] = {1, 2, 3};
  ASSERT_TRUE(files.Write(folder.Path("taken.png"), bytes, &error)) << error;
  EXPECT_FALSE(files.Commit(&error));
  EXPECT_FALSE(fs::exists(StagedFiles::TemporaryName(folder.Path("taken.png"))));
}

// ---- video -------------------------------------------------------------------------------------

class VideoWriterTest : public TempFolderTest {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    oldPath_ = path ? path : "";
    fs::create_directories(Path("bin"));
  }
  void TearDown() override { ::setenv("PATH", oldPath_.c_str(), 1); }
  // A stand-in for ffmpeg on a PATH of its own: copies its input to the file named last and
  // keeps its arguments beside it.
  void FakeFfmpeg(const std::string& exitStatus) {
    const std::string script = Path("bin/ffmpeg");
    std::ofstream(script) << "#!/bin/sh\nfor last; do :; done\necho \"$@\" > '" << Path("arguments")
                          << "'\n/bin/cat > \"$last\"\nexit " << exitStatus << "\n";
    fs::permissions(script, fs::perms::owner_all);
    ::setenv("PATH", Path("bin").c_str(), 1);
  }
  RenderSettings Settings() {
    RenderSettings settings;
    settings.kind = OutputKind::kVideo;
    settings.output = Path("v.webm");
    settings.width = 5;
    settings.height = 3;
    settings.fps = 25;
    return settings;
  }

  std::string oldPath_;
};

TEST_F(VideoWriterTest, FramesGoToFfmpegAsRawRgbaAndTheFileIsPutInPlace) {
  FakeFfmpeg("0");
  std::string error;
  auto writer = MakeFrameWriter(Settings(), &error);
  ASSERT_NE(writer, nullptr) << error;
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(writer->Write(Filled(5, 3, static_cast<std::uint8_t>(i)), &error));
  ASSERT_TRUE(writer->Finish(&error)) << error;
  const std::string video = FileContents(Path("v.webm"));
  ASSERT_EQ(video.size(), 4u * 5 * 3 * 4);
  EXPECT_EQ(video[5 * 3 * 4 * 3], 3);
  const std::string arguments = FileContents(Path("arguments"));
  EXPECT_NE(arguments.find("-pix_fmt rgba -s 5x3 -framerate 25"), std::string::npos) << arguments;
  EXPECT_NE(arguments.find("-f webm"), std::string::npos) << arguments;
  EXPECT_FALSE(fs::exists(StagedFiles::TemporaryName(Path("v.webm"))));
}

TEST_F(VideoWriterTest, WithoutFfmpegOrWhenItFailsNothingIsLeft) {
  ::setenv("PATH", Path("bin").c_str(), 1);
  std::string error;
  EXPECT_EQ(MakeFrameWriter(Settings(), &error), nullptr);
  EXPECT_NE(error.find("apt-get install ffmpeg"), std::string::npos) << error;

  FakeFfmpeg("3");
  auto writer = MakeFrameWriter(Settings(), &error);
  ASSERT_NE(writer, nullptr) << error;
  ASSERT_TRUE(writer->Write(Filled(5, 3, 1), &error));
  EXPECT_FALSE(writer->Finish(&error));
  EXPECT_NE(error.find("status 3"), std::string::npos) << error;
  writer.reset();
  EXPECT_FALSE(fs::exists(Path("v.webm")));
  EXPECT_FALSE(fs::exists(StagedFiles::TemporaryName(Path("v.webm"))));
}

}  // namespace
