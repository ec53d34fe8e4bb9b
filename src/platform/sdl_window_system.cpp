#include "platform/sdl_window_system.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/dik.h"
#include "platform/gfx/gl/gl_device.h"
#include "platform/interface/sdl_gl_interface_backend.h"
#include "platform/termination.h"

namespace platform {

namespace {

class SdlGlWindow final : public Window {
 public:
  SdlGlWindow(SDL_Window* window, std::string title, int width, int height)
      : window_(window), title_(std::move(title)), width_(width), height_(height) {}
  ~SdlGlWindow() override { SDL_DestroyWindow(window_); }

  const std::string& Title() const override { return title_; }
  int ClientWidth() const override { return width_; }
  int ClientHeight() const override { return height_; }
  std::unique_ptr<gfx::Device> CreateDevice(std::string* error) override {
    return gfx::GlDevice::Create(window_, error);
  }
  void Show() override {
    SDL_ShowWindow(window_);
    SDL_RaiseWindow(window_);
  }
  bool HasFocus() const override { return SDL_GetKeyboardFocus() == window_; }
  std::uint32_t Id() const override { return SDL_GetWindowID(window_); }
  SDL_Window* SdlWindow() const override { return window_; }

 private:
  SDL_Window* window_;
  std::string title_;
  int width_, height_;
};

class SdlKeyboard final : public InputDevice {
 public:
  explicit SdlKeyboard(Window* focus) : focus_(focus) {}
  bool GetDeviceState(std::uint32_t size, void* data) override {
    if (!acquired_ || size != 256 || !focus_->HasFocus()) {
      acquired_ = false;
      return false;
    }
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    auto* out = static_cast<std::uint8_t*>(data);
    const auto& table = DikToScancode();
    for (int k = 0; k < 256; ++k) out[k] = table[k] != SDL_SCANCODE_UNKNOWN && keys[table[k]] ? 0x80 : 0x00;
    return true;
  }
  bool Acquire() override { return acquired_ = focus_->HasFocus(); }
  void Unacquire() override { acquired_ = false; }

 private:
  Window* focus_;
  bool acquired_ = false;
};

class SdlMouse final : public InputDevice {
 public:
  SdlMouse(SdlWindowSystem* system, Window* focus) : system_(system), focus_(focus) {}
  bool GetDeviceState(std::uint32_t size, void* data) override {
    if (!acquired_ || size != sizeof(DIMOUSESTATE2) || !focus_->HasFocus()) {
      acquired_ = false;
      return false;
    }
    const auto motion = system_->TakeMouseMotion(SDL_GetWindowID(focus_->SdlWindow()));
    DIMOUSESTATE2 state{motion.x, motion.y, motion.wheel, {}};
    const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    state.rgbButtons[0] = (buttons & SDL_BUTTON_LMASK) ? 0x80 : 0;
    state.rgbButtons[1] = (buttons & SDL_BUTTON_RMASK) ? 0x80 : 0;
    state.rgbButtons[2] = (buttons & SDL_BUTTON_MMASK) ? 0x80 : 0;
    state.rgbButtons[3] = (buttons & SDL_BUTTON_X1MASK) ? 0x80 : 0;
    state.rgbButtons[4] = (buttons & SDL_BUTTON_X2MASK) ? 0x80 : 0;
    std::memcpy(data, &state, sizeof state);
    return true;
  }
  bool Acquire() override {
    // Motion gathered while the device was lost does not count.
    if (!acquired_ && focus_->HasFocus()) system_->TakeMouseMotion(SDL_GetWindowID(focus_->SdlWindow()));
    return acquired_ = focus_->HasFocus();
  }
  void Unacquire() override { acquired_ = false; }

 private:
  SdlWindowSystem* system_;
  Window* focus_;
  bool acquired_ = false;
};

}  // namespace

std::unique_ptr<SdlWindowSystem> SdlWindowSystem::Create(std::string* error) {
  // Only drivers that put windows on a screen: without this SDL falls back to its offscreen
  // driver when the display cannot be reached, and the program runs on unseen. SDL_VIDEODRIVER
  // still chooses any driver on purpose.
  if (!SDL_getenv("SDL_VIDEODRIVER")) SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
  // Our own handlers answer SIGTERM and SIGINT, also before SDL starts and after it stops.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    if (error) *error = std::string("no display could be opened: ") + SDL_GetError();
    return nullptr;
  }
  if (const char* driver = SDL_GetCurrentVideoDriver(); driver && std::strcmp(driver, "x11") == 0)
    EndWhenTheDisplayIsLost();
  return std::unique_ptr<SdlWindowSystem>(new SdlWindowSystem());
}

std::unique_ptr<SdlWindowSystem> SdlWindowSystem::CreateOffscreen(std::string* error) {
  // Whatever SDL_VIDEODRIVER says: a render must not open a window on someone's screen.
  SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  const bool started = SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
  SDL_ResetHint(SDL_HINT_VIDEODRIVER);  // a window system made later picks its driver as usual
  if (!started) {
    if (error) *error = std::string("SDL's offscreen video driver could not start: ") + SDL_GetError();
    SDL_Quit();
    return nullptr;
  }
  return std::unique_ptr<SdlWindowSystem>(new SdlWindowSystem());
}

SdlWindowSystem::~SdlWindowSystem() { SDL_Quit(); }

std::unique_ptr<Window> SdlWindowSystem::CreateWindow(const std::string& title, int clientWidth,
                                                      int clientHeight) {
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  // Windows start hidden and are shown once everything is set up, as the start-up order says.
  const SDL_Point at = NextWindowPosition(clientWidth, clientHeight);
  SDL_Window* window = SDL_CreateWindow(title.c_str(), at.x, at.y, clientWidth, clientHeight,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!window) return nullptr;
  return std::make_unique<SdlGlWindow>(window, title, clientWidth, clientHeight);
}

SDL_Point SdlWindowSystem::NextWindowPosition(int width, int height) {
  constexpr int kGap = 8;
  SDL_Rect screen;
  if (SDL_GetDisplayUsableBounds(0, &screen) != 0) return {SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED};
  const int left = nextLeft_ < 0 ? screen.x : nextLeft_;
  if (left + width > screen.x + screen.w || height > screen.h)
    return {SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED};
  nextLeft_ = left + width + kGap;
  return {left, screen.y};
}

std::unique_ptr<InterfaceBackend> SdlWindowSystem::CreateInterfaceBackend(Window* window,
                                                                          gfx::Device* device,
                                                                          InterfaceInput input) {
  if (!window) return nullptr;
  // Every device this system makes is a GL device.
  return SdlGlInterfaceBackend::Create(*this, window->SdlWindow(), static_cast<gfx::GlDevice*>(device),
                                       input);
}

std::unique_ptr<InputDevice> SdlWindowSystem::CreateKeyboard(Window* focusWindow) {
  if (!focusWindow || !focusWindow->SdlWindow()) return nullptr;
  return std::make_unique<SdlKeyboard>(focusWindow);
}

std::unique_ptr<InputDevice> SdlWindowSystem::CreateMouse(Window* focusWindow) {
  if (!focusWindow || !focusWindow->SdlWindow()) return nullptr;
  return std::make_unique<SdlMouse>(this, focusWindow);
}

bool SdlWindowSystem::DrainEvents() {
  SDL_Event event;
  while (SDL_PollEvent(&event)) Handle(event);
  return !QuitRequested() && !TerminationRequested();
}

void SdlWindowSystem::WaitForEvents(std::uint32_t ms) {
  SDL_WaitEventTimeout(nullptr, static_cast<int>(ms));
}

void SdlWindowSystem::Handle(const SDL_Event& event) {
  ++eventsHandled_;
  if (listener_) listener_(event);
  switch (event.type) {
    case SDL_QUIT:
      RequestClose(CloseRequest::Window);
      break;
    case SDL_WINDOWEVENT:
      if (event.window.event == SDL_WINDOWEVENT_CLOSE) RequestClose(CloseRequest::Window);
      break;
    case SDL_KEYDOWN:
      if (event.key.keysym.scancode == SDL_SCANCODE_ESCAPE && !event.key.repeat)
        RequestClose(CloseRequest::Escape);
      break;
    case SDL_DROPFILE:
      if (event.drop.file) {
        DropFile(event.drop.file);
        SDL_free(event.drop.file);
      }
      break;
    case SDL_MOUSEMOTION:
    case SDL_MOUSEWHEEL: {
      const Uint32 id = event.type == SDL_MOUSEMOTION ? event.motion.windowID : event.wheel.windowID;
      auto it = std::find_if(motion_.begin(), motion_.end(),
                             [&](const PendingMotion& p) { return p.windowId == id; });
      if (it == motion_.end()) it = motion_.insert(motion_.end(), PendingMotion{id, {}});
      if (event.type == SDL_MOUSEMOTION) {
        it->motion.x += event.motion.xrel;
        it->motion.y += event.motion.yrel;
      } else {
        const int notches = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
        it->motion.wheel += notches * 120;
      }
      break;
    }
    default:
      break;
  }
}

SdlWindowSystem::MouseMotion SdlWindowSystem::TakeMouseMotion(std::uint32_t windowId) {
  for (PendingMotion& p : motion_)
    if (p.windowId == windowId) return std::exchange(p.motion, MouseMotion{});
  return {};
}

}  // namespace platform
