#pragma once
// The interface library on a real window: its SDL2 platform back end and its OpenGL 3 renderer,
// drawing with the editor window's own GL context.

#include <memory>

#include "platform/interface/interface_backend.h"
#include "platform/window_system.h"

struct SDL_Window;

namespace gfx {
class GlDevice;
}

namespace platform {

class SdlGlInterfaceBackend final : public InterfaceBackend {
 public:
  // Null when either back end fails to start.
  static std::unique_ptr<SdlGlInterfaceBackend> Create(WindowSystem& system, SDL_Window* window,
                                                       gfx::GlDevice* device, InterfaceInput input);
  ~SdlGlInterfaceBackend() override;

  void NewFrame() override;
  void RenderDrawData(ImDrawData* data) override;

 private:
  SdlGlInterfaceBackend(WindowSystem& system, std::uint32_t windowId, gfx::GlDevice* device,
                        InterfaceInput input);

  gfx::GlDevice* device_;
  bool platformStarted_ = false;
  bool rendererStarted_ = false;
};

}  // namespace platform
