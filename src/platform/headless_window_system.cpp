#include "platform/headless_window_system.h"

#include <cstring>

#include "platform/gfx/null/null_device.h"
#include "platform/interface/headless_interface_backend.h"

namespace platform {

namespace {

class HeadlessWindow final : public Window {
 public:
  HeadlessWindow(HeadlessWindowSystem* system, std::uint32_t id, std::string title, int width, int height)
      : system_(system), id_(id), title_(std::move(title)), width_(width), height_(height) {}
  const std::string& Title() const override { return title_; }
  int ClientWidth() const override { return width_; }
  int ClientHeight() const override { return height_; }
  std::unique_ptr<gfx::Device> CreateDevice(std::string* error) override {
    if (system_->DevicesFail()) {
      if (error) *error = "device creation disabled";
      return nullptr;
    }
    return std::make_unique<gfx::NullDevice>(static_cast<UINT>(width_), static_cast<UINT>(height_));
  }
  void Show() override {}
  bool HasFocus() const override { return system_->Focused(); }
  std::uint32_t Id() const override { return id_; }

 private:
  HeadlessWindowSystem* system_;
  std::uint32_t id_;
  std::string title_;
  int width_, height_;
};

class HeadlessKeyboard final : public InputDevice {
 public:
  explicit HeadlessKeyboard(HeadlessWindowSystem* system) : system_(system) {}
  bool GetDeviceState(std::uint32_t size, void* data) override {
    if (size != 256 || !system_->Focused()) return false;
    std::memcpy(data, system_->Keys().data(), 256);
    return true;
  }
  bool Acquire() override { return system_->Focused(); }
  void Unacquire() override {}

 private:
  HeadlessWindowSystem* system_;
};

class HeadlessMouse final : public InputDevice {
 public:
  explicit HeadlessMouse(HeadlessWindowSystem* system) : system_(system) {}
  bool GetDeviceState(std::uint32_t size, void* data) override {
    if (size != sizeof(DIMOUSESTATE2) || !system_->Focused()) return false;
    std::memcpy(data, &system_->Mouse(), sizeof(DIMOUSESTATE2));
    return true;
  }
  bool Acquire() override { return system_->Focused(); }
  void Unacquire() override {}

 private:
  HeadlessWindowSystem* system_;
};

}  // namespace

std::unique_ptr<Window> HeadlessWindowSystem::CreateWindow(const std::string& title, int clientWidth,
                                                           int clientHeight) {
  if (failWindows_) return nullptr;
  return std::make_unique<HeadlessWindow>(this, ++windowsMade_, title, clientWidth, clientHeight);
}

std::unique_ptr<InterfaceBackend> HeadlessWindowSystem::CreateInterfaceBackend(Window* window,
                                                                               gfx::Device* device,
                                                                               InterfaceInput input) {
  if (!window) return nullptr;
  // Every device this system makes is a Null device.
  return std::make_unique<HeadlessInterfaceBackend>(*this, window->Id(),
                                                    static_cast<gfx::NullDevice*>(device),
                                                    window->ClientWidth(), window->ClientHeight(), input);
}

std::unique_ptr<InputDevice> HeadlessWindowSystem::CreateKeyboard(Window*) {
  return std::make_unique<HeadlessKeyboard>(this);
}

std::unique_ptr<InputDevice> HeadlessWindowSystem::CreateMouse(Window*) {
  return std::make_unique<HeadlessMouse>(this);
}

}  // namespace platform
