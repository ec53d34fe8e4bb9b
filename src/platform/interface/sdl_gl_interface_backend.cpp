#include "platform/interface/sdl_gl_interface_backend.h"

#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>

#include "platform/gfx/gl/gl_device.h"

namespace platform {

std::unique_ptr<SdlGlInterfaceBackend> SdlGlInterfaceBackend::Create(WindowSystem& system, SDL_Window* window,
                                                                     gfx::GlDevice* device,
                                                                     InterfaceInput input) {
  if (!window || !device || !ImGui::GetCurrentContext()) return nullptr;
  std::unique_ptr<SdlGlInterfaceBackend> backend(
      new SdlGlInterfaceBackend(system, SDL_GetWindowID(window), device, input));
  device->MakeCurrent();
  backend->platformStarted_ = ImGui_ImplSDL2_InitForOpenGL(window, SDL_GL_GetCurrentContext());
  // Without input the library must not take the mouse, nor change the cursor the other
  // window's interface sets.
  if (input == InterfaceInput::kNone)
    ImGui::GetIO().ConfigFlags |= ImGuiConfigFlags_NoMouse | ImGuiConfigFlags_NoMouseCursorChange;
  backend->rendererStarted_ = backend->platformStarted_ && ImGui_ImplOpenGL3_Init("#version 330 core");
  if (!backend->rendererStarted_) return nullptr;
  return backend;
}

SdlGlInterfaceBackend::SdlGlInterfaceBackend(WindowSystem& system, std::uint32_t windowId,
                                             gfx::GlDevice* device, InterfaceInput input)
    : InterfaceBackend(system, windowId, input), device_(device) {}

SdlGlInterfaceBackend::~SdlGlInterfaceBackend() {
  device_->MakeCurrent();
  if (rendererStarted_) ImGui_ImplOpenGL3_Shutdown();
  if (platformStarted_) ImGui_ImplSDL2_Shutdown();
}

void SdlGlInterfaceBackend::NewFrame() {
  device_->MakeCurrent();
  Events().DeliverFrame([](const SDL_Event& event) { ImGui_ImplSDL2_ProcessEvent(&event); });
  ImGui_ImplOpenGL3_NewFrame();
  ImGui_ImplSDL2_NewFrame();
}

void SdlGlInterfaceBackend::RenderDrawData(ImDrawData* data) {
  if (!data) return;
  device_->MakeCurrent();
  ImGui_ImplOpenGL3_RenderDrawData(data);
  // The renderer restores the state it changed but binds its own program.
  device_->ForgetProgram();
}

}  // namespace platform
