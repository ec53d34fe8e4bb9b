#pragma once
// The "Child" window: a second top-level window with a device of its own, where the
// editor interface is drawn.

#include <memory>

#include "platform/gfx/device.h"
#include "platform/window_system.h"

class CChildWindow {
 public:
  static constexpr int kWidth = 700;
  static constexpr int kHeight = 1000;

  HRESULT Init(platform::WindowSystem* instance);
  // Releases the device, then the window.
  void Uninit();
  platform::Window* GetWindow() const { return window_.get(); }
  gfx::Device* GetDevice() const { return device_.get(); }

 private:
  std::unique_ptr<platform::Window> window_;
  std::unique_ptr<gfx::Device> device_;
};
