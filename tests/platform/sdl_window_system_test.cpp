// Real windows under Xvfb (no window manager, so positions are the program's own).

#include "platform/sdl_window_system.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/sanitizer_support.h"

namespace {

TEST(SdlWindowSystemTest, ScreenWideEnoughForBothWindowsShowsThemSideBySide) {
  platform::KeepGraphicsDriversLoadedForLeakChecks();
  std::string error;
  auto system = platform::SdlWindowSystem::Create(&error);
  ASSERT_NE(system, nullptr) << "needs a display (make test runs under Xvfb): " << error;
  SDL_Rect screen;
  ASSERT_EQ(SDL_GetDisplayUsableBounds(0, &screen), 0) << SDL_GetError();
  ASSERT_GE(screen.w, 1280 + 700 + 8) << "the test screen is wide enough for both";
  auto scene = system->CreateWindow("TEST", 1280, 720);
  auto editor = system->CreateWindow("Child", 700, 1000);
  ASSERT_TRUE(scene && editor);
  scene->Show();
  editor->Show();
  int sceneX = 0, sceneY = 0, editorX = 0, editorY = 0;
  SDL_GetWindowPosition(scene->SdlWindow(), &sceneX, &sceneY);
  SDL_GetWindowPosition(editor->SdlWindow(), &editorX, &editorY);
  EXPECT_GE(editorX, sceneX + 1280) << "the editor does not cover the scene";
  EXPECT_LE(editorX + 700, screen.x + screen.w) << "and stays on the screen";
}

}  // namespace
