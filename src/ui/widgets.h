#pragma once
// The editor's small widgets: a combo over a list of names, an Enable/Disable button, a
// wobbling icon button, a one-line colour editor and the palette picker it opens.

#include <imgui.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace gfx {
class Texture;
}
struct PanelRow;

// What the widgets keep for the whole run, shared by all of them.
struct WidgetState {
  // What a panel row's tooltip says (empty: none), from the table of what the rows mean.
  std::string (*RowTip)(const PanelRow& row) = nullptr;
  float IconAngle = 0.0f;  // degrees; advances while an icon is hovered
  ImVec4 BackupColor{0.0f, 0.0f, 0.0f, 0.0f};
  std::array<ImVec4, 32> Palette{};
  bool PaletteInit = true;
};

// A combo over entries previewing the one at selection (outsidePreview when it lies outside
// the list); choosing an entry sets selection and calls action, also when it was selected already.
// With a decoration, each entry starts with what draw draws (a picture) and is that tall, and
// ends with what after draws (a note beside the name).
struct EntryDecoration {
  std::function<void(int entry)> draw;
  float height = 0.0f;
  std::function<void(int entry)> after;
};
void ComboList(int& selection, const std::vector<std::string>& entries, std::string label,
               std::function<void()> action = {}, const std::string& outsidePreview = {},
               const EntryDecoration& decoration = {});

// The texture (on the editor window's device; null draws a white square) at size, and at
// hoverSize in a tooltip while hovered; logged under name.
void Thumbnail(const gfx::Texture* texture, const std::string& name, float size, float hoverSize);

// "Disable" + name while flag is set, "Enable" + name while not; pressing flips the flag.
void ToggleButton(bool& flag, std::string name);

// The texture (made on the editor window's device; null draws a white square) as a button
// that wobbles while hovered, logged under name. True when clicked this frame.
bool IconButton(WidgetState& state, const gfx::Texture* texture, const std::string& name, ImVec2 size);

// Four channel drags, a swatch, "!" and the label; the swatch and "!" open the palette picker.
// colour is four floats (RGBA). True when the colour changed this frame.
bool ColorField(WidgetState& state, const char* label, float* colour);

// A colour picker, the current and the original colour, and a 32-colour palette that
// takes dropped colours. True when the colour changed.
bool PalettePicker(WidgetState& state, float* colour);
