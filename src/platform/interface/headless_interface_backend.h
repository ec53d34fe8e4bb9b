#pragma once
// The interface library without a display: a 700x1000 screen, a fixed 60 Hz frame time, the
// font atlas built into a texture of the window's device, no settings file. Its input is
// the same stream of SDL events a real window receives, pushed by tests through the window
// system, so an editor test drives the widgets as a user does.

#include <array>
#include <memory>

#include "platform/gfx/null/null_device.h"
#include "platform/interface/interface_backend.h"
#include "platform/window_system.h"

namespace platform {

class HeadlessInterfaceBackend final : public InterfaceBackend {
 public:
  static constexpr float kFrameSeconds = 1.0f / 60.0f;

  // Needs the library's context; sets its display and builds the font atlas on the device.
  HeadlessInterfaceBackend(WindowSystem& system, std::uint32_t windowId, gfx::NullDevice* device, int width,
                           int height, InterfaceInput input);
  ~HeadlessInterfaceBackend() override;

  void NewFrame() override;
  // Nothing is drawn: the frame's draw lists stay readable through the library, and the
  // device records a draw per command while it records.
  void RenderDrawData(ImDrawData* data) override;

 private:
  void Apply(const SDL_Event& event);

  gfx::NullDevice* device_;
  std::unique_ptr<gfx::Texture> fontTexture_;
  std::array<bool, 5> buttonHeld_{};
  std::array<bool, 5> buttonPressed_{};  // went down since the last frame, even if already up
};

}  // namespace platform
