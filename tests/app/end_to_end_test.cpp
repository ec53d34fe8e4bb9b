// Starts the real program (under the display make test provides) and checks what it leaves behind.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "editor/editor.h"
#include "effectfile/editor_document.h"
#include "platform/gfx/image.h"
#include "support/source_tree.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

// Runs the editor from a working folder (the repository root holds the sample data).
int RunEditor(const std::string& arguments, const std::string& folder = SourceDir()) {
  const std::string command = "cd '" + folder + "' && SDL_AUDIODRIVER=dummy '" + EditorBinary() + "' " +
                              arguments + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs a shell command and returns its exit status with what it wrote to both streams.
int RunCapturing(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, pipe)) *output += buffer;
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct Rgb {
  int r, g, b;
};
Rgb At(const gfx::Image& image, int x, int y) {
  const std::uint8_t* p = image.Pixel(x, y);
  return {p[0], p[1], p[2]};
}

gfx::Image Scene(const fs::path& dir, int frames) {
  const fs::path prefix = dir / std::string("f").append(std::to_string(frames));
  EXPECT_EQ(RunEditor("--frames " + std::to_string(frames) + " --screenshot '" + prefix.string() + "'"), 0);
  return gfx::ReadImageFile(prefix.string() + "-scene.png");
}

TEST(EndToEndTest, SixtyFramesShowTheFloorFromTheStartViewInPacedFrames) {
  TempFolder folder;
  folder.KeepIfFailed();
  const fs::path& dir = folder.Dir();
  const auto start = std::chrono::steady_clock::now();
  const gfx::Image scene = Scene(dir, 60);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // Frames are paced 16 ms apart, so 60 of them cannot take less than 960 ms.
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 60 * 16);

  const gfx::Image editor = gfx::ReadImageFile((dir / "f60-editor.png").string());
  ASSERT_EQ(scene.width, 1280);
  ASSERT_EQ(scene.height, 720);
  ASSERT_EQ(editor.width, 700);
  ASSERT_EQ(editor.height, 1000);

  // From (0, 100, 300) above and behind the pointer: the floor, 100 units wide, fills the
  // middle of the picture in a flat dark grey (0.25 of the light at 63 degrees: about 57).
  for (const auto& [x, y] :
       {std::pair{640, 420}, std::pair{520, 430}, std::pair{760, 430}, std::pair{640, 360}}) {
    const Rgb floor = At(scene, x, y);
    EXPECT_NEAR(floor.r, 57, 3) << x << "," << y;
    EXPECT_EQ(floor.r, floor.g);
    EXPECT_EQ(floor.g, floor.b);
  }
  // The editor hides the pointer from its first frame; above the horizon and in the corners
  // is the black clear colour.
  for (const auto& [x, y] : {std::pair{5, 5}, std::pair{1275, 715}, std::pair{640, 150}, std::pair{640, 338}})
    EXPECT_EQ(At(scene, x, y).r + At(scene, x, y).g + At(scene, x, y).b, 0) << x << "," << y;
}

TEST(EndToEndTest, TheFirstEmissionGlowsAtThePointerForFiftyFrames) {
  TempFolder folder;
  folder.KeepIfFailed();
  const fs::path& dir = folder.Dir();
  // The pointer emits "Begin" every 150 frames: five white FLARE quads, half-size 10, additive.
  const gfx::Image before = Scene(dir, 140);
  const gfx::Image glowing = Scene(dir, 160);
  const gfx::Image after = Scene(dir, 205);
  ASSERT_EQ(before.width, 1280);
  ASSERT_EQ(glowing.width, 1280);
  ASSERT_EQ(after.width, 1280);
  const Rgb centreBefore = At(before, 640, 358);
  const Rgb centre = At(glowing, 640, 358);
  EXPECT_NEAR(centreBefore.r, 57, 3) << "floor only before the emission";
  EXPECT_EQ(centre.r, 255);
  EXPECT_EQ(centre.g, 255);
  EXPECT_GT(centre.b, 230);
  // The glow is round and small: a little off its middle it fades, farther on the floor is untouched.
  EXPECT_LT(At(glowing, 640, 378).r, 255);
  EXPECT_NEAR(At(glowing, 640, 420).r, 57, 3);
  EXPECT_EQ(At(glowing, 640, 330).r, 0) << "above the glow is the black sky";
  // Fifty active frames later the particles have died.
  EXPECT_NEAR(At(after, 640, 358).r, 57, 3);
}

// Fifty flares with random velocities: the picture depends on every draw of the ranges, and on
// nothing else that changes from run to run.
TEST(EndToEndTest, OneSeedPlaysTheSameRunTwiceAndAnotherSeedAnotherRun) {
  TempFolder folder;
  folder.KeepIfFailed();
  EditorDocument document;
  EditorEffect& effect = document.Effects.emplace_back();
  effect.Tag = "Scatter";
  ParticleParams p = CEditor::BeginDefinition();
  p.Billboard.UseRandom = true;
  p.Billboard.RandomVelocityMin = {-3.0f, 0.5f, -3.0f};
  p.Billboard.RandomVelocityMax = {3.0f, 2.0f, 3.0f};
  p.Billboard.Scale = {3.0f, 3.0f, 0.0f};
  p.Emission.Quantity = 50;
  effect.Definitions = {p};
  document.SelectedTag = "Scatter";
  std::string error;
  const std::string path = folder.Path("scatter.effects.json");
  ASSERT_TRUE(SaveEditorDocument(document, path, &error)) << error;
  const auto run = [&](const std::string& name, const std::string& seed) {
    const fs::path prefix = folder.Dir() / name;
    EXPECT_EQ(
        RunEditor("--frames 175 --seed " + seed + " --screenshot '" + prefix.string() + "' '" + path + "'"),
        0);
    return gfx::ReadImageFile(prefix.string() + "-scene.png");
  };
  const gfx::Image first = run("first", "7"), again = run("again", "7"), other = run("other", "8");
  ASSERT_EQ(first.width, 1280);
  ASSERT_EQ(again.width, 1280);
  ASSERT_EQ(other.width, 1280);
  EXPECT_EQ(first.rgba, again.rgba) << "the same seed played another run";
  EXPECT_NE(first.rgba, other.rgba) << "another seed played the same run";
}

TEST(EndToEndTest, WithoutDataTheProgramSaysWhereItLookedAndShowsAnEmptyBlackScene) {
  const TempFolder folder;
  const fs::path& dir = folder.Dir();
  std::string output;
  ASSERT_EQ(RunCapturing("cd '" + dir.string() + "' && SDL_AUDIODRIVER=dummy '" + EditorBinary() +
                             "' --frames 3 --screenshot '" + (dir / "p").string() + "'",
                         &output),
            0)
      << output;
  EXPECT_NE(output.find((dir / "Data/FILE/").string()), std::string::npos) << output;
  const gfx::Image scene = gfx::ReadImageFile((dir / "p-scene.png").string());
  ASSERT_EQ(scene.width, 1280);
  for (int y = 0; y < scene.height; y += 37)
    for (int x = 0; x < scene.width; x += 41) {
      const std::uint8_t* p = scene.Pixel(x, y);
      ASSERT_EQ(p[0] + p[1] + p[2], 0) << "at " << x << "," << y;
      ASSERT_EQ(p[3], 255);
    }
}

TEST(EndToEndTest, CommandLineErrorsAndHelp) {
  EXPECT_EQ(RunEditor("--no-such-option"), 2);
  EXPECT_EQ(RunEditor("--frames"), 2);
  EXPECT_EQ(RunEditor("--help"), 0);
}

// SDL would fall back to a driver that draws nowhere; the editor refuses instead.
TEST(EndToEndTest, WithoutADisplayTheProgramSaysSoAndFails) {
  std::string output;
  EXPECT_EQ(RunCapturing("cd '" + SourceDir() +
                             "' && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "
                             "XDG_RUNTIME_DIR=/nonexistent '" +
                             EditorBinary() + "' --frames 5",
                         &output),
            1)
      << output;
  EXPECT_NE(output.find("no display could be opened"), std::string::npos) << output;
}

// A conversion opens no window, so it runs where there is no display at all.
TEST(EndToEndTest, ConvertRunsWithoutADisplayAndSaysWhatTheTargetCannotHold) {
  const TempFolder folder;
  const std::string run = "cd '" + folder.Dir().string() +
                          "' && env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER '" + EditorBinary() +
                          "' ";
  const std::string sample = SourcePath("fuzz/corpus/particle_json/several.json");
  std::string output;
  ASSERT_EQ(RunCapturing(run + "--convert fire.effects.json '" + sample + "'", &output), 0) << output;
  EXPECT_EQ(output, "");
  ASSERT_EQ(RunCapturing(run + "--convert fire.txt fire.effects.json", &output), 0) << output;
  EXPECT_TRUE(output.starts_with("particle.txt cannot hold ")) << output;
  output.clear();
  ASSERT_EQ(RunCapturing(run + "--convert back.json --to json fire.effects.json", &output), 0) << output;
  std::ifstream back(folder.Path("back.json")), original(sample);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), {}),
            std::string(std::istreambuf_iterator<char>(original), {}));

  output.clear();
  EXPECT_EQ(RunCapturing(run + "--convert never.json fire.txt.missing", &output), 1) << output;
  EXPECT_NE(output.find("fire.txt.missing: there is no such file; nothing was written"), std::string::npos);
  EXPECT_FALSE(fs::exists(folder.Path("never.json")));
  EXPECT_EQ(RunCapturing(run + "--convert never.json --to yaml fire.txt", &output), 2) << output;
}

TEST(EndToEndTest, DocumentThatIsNoneFailsAnAutomatedRunAndSaysWhy) {
  const TempFolder folder;
  const std::string document = folder.Write("effects.txt", "\n\n");
  std::string output;
  EXPECT_EQ(RunCapturing("cd '" + SourceDir() + "' && SDL_AUDIODRIVER=dummy '" + EditorBinary() +
                             "' --frames 2 '" + document + "'",
                         &output),
            1)
      << output;
  EXPECT_NE(output.find(document + " is not a particle text document: no \"Tag\" line"), std::string::npos)
      << output;
}

TEST(EndToEndTest, UnwritableScreenshotPathIsAnErrorNotASilentSuccess) {
  EXPECT_EQ(RunEditor("--frames 2 --screenshot /nonexistent-folder/p"), 1);
}

// Hot reload: a picture copied over the FLARE texture 4 s into a run of 700 steps shows in the
// exit screenshot's flares; a truncated one leaves them as they were and the run names the file.
TEST(EndToEndTest, ATextureCopiedOverDuringARunShowsAndABrokenOneIsToldAndKeepsTheLastGood) {
  TempFolder folder;
  folder.KeepIfFailed();
  const fs::path& dir = folder.Dir();
  // Flares that live 200 steps, so that the emission of step 600 still glows at step 700.
  EditorDocument document;
  EditorEffect& effect = document.Effects.emplace_back();
  effect.Tag = "Glow";
  ParticleParams p = CEditor::BeginDefinition();
  p.Billboard.PopTime = 200;
  effect.Definitions = {p};
  document.SelectedTag = "Glow";
  std::string error;
  ASSERT_TRUE(SaveEditorDocument(document, folder.Path("glow.effects.json"), &error)) << error;
  gfx::Image red{128, 128, {}};
  for (int i = 0; i < 128 * 128; ++i) red.rgba.insert(red.rgba.end(), {255, 0, 0, 255});
  ASSERT_TRUE(gfx::WritePng(red, folder.Path("red.png")));
  const std::string png = FileContents(folder.Path("red.png"));
  folder.Write("truncated.png", png.substr(0, png.size() / 3));

  const auto run = [&](const std::string& name, const std::string& copied, std::string* output) {
    const fs::path data = dir / name;
    fs::create_directories(data);
    fs::copy(SourcePath("Data"), data / "Data", fs::copy_options::recursive);
    int status = -1;
    std::thread editor([&] {
      status = RunCapturing("cd '" + data.string() + "' && SDL_AUDIODRIVER=dummy '" + EditorBinary() +
                                "' --frames 700 --screenshot '" + (dir / name).string() + "' '" +
                                folder.Path("glow.effects.json") + "'",
                            output);
    });
    std::this_thread::sleep_for(std::chrono::seconds(4));
    fs::copy_file(folder.Path(copied), data / "Data/TEXTURE/flare.png", fs::copy_options::overwrite_existing);
    editor.join();
    EXPECT_EQ(status, 0) << *output;
    return gfx::ReadImageFile((dir / name).string() + "-scene.png");
  };

  std::string redOutput, brokenOutput;
  const gfx::Image reddened = run("red", "red.png", &redOutput);
  const gfx::Image kept = run("broken", "truncated.png", &brokenOutput);
  ASSERT_EQ(reddened.width, 1280);
  ASSERT_EQ(kept.width, 1280);
  const Rgb redGlow = At(reddened, 640, 358);
  EXPECT_EQ(redGlow.r, 255);
  EXPECT_LT(redGlow.g, 120) << "red flares over the grey floor";
  EXPECT_LT(redGlow.b, 120);
  const Rgb whiteGlow = At(kept, 640, 358);
  EXPECT_EQ(whiteGlow.r, 255);
  EXPECT_EQ(whiteGlow.g, 255) << "the last good, white, flare";
  EXPECT_NE(brokenOutput.find("Data/TEXTURE/flare.png"), std::string::npos) << brokenOutput;
  EXPECT_EQ(redOutput.find("Data/TEXTURE/flare.png"), std::string::npos) << redOutput;
}

}  // namespace
