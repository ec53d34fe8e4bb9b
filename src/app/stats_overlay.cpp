#include "app/stats_overlay.h"

#include <imgui.h>

#include "platform/interface/interface_backend.h"
#include "ui/frame_figures.h"

namespace {

// Makes a context current for a scope and puts back the one that was.
class CurrentContext {
 public:
  explicit CurrentContext(ImGuiContext* context) : previous_(ImGui::GetCurrentContext()) {
    ImGui::SetCurrentContext(context);
  }
  ~CurrentContext() { ImGui::SetCurrentContext(previous_); }
  CurrentContext(const CurrentContext&) = delete;
  CurrentContext& operator=(const CurrentContext&) = delete;

 private:
  ImGuiContext* previous_;
};

}  // namespace

std::unique_ptr<StatsOverlay> StatsOverlay::Create(platform::WindowSystem& system, platform::Window* window,
                                                   gfx::Device* device) {
  if (!window || !device) return nullptr;
  std::unique_ptr<StatsOverlay> overlay(new StatsOverlay(ImGui::CreateContext()));
  {
    CurrentContext use(overlay->context_);
    ImGui::GetIO().IniFilename = nullptr;
    ImGui::StyleColorsDark();
    overlay->backend_ = system.CreateInterfaceBackend(window, device, platform::InterfaceInput::kNone);
  }
  if (!overlay->backend_) return nullptr;
  return overlay;
}

StatsOverlay::StatsOverlay(ImGuiContext* context) : context_(context) {}

StatsOverlay::~StatsOverlay() {
  ImGuiContext* previous = ImGui::GetCurrentContext();
  ImGui::SetCurrentContext(context_);
  backend_.reset();
  ImGui::DestroyContext(context_);
  ImGui::SetCurrentContext(previous == context_ ? nullptr : previous);
}

void StatsOverlay::Draw(const FrameFigures& figures) {
  CurrentContext use(context_);
  backend_->NewFrame();
  ImGui::NewFrame();
  ImGui::SetNextWindowPos(ImVec2(10.0f, 10.0f));
  ImGui::SetNextWindowBgAlpha(0.65f);
  constexpr ImGuiWindowFlags kFlags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_AlwaysAutoResize |
                                      ImGuiWindowFlags_NoInputs | ImGuiWindowFlags_NoSavedSettings |
                                      ImGuiWindowFlags_NoFocusOnAppearing | ImGuiWindowFlags_NoNav;
  if (ImGui::Begin("Stats overlay", nullptr, kFlags)) ui::ShowFrameFigures(figures);
  ImGui::End();
  ImGui::Render();
  backend_->RenderDrawData(ImGui::GetDrawData());
}
