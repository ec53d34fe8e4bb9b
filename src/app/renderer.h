#pragma once
// The scene window's device with the program's fixed states, and one frame of the scene.

#include <memory>
#include <string>

#include "platform/gfx/device.h"
#include "platform/window_system.h"

class CRenderer {
 public:
  // E_FAIL, with the device's reason in *error when given, when no device can be made.
  HRESULT Init(platform::Window* mainWindow, std::string* error = nullptr);
  // DrawScene and Present; what is drawn over the scene goes between the two.
  void Draw();
  void DrawScene();
  void Present();
  void Uninit();
  gfx::Device* GetDevice() const { return device_.get(); }

 private:
  std::unique_ptr<gfx::Device> device_;
};
