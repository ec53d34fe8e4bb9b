#include "app/interface_setup.h"

#include <imgui.h>

#include "app/child_window.h"
#include "app/manager.h"
#include "editor/editor.h"
#include "ui/implot.h"
#include "platform/interface/interface_backend.h"

bool SetUpInterface(CManager& manager, platform::WindowSystem& system) {
  CChildWindow* child = manager.GetChildWindow();
  CEditor* editor = manager.GetEditor();
  if (!child || !editor) return false;

  ImGui::CreateContext();
  ImPlot::CreateContext();
  ImGui::StyleColorsDark();
  ImGuiStyle& style = ImGui::GetStyle();
  style.Colors[ImGuiCol_WindowBg] = ImVec4(0.0f, 0.0f, 0.1f, 0.4f);
  style.Colors[ImGuiCol_TitleBgActive] = ImVec4(0.5f, 0.7f, 0.0f, 1.0f);

  auto backend = system.CreateInterfaceBackend(child->GetWindow(), child->GetDevice(),
                                               platform::InterfaceInput::kWindowEvents);
  if (!backend) {
    ImPlot::DestroyContext();
    ImGui::DestroyContext();
    return false;
  }
  editor->AttachInterface(std::move(backend));
  return true;
}
