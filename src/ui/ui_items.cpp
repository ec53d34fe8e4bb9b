#include "ui/ui_items.h"

#include <imgui_internal.h>

#include <algorithm>

#include "ui/item_log.h"

namespace ui {

namespace {

// Logs the item just drawn, with the kind of widget it is, and passes its result on.
bool Logged(bool result, const char* label, const char* kind) {
  LogLastItem(label, kind);
  return result;
}

// A framed widget with its label to the right is logged by its frame, the part that takes
// the mouse, measured before the library draws it.
class FrameLog {
 public:
  FrameLog() : at_(ImGui::GetCursorScreenPos()), width_(ImGui::CalcItemWidth()) {}
  bool operator()(bool result, const char* label, const char* kind) const {
    if (ItemLog* log = ItemLog::Installed())
      log->Add({ImGui::GetCurrentWindowRead()->Name, label, at_,
                ImVec2(at_.x + width_, at_.y + ImGui::GetFrameHeight()), kind});
    return result;
  }

 private:
  ImVec2 at_;
  float width_;
};

}  // namespace

bool Begin(const char* name, bool* open, ImGuiWindowFlags flags) {
  const bool visible = ImGui::Begin(name, open, flags);
  if (ItemLog* log = ItemLog::Installed()) {
    const ImVec2 at = ImGui::GetWindowPos();
    const ImVec2 size = ImGui::GetWindowSize();
    log->Add({name, name, at, ImVec2(at.x + size.x, at.y + size.y), "Window"});
  }
  return visible;
}

bool Button(const char* label, const ImVec2& size) {
  return Logged(ImGui::Button(label, size), label, "Button");
}

bool InvisibleButton(const char* id, const ImVec2& size, const char* logLabel) {
  return Logged(ImGui::InvisibleButton(id, size), logLabel, "InvisibleButton");
}

bool InputText(const char* label, char* buffer, std::size_t size) {
  return Logged(ImGui::InputText(label, buffer, size), label, "InputText");
}

bool Checkbox(const char* label, bool* value) {
  return Logged(ImGui::Checkbox(label, value), label, "Checkbox");
}

// The step buttons are logged too, as label + "/-" and label + "/+", where the library puts them.
bool InputInt(const char* label, int* value, int step, int stepFast) {
  if (ItemLog* log = ItemLog::Installed(); log && step > 0) {
    const ImVec2 at = ImGui::GetCursorScreenPos();
    const float button = ImGui::GetFrameHeight(), inner = ImGui::GetStyle().ItemInnerSpacing.x;
    const float field = std::max(1.0f, ImGui::CalcItemWidth() - (button + inner) * 2.0f);
    const std::string window = ImGui::GetCurrentWindowRead()->Name;
    const float minus = at.x + field + inner, plus = minus + button + inner;
    log->Add({window, std::string(label) + "/-", ImVec2(minus, at.y), ImVec2(minus + button, at.y + button),
              "Button"});
    log->Add({window, std::string(label) + "/+", ImVec2(plus, at.y), ImVec2(plus + button, at.y + button),
              "Button"});
  }
  const FrameLog frame;
  return frame(ImGui::InputInt(label, value, step, stepFast), label, "InputInt");
}

bool TreeNode(const char* label) { return Logged(ImGui::TreeNode(label), label, "TreeNode"); }

bool DragInt(const char* label, int* value, float speed, int min, int max, const char* format,
             ImGuiSliderFlags flags) {
  const FrameLog frame;
  return frame(ImGui::DragInt(label, value, speed, min, max, format, flags), label, "DragInt");
}

bool DragFloat(const char* label, float* value, float speed, float min, float max, const char* format,
               ImGuiSliderFlags flags) {
  const FrameLog frame;
  return frame(ImGui::DragFloat(label, value, speed, min, max, format, flags), label, "DragFloat");
}

bool DragFloat2(const char* label, float* values, float speed, float min, float max, const char* format) {
  const FrameLog frame;
  return frame(ImGui::DragFloat2(label, values, speed, min, max, format), label, "DragFloat2");
}

bool DragFloat3(const char* label, float* values, float speed, float min, float max, const char* format) {
  const FrameLog frame;
  return frame(ImGui::DragFloat3(label, values, speed, min, max, format), label, "DragFloat3");
}

bool SliderInt(const char* label, int* value, int min, int max, const char* format) {
  const FrameLog frame;
  return frame(ImGui::SliderInt(label, value, min, max, format), label, "SliderInt");
}

bool SliderFloat(const char* label, float* value, float min, float max, const char* format,
                 ImGuiSliderFlags flags) {
  const FrameLog frame;
  return frame(ImGui::SliderFloat(label, value, min, max, format, flags), label, "SliderFloat");
}

bool InputScalar(const char* label, ImGuiDataType type, void* value, ImGuiInputTextFlags flags) {
  const FrameLog frame;
  return frame(ImGui::InputScalar(label, type, value, nullptr, nullptr, nullptr, flags), label,
               "InputScalar");
}

bool CollapsingHeader(const char* label) {
  return Logged(ImGui::CollapsingHeader(label), label, "CollapsingHeader");
}

bool Selectable(const char* label, bool selected, ImVec2 size) {
  return Logged(ImGui::Selectable(label, selected, 0, size), label, "Selectable");
}

void ItemTooltip(const char* label, const std::string& text) {
  // A group (a row of several widgets) counts as hovered over any of them.
  constexpr ImGuiHoveredFlags kAnyPart =
      ImGuiHoveredFlags_AllowWhenDisabled | ImGuiHoveredFlags_AllowWhenOverlapped;
  if (text.empty() || !ImGui::IsItemHovered(kAnyPart)) return;
  ImGui::BeginTooltip();
  ImGui::PushTextWrapPos(ImGui::GetFontSize() * 30.0f);
  ImGui::TextUnformatted(text.c_str());
  ImGui::PopTextWrapPos();
  ImGui::EndTooltip();
  LogLastItem(label, "Tooltip", text);
}

bool MenuItem(const char* label, const char* shortcut, bool enabled) {
  return Logged(ImGui::MenuItem(label, shortcut, false, enabled), label, "MenuItem");
}

bool MenuItem(const char* label, bool* selected) {
  return Logged(ImGui::MenuItem(label, nullptr, selected), label, "MenuItem");
}

// An open menu or combo makes its popup the current window, so these two log where their
// item will be before the library draws it.
bool BeginMenu(const char* label) {
  if (ItemLog* log = ItemLog::Installed()) {
    const ImVec2 at = ImGui::GetCursorScreenPos();
    const ImVec2 text = ImGui::CalcTextSize(label, nullptr, true);
    log->Add({ImGui::GetCurrentWindowRead()->Name, label, at,
              ImVec2(at.x + text.x + ImGui::GetStyle().ItemSpacing.x, at.y + ImGui::GetTextLineHeight()),
              "BeginMenu"});
  }
  return ImGui::BeginMenu(label);
}

bool BeginCombo(const char* label, const char* preview) {
  if (ItemLog* log = ItemLog::Installed()) {
    const ImVec2 at = ImGui::GetCursorScreenPos();
    log->Add({ImGui::GetCurrentWindowRead()->Name, label, at,
              ImVec2(at.x + ImGui::CalcItemWidth(), at.y + ImGui::GetFrameHeight()), "Combo",
              preview ? preview : ""});
  }
  return ImGui::BeginCombo(label, preview);
}

bool ColorButton(const char* id, const ImVec4& colour, ImGuiColorEditFlags flags, const ImVec2& size,
                 const char* kind) {
  return Logged(ImGui::ColorButton(id, colour, flags, size), id, kind);
}

bool ListBox(const char* label, int* current, std::span<const std::string> entries) {
  const int count = static_cast<int>(entries.size());
  const float rows = static_cast<float>(std::min(count, 7)) + 0.25f;
  const ImVec2 size(0.0f, ImFloor(ImGui::GetTextLineHeightWithSpacing() * rows +
                                  ImGui::GetStyle().FramePadding.y * 2.0f));
  const bool open = ImGui::BeginListBox(label, size);
  LogLastItem(label, "ListBox");
  if (!open) return false;
  bool changed = false;
  for (int i = 0; i < count; ++i) {
    const bool selected = i == *current;
    if (Selectable(entries[i].c_str(), selected)) {
      *current = i;
      changed = true;
    }
    if (selected) ImGui::SetItemDefaultFocus();
  }
  ImGui::EndListBox();
  return changed;
}

Plot::Plot(const char* title, const ImVec2& size) : title_(title), open_(ImPlot::BeginPlot(title, size)) {
  if (open_) LogLastItem(title_, "Plot");
}

Plot::~Plot() {
  if (!open_) return;
  if (ItemLog* log = ItemLog::Installed()) {
    const ImVec2 at = ImPlot::GetPlotPos(), size = ImPlot::GetPlotSize();
    log->Add({ImGui::GetCurrentWindowRead()->Name, title_ + "/area", at, ImVec2(at.x + size.x, at.y + size.y),
              "PlotArea"});
  }
  ImPlot::EndPlot();
}

std::string FocusedWindow() {
  const ImGuiWindow* window = ImGui::GetCurrentContext() ? GImGui->NavWindow : nullptr;
  return window && window->RootWindow ? window->RootWindow->Name : std::string();
}

void FocusWindow(const std::string& name) {
  if (!name.empty()) ImGui::SetWindowFocus(name.c_str());
}

}  // namespace ui
