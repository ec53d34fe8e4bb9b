// Starts the real program (under the display make test provides) and checks what it leaves behind.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/gfx/image.h"

namespace {

namespace fs = std::filesystem;

int RunEditor(const std::string& arguments) {
  const std::string command = std::string("cd '") + PE_SOURCE_DIR + "' && SDL_AUDIODRIVER=dummy '" +
                              PE_EDITOR_BINARY + "' " + arguments + " >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

fs::path ScratchDirectory(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / ("particle-editor-" + name + "-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(EndToEndTest, SixtyFramesWriteBothScreenshotsAtTheWindowSizes) {
  const fs::path dir = ScratchDirectory("frames");
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(RunEditor("--frames 60 --screenshot '" + (dir / "p").string() + "'"), 0);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // Frames are paced 16 ms apart, so 60 of them cannot take less than 960 ms.
  EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), 60 * 16);

  const gfx::Image scene = gfx::ReadImageFile((dir / "p-scene.png").string());
  const gfx::Image editor = gfx::ReadImageFile((dir / "p-editor.png").string());
  ASSERT_EQ(scene.width, 1280);
  ASSERT_EQ(scene.height, 720);
  ASSERT_EQ(editor.width, 700);
  ASSERT_EQ(editor.height, 1000);
  // An empty scene is plain black, opaque.
  for (int y = 0; y < scene.height; y += 37)
    for (int x = 0; x < scene.width; x += 41) {
      const std::uint8_t* p = scene.Pixel(x, y);
      ASSERT_EQ(p[0] + p[1] + p[2], 0) << "at " << x << "," << y;
      ASSERT_EQ(p[3], 255);
    }
  fs::remove_all(dir);
}

TEST(EndToEndTest, CommandLineErrorsAndHelp) {
  EXPECT_EQ(RunEditor("--no-such-option"), 2);
  EXPECT_EQ(RunEditor("--frames"), 2);
  EXPECT_EQ(RunEditor("--help"), 0);
}

TEST(EndToEndTest, UnwritableScreenshotPathIsAnErrorNotASilentSuccess) {
  EXPECT_EQ(RunEditor("--frames 2 --screenshot /nonexistent-folder/p"), 1);
}

}  // namespace
