#pragma once
// A window system without a display: windows that draw on the Null device, input devices
// whose state the caller sets, and close and quit requests the caller raises. Tests, benchmarks and
// whole-frame runs without a screen use it.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include <SDL_events.h>

#include "platform/window_system.h"

namespace platform {

class HeadlessWindowSystem final : public WindowSystem {
 public:
  std::unique_ptr<Window> CreateWindow(const std::string& title, int clientWidth, int clientHeight) override;
  std::unique_ptr<InterfaceBackend> CreateInterfaceBackend(Window* window, gfx::Device* device,
                                                           InterfaceInput input) override;
  std::unique_ptr<InputDevice> CreateKeyboard(Window* focusWindow) override;
  std::unique_ptr<InputDevice> CreateMouse(Window* focusWindow) override;

  bool DrainEvents() override { return !QuitRequested(); }
  void WaitForEvents(std::uint32_t) override {}
  std::uint64_t EventsHandled() const override { return eventsPushed_; }

  // The state the devices report.
  void SetKey(std::uint8_t dik, bool down) { keys_[dik] = down ? 0x80 : 0; }
  void SetMouse(const DIMOUSESTATE2& state) { mouse_ = state; }
  // While false, every read fails (a window in the background).
  void SetFocus(bool focused) { focused_ = focused; }
  // An event as a real window system would deliver it (windows are numbered from 1 in the
  // order they were made): the interface back end sees it at once.
  void PushEvent(const SDL_Event& event) {
    ++eventsPushed_;
    if (listener_) listener_(event);
    if (event.type == SDL_QUIT ||
        (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE))
      RequestClose(CloseRequest::Window);
    if (event.type == SDL_KEYDOWN && event.key.keysym.scancode == SDL_SCANCODE_ESCAPE && !event.key.repeat)
      RequestClose(CloseRequest::Escape);
    // The pusher keeps the dropped name; SDL's own would be freed here.
    if (event.type == SDL_DROPFILE && event.drop.file) DropFile(event.drop.file);
  }
  // Makes device creation fail, to test start-up failures.
  void FailDevices(bool fail) { failDevices_ = fail; }
  void FailWindows(bool fail) { failWindows_ = fail; }

  const std::array<std::uint8_t, 256>& Keys() const { return keys_; }
  const DIMOUSESTATE2& Mouse() const { return mouse_; }
  bool Focused() const { return focused_; }
  bool DevicesFail() const { return failDevices_; }

 private:
  std::array<std::uint8_t, 256> keys_{};
  DIMOUSESTATE2 mouse_{};
  bool focused_ = true;
  bool failDevices_ = false;
  bool failWindows_ = false;
  std::uint32_t windowsMade_ = 0;
  std::uint64_t eventsPushed_ = 0;
};

}  // namespace platform
