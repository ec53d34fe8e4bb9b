#pragma once
// Windows, events and input over SDL2, with OpenGL devices.

#include <memory>
#include <string>
#include <vector>

#include <SDL_rect.h>

#include "platform/window_system.h"

namespace platform {

class SdlWindowSystem final : public WindowSystem {
 public:
  // Null, with the reason in *error, when SDL's video cannot start (no display).
  static std::unique_ptr<SdlWindowSystem> Create(std::string* error);
  // Without a display: SDL's offscreen driver, whose windows are never shown and whose GL
  // contexts come from EGL (on Mesa, its software renderer when there is no GPU). For commands
  // that draw only into render targets. Null, with the reason in *error, when it cannot start.
  static std::unique_ptr<SdlWindowSystem> CreateOffscreen(std::string* error);
  ~SdlWindowSystem() override;

  std::unique_ptr<Window> CreateWindow(const std::string& title, int clientWidth, int clientHeight) override;
  std::unique_ptr<InterfaceBackend> CreateInterfaceBackend(Window* window, gfx::Device* device,
                                                           InterfaceInput input) override;
  std::unique_ptr<InputDevice> CreateKeyboard(Window* focusWindow) override;
  std::unique_ptr<InputDevice> CreateMouse(Window* focusWindow) override;

  bool DrainEvents() override;
  void WaitForEvents(std::uint32_t ms) override;
  std::uint64_t EventsHandled() const override { return eventsHandled_; }

  // Motion and wheel gathered from events since the mouse last read them.
  struct MouseMotion {
    std::int32_t x = 0, y = 0, wheel = 0;
  };
  MouseMotion TakeMouseMotion(std::uint32_t windowId);

 private:
  SdlWindowSystem() = default;
  void Handle(const SDL_Event& event);
  // Where the next window goes: beside the previous one when the screen has room for both,
  // else where the window manager puts it (without one, centred, where the second window
  // would cover the first).
  SDL_Point NextWindowPosition(int width, int height);

  int nextLeft_ = -1;  // right of the last window placed, plus a gap; -1 before the first
  struct PendingMotion {
    std::uint32_t windowId;
    MouseMotion motion;
  };
  std::vector<PendingMotion> motion_;
  std::uint64_t eventsHandled_ = 0;
};

}  // namespace platform
