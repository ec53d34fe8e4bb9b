#pragma once
// The windowing side of the platform: top-level windows with a graphics device each, the
// event queue and the input devices. One implementation talks to SDL and OpenGL, the
// other runs headless on the Null device for tests and benchmarks.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/gfx/device.h"
#include "platform/input_device.h"

union SDL_Event;
struct SDL_Window;

namespace platform {

class Window {
 public:
  virtual ~Window() = default;
  virtual const std::string& Title() const = 0;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  // A device drawing into this window's client area, its back buffer the client size. Null with
  // the reason in *error on failure.
  virtual std::unique_ptr<gfx::Device> CreateDevice(std::string* error) = 0;
  virtual void Show() = 0;
  virtual bool HasFocus() const = 0;
  // The window number that events name (SDL's window id).
  virtual std::uint32_t Id() const = 0;
  // The SDL window behind it, for libraries that need one; null when headless.
  virtual SDL_Window* SdlWindow() const { return nullptr; }
};

class InterfaceBackend;

// Whether an interface back end takes its window's input, or only draws (an overlay that
// must leave the window's keys and mouse to the program).
enum class InterfaceInput { kWindowEvents, kNone };

// What the user did to end the program: Escape in either window, or a window's close button
// (the window manager's close, SDL's quit).
enum class CloseRequest { None, Escape, Window };

class WindowSystem : public EventSource {
 public:
  virtual std::unique_ptr<Window> CreateWindow(const std::string& title, int clientWidth,
                                               int clientHeight) = 0;
  // The interface library's platform and renderer back ends on the window and its device,
  // fed with that window's events only (or none). Needs the library's context, one per
  // window; null on failure.
  virtual std::unique_ptr<InterfaceBackend> CreateInterfaceBackend(Window* window, gfx::Device* device,
                                                                   InterfaceInput input) = 0;
  // Devices that read only while focusWindow has the keyboard focus.
  virtual std::unique_ptr<InputDevice> CreateKeyboard(Window* focusWindow) = 0;
  virtual std::unique_ptr<InputDevice> CreateMouse(Window* focusWindow) = 0;
  // Sees every event before the window system handles it (the editor's interface library).
  void SetEventListener(std::function<void(const SDL_Event&)> listener) { listener_ = std::move(listener); }

  // The user's last request to end since the previous call; the program decides whether it
  // ends (it may ask about unsaved work first) and calls RequestQuit when it does.
  CloseRequest TakeCloseRequest() { return std::exchange(closeRequest_, CloseRequest::None); }
  void RequestClose(CloseRequest request) { closeRequest_ = request; }
  // From the next DrainEvents on, the loop ends.
  void RequestQuit() { quitRequested_ = true; }
  bool QuitRequested() const { return quitRequested_; }
  // Files dropped on any of the windows since the last call, in order.
  std::vector<std::string> TakeDroppedFiles() { return std::exchange(droppedFiles_, {}); }

 protected:
  void DropFile(std::string path) { droppedFiles_.push_back(std::move(path)); }

  std::function<void(const SDL_Event&)> listener_;

 private:
  CloseRequest closeRequest_ = CloseRequest::None;
  std::vector<std::string> droppedFiles_;
  bool quitRequested_ = false;
};

}  // namespace platform
