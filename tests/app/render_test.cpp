// Renders of an effect: the command line run as a user runs it, without a display (every bad
// argument, the files each output makes, the pictures), and the renderer beside a playing scene.

#include <gif_lib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/effect_renderer.h"
#include "editor/editor.h"
#include "effectfile/editor_document.h"
#include "platform/gfx/image.h"
#include "scene/shared_state.h"
#include "support/headless_scene.h"
#include "support/source_tree.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// "Sparks": a dozen flares placed at random on a circle, rising and fading from orange to
// purple over 24 frames, so every frame differs and the seed shows.
EditorDocument Sparks() {
  ParticleParams p = CEditor::BeginDefinition();
  p.Emission.Quantity = 12;
  p.Billboard.RandomCreate = Random_Circle;
  p.Billboard.CreateRange = 0.1f;
  p.Billboard.Altitude = 10.0f;
  p.Billboard.Velocity = {0.0f, 1.5f, 0.0f};
  p.Billboard.Scale = {6.0f, 6.0f, 0.0f};
  p.Billboard.Color = {1.0f, 0.5f, 0.1f, 1.0f};
  p.Billboard.DestColor = {0.3f, 0.0f, 0.6f, 1.0f};
  p.Billboard.PopTime = 24;
  EditorDocument document;
  document.Effects.resize(2);
  document.Effects[0].Tag = "Sparks";
  document.Effects[0].Definitions = {p};
  document.Effects[1].Tag = "Other";
  document.Effects[1].Definitions = {CEditor::BeginDefinition()};
  document.SelectedTag = "Sparks";
  return document;
}

std::vector<std::string> FilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class RenderCommandTest : public TempFolderTest {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(SaveEditorDocument(Sparks(), Path("sparks.effects.json"), &error)) << error;
  }
  // Runs the program from the repository root (the sample textures) with DISPLAY unset; the
  // exit status, with what it wrote on both streams in *output.
  int Render(const std::string& arguments, std::string* output = nullptr) {
    const std::string command = "cd '" + SourceDir() + "' && env -u DISPLAY -u WAYLAND_DISPLAY '" +
                                EditorBinary() + "' " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
    const int status = pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string Document() const { return "'" + Path("sparks.effects.json") + "'"; }
  // The picture drawn over black as ordinary alpha blending puts it.
  static std::uint8_t OverBlack(const std::uint8_t* p, int channel) {
    return static_cast<std::uint8_t>((p[channel] * p[3] + 127) / 255);
  }
};

TEST_F(RenderCommandTest, EveryBadArgumentFailsWithAMessageAndWritesNothing) {
  fs::create_directories(Path("out"));
  const std::string out = "'" + Path("out") + "/";
  struct Case {
    std::string arguments;
    int status;
    std::string said;
  };
  const Case cases[] = {
      {"--render " + out + "a.gif' --tag Nothing " + Document(), 1, "no effect \"Nothing\""},
      {"--render " + out + "a.gif' --size 0x10 " + Document(), 1, "--size"},
      {"--render " + out + "a.gif' --size 100 " + Document(), 1, "--size"},
      {"--render " + out + "a.png' --sheet 4 " + Document(), 1, "--sheet"},
      {"--render " + out + "a.png' --sheet 100x100 --size 128x128 " + Document(), 1, "at most 8192"},
      {"--render " + out + "a.gif' --length 0 " + Document(), 1, "--length"},
      {"--render " + out + "a.gif' --length 10001 " + Document(), 1, "--length"},
      {"--render " + out + "a.gif' --fps 0 " + Document(), 1, "--fps"},
      {"--render " + out + "a.gif' --camera side " + Document(), 1, "--camera"},
      {"--render " + out + "a.gif' --background red " + Document(), 1, "--background"},
      {"--render " + out + "a.png' " + Document(), 1, "--sheet"},
      {"--render " + out + "a.gif' --sheet 2x2 " + Document(), 1, "--sheet"},
      {"--render " + out + "a_%s.png' " + Document(), 1, "frame number"},
      {"--render " + out + "a.bmp' " + Document(), 1, "NAME.gif"},
      {"--render " + out + "no/such/folder/a.gif' " + Document(), 1, "cannot be written"},
      {"--render " + out + "a.gif' '" + Path("missing.json") + "'", 1, "no such file"},
      {"--render " + out + "a.gif' '" + Path("out") + "'", 1, "out"},
      // Malformed command lines are usage errors, as for --convert.
      {"--render " + out + "a.gif'", 2, "needs a DOCUMENT"},
      {"--render " + out + "a.gif' --size", 2, "--size needs a value"},
      {"--size 10x10 " + Document(), 2, "there is no --render"},
      {"--render " + out + "a.gif' --frames 10 " + Document(), 2, "opens no window"},
      {"--render " + out + "a.gif' --convert x.json " + Document(), 2, "one at a time"},
  };
  for (const Case& c : cases) {
    std::string output;
    EXPECT_EQ(Render(c.arguments, &output), c.status) << c.arguments << "\n" << output;
    EXPECT_NE(output.find(c.said), std::string::npos) << c.arguments << "\n" << output;
    EXPECT_TRUE(FilesIn(Path("out")).empty()) << c.arguments;
  }
}

TEST_F(RenderCommandTest, ASequenceWritesExactlyLengthFilesAndTheGifDecodesToItsFrames) {
  ASSERT_EQ(Render("--render '" + Path("f_%03d.png") + "' --length 7 --size 40x30 " + Document()), 0);
  const std::vector<std::string> expected = {"f_000.png", "f_001.png", "f_002.png", "f_003.png",
                                             "f_004.png", "f_005.png", "f_006.png", "sparks.effects.json"};
  EXPECT_EQ(FilesIn(Dir()), expected);
  for (const char* name : {"f_000.png", "f_006.png"}) {
    const std::string png = FileContents(Path(name));
    ASSERT_GT(png.size(), 29u);
    EXPECT_EQ(png[25], 6) << "8-bit RGBA";
    EXPECT_EQ(png[24], 8);
    EXPECT_EQ(png[28], 0) << "not interlaced";
    const gfx::Image image = gfx::ReadImageFile(Path(name));
    EXPECT_EQ(image.width, 40);
    EXPECT_EQ(image.height, 30);
  }

  // Without --length: the effect's life, 24 frames and the first.
  ASSERT_EQ(Render("--render '" + Path("s.gif") + "' --size 64x48 --fps 20 " + Document()), 0);
  int code = 0;
  GifFileType* gif = DGifOpenFileName(Path("s.gif").c_str(), &code);
  ASSERT_NE(gif, nullptr);
  ASSERT_EQ(DGifSlurp(gif), GIF_OK);
  EXPECT_EQ(gif->SWidth, 64);
  EXPECT_EQ(gif->SHeight, 48);
  EXPECT_EQ(gif->ImageCount, 25);
  for (int i = 0; i < gif->ImageCount; ++i) {
    GraphicsControlBlock control{};
    ASSERT_EQ(DGifSavedExtensionToGCB(gif, i, &control), GIF_OK);
    EXPECT_EQ(control.DelayTime, 5);
  }
  DGifCloseFile(gif, &code);
}

TEST_F(RenderCommandTest, OneSeedGivesTheSameBytesAndAnotherSeedOtherPlaces) {
  const auto render = [&](const std::string& name, const std::string& seed) {
    EXPECT_EQ(
        Render("--render '" + Path(name) + "' --sheet 4x2 --size 48x48 --seed " + seed + " " + Document()),
        0);
    return FileContents(Path(name));
  };
  const std::string first = render("a.png", "7");
  ASSERT_FALSE(first.empty());
  EXPECT_EQ(render("b.png", "7"), first);
  EXPECT_NE(render("c.png", "8"), first);
}

TEST_F(RenderCommandTest, SheetCellsHoldTheFramesInOrderAndEmptyCellsAreTransparent) {
  // 25 frames (0 to 24): a 4x8 sheet has room for each, and seven cells stay empty.
  ASSERT_EQ(Render("--render '" + Path("f_%02d.png") + "' --size 32x32 " + Document()), 0);
  ASSERT_EQ(Render("--render '" + Path("sheet.png") + "' --sheet 4x8 --size 32x32 " + Document()), 0);
  const gfx::Image sheet = gfx::ReadImageFile(Path("sheet.png"));
  ASSERT_EQ(sheet.width, 128);
  ASSERT_EQ(sheet.height, 256);
  int shown = 0;
  for (int cell = 0; cell < 32; ++cell) {
    const int left = (cell % 4) * 32, top = (cell / 4) * 32;
    char name[16];
    std::snprintf(name, sizeof name, "f_%02d.png", cell);
    const gfx::Image frame = cell < 25 ? gfx::ReadImageFile(Path(name)) : gfx::Image{32, 32, {}};
    bool drawn = false;
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const std::uint8_t* p = sheet.Pixel(left + x, top + y);
        drawn = drawn || p[3] != 0;
        if (cell >= 25) {
          ASSERT_EQ(p[3], 0) << "empty cell " << cell;
          continue;
        }
        for (int c = 0; c < 4; ++c)
          ASSERT_EQ(p[c], frame.Pixel(x, y)[c]) << "cell " << cell << " at " << x << "," << y;
      }
    shown += drawn;
  }
  // The sparks show in (nearly) every frame; frame 0 may be before their first step.
  EXPECT_GE(shown, 23);
}

TEST_F(RenderCommandTest, AnAdditiveGlowOnTransparencyComposesOverBlackAsItWasDrawnOverBlack) {
  ASSERT_EQ(Render("--render '" + Path("t_%d.png") + "' --length 12 --size 64x64 " + Document()), 0);
  ASSERT_EQ(Render("--render '" + Path("b_%d.png") + "' --length 12 --size 64x64 --background 000000 " +
                   Document()),
            0);
  int lit = 0, partial = 0;
  for (int frame : {3, 11}) {
    const gfx::Image transparent = gfx::ReadImageFile(Path("t_" + std::to_string(frame) + ".png"));
    const gfx::Image black = gfx::ReadImageFile(Path("b_" + std::to_string(frame) + ".png"));
    ASSERT_EQ(transparent.rgba.size(), black.rgba.size());
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        const std::uint8_t* t = transparent.Pixel(x, y);
        const std::uint8_t* b = black.Pixel(x, y);
        EXPECT_EQ(b[3], 255);
        for (int c = 0; c < 3; ++c)
          ASSERT_NEAR(OverBlack(t, c), b[c], 1) << x << "," << y << " channel " << c;
        lit += b[0] > 0;
        partial += t[3] > 0 && t[3] < 255;
      }
  }
  // The check saw a glow, with its soft edge: alpha from brightness, not a cut-out.
  EXPECT_GT(lit, 100);
  EXPECT_GT(partial, 20);
}

// ---- beside a playing scene ------------------------------------------------------------------

class RendererBesideTheScene : public HeadlessScene, public TempFolder {};

TEST_F(RendererBesideTheScene, RendersWithoutTouchingTheScenesObjectsRandomSourcesOrDevice) {
  Table() = Sparks().Table();
  CParticleEmitter::Emit("Other", {0.0f, 10.0f, 0.0f});
  Frame(3);
  const std::size_t objects = Registry().size();
  const SharedState before = Shared();

  RenderSettings settings;
  settings.tag = "Sparks";
  settings.kind = OutputKind::kSequence;
  settings.output = Path("f_%d.png");
  settings.width = settings.height = 16;
  settings.background = 0x204060;
  std::string error;
  auto renderer = EffectRenderer::Start(settings, &error);
  ASSERT_NE(renderer, nullptr) << error;
  EXPECT_EQ(renderer->Length(), 25);
  EXPECT_EQ(renderer->FramesToDraw(), 25);
  const auto transforms = [] {
    std::array<D3DXMATRIX, 3> m;
    Device()->GetTransform(D3DTS_WORLD, &m[0]);
    Device()->GetTransform(D3DTS_VIEW, &m[1]);
    Device()->GetTransform(D3DTS_PROJECTION, &m[2]);
    return m;
  };
  while (!renderer->Done()) {
    const auto kept = transforms();
    ASSERT_TRUE(renderer->RenderNext(&error)) << error;
    EXPECT_TRUE(transforms() == kept) << "the scene's camera is put back";
    EXPECT_EQ(Device()->GetRenderTarget(), nullptr);
    // The scene plays on between the render's frames.
    Frame();
  }
  EXPECT_EQ(renderer->FramesDone(), 25);
  EXPECT_EQ(FilesIn(Dir()).size(), 25u);
  // On the Null device a frame is its clear: the background, opaque.
  const gfx::Image frame = gfx::ReadImageFile(Path("f_24.png"));
  ASSERT_FALSE(frame.Empty());
  EXPECT_EQ(frame.Pixel(5, 5)[0], 0x20);
  EXPECT_EQ(frame.Pixel(5, 5)[2], 0x60);
  EXPECT_EQ(frame.Pixel(5, 5)[3], 255);

  // The scene kept its objects and its random sources.
  EXPECT_EQ(Registry().size(), objects);
  EXPECT_EQ(Shared().placement.Next(), PlacementRandom(before.placement).Next());
}

TEST_F(RendererBesideTheScene, AnUnfinishedRenderLeavesNoFileAndNoObject) {
  Table() = Sparks().Table();
  const std::size_t objects = Registry().size();
  RenderSettings settings;
  settings.tag = "Sparks";
  settings.kind = OutputKind::kSheet;
  settings.columns = settings.rows = 4;
  settings.output = Path("sheet.png");
  settings.width = settings.height = 8;
  std::string error;
  auto renderer = EffectRenderer::Start(settings, &error);
  ASSERT_NE(renderer, nullptr) << error;
  EXPECT_EQ(renderer->FramesToDraw(), 16);
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(renderer->RenderNext(&error)) << error;
  EXPECT_EQ(Registry().size(), objects) << "the render's particles live in its own registry";
  renderer.reset();
  EXPECT_TRUE(FilesIn(Dir()).empty());

  settings.tag = "Missing";
  EXPECT_EQ(EffectRenderer::Start(settings, &error), nullptr);
  EXPECT_NE(error.find("\"Other\", \"Sparks\""), std::string::npos) << error;
}

}  // namespace
