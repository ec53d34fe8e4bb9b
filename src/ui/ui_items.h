#pragma once
// The library's widgets as the editor uses them, each logging itself (item_log.h) so that
// tests can find it by its label. Same arguments and results as the library's calls.
// Drags and number fields log their frame (the label beside it is not part of it); a drag
// of N values divides the frame as the library does (style's ItemInnerSpacing between).

#include <imgui.h>

#include <span>
#include <string>

#include "ui/implot.h"

namespace ui {

bool Begin(const char* name, bool* open = nullptr, ImGuiWindowFlags flags = 0);
bool Button(const char* label, const ImVec2& size = ImVec2(0, 0));
// logLabel names the button in the log, since invisible buttons may share an identifier.
bool InvisibleButton(const char* id, const ImVec2& size, const char* logLabel);
bool InputText(const char* label, char* buffer, std::size_t size);
bool Checkbox(const char* label, bool* value);
bool InputInt(const char* label, int* value, int step, int stepFast);
bool TreeNode(const char* label);
bool DragInt(const char* label, int* value, float speed, int min, int max, const char* format,
             ImGuiSliderFlags flags = 0);
bool DragFloat(const char* label, float* value, float speed, float min, float max, const char* format,
               ImGuiSliderFlags flags = 0);
bool DragFloat2(const char* label, float* values, float speed, float min, float max, const char* format);
bool DragFloat3(const char* label, float* values, float speed, float min, float max, const char* format);
bool SliderInt(const char* label, int* value, int min, int max, const char* format);
bool SliderFloat(const char* label, float* value, float min, float max, const char* format,
                 ImGuiSliderFlags flags = 0);
bool InputScalar(const char* label, ImGuiDataType type, void* value, ImGuiInputTextFlags flags = 0);
bool CollapsingHeader(const char* label);
bool Selectable(const char* label, bool selected, ImVec2 size = ImVec2(0, 0));
// A tooltip of the text over the item just drawn, while it is hovered; logged under the
// item's label, with the text as what it shows.
void ItemTooltip(const char* label, const std::string& text);
bool MenuItem(const char* label, const char* shortcut = nullptr, bool enabled = true);
// An entry with a check mark that toggles *selected.
bool MenuItem(const char* label, bool* selected);
bool BeginMenu(const char* label);
bool BeginCombo(const char* label, const char* preview);
bool ColorButton(const char* id, const ImVec4& colour, ImGuiColorEditFlags flags,
                 const ImVec2& size = ImVec2(0, 0), const char* kind = "ColorButton");
// The library's list box with the default height (up to 7 rows), each entry a logged row.
bool ListBox(const char* label, int* current, std::span<const std::string> entries);

// The top-level window that has the keyboard (empty when none), and focusing one by name: a
// question opened over the windows gives the focus back to where the user was.
std::string FocusedWindow();
void FocusWindow(const std::string& name);

// A plot from BeginPlot to EndPlot, open while the object tests true. It logs the frame under
// the title (kind "Plot") and, when it ends, the area where the axes map under title + "/area"
// (kind "PlotArea"), so that tests can aim at plot coordinates.
class Plot {
 public:
  explicit Plot(const char* title, const ImVec2& size = ImVec2(-1, 0));
  ~Plot();
  Plot(const Plot&) = delete;
  Plot& operator=(const Plot&) = delete;
  explicit operator bool() const { return open_; }

 private:
  std::string title_;
  bool open_;
};

}  // namespace ui
