#include "ui/widgets.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <numbers>

#include "ui/item_log.h"
#include "ui/ui_items.h"
#include "platform/gfx/device.h"

namespace {

constexpr float kIconTurnPerFrame = 2.5f;  // degrees of wobble phase per hovered frame
constexpr float kIconSwing = 20.0f;        // degrees either way

float Radians(float degrees) { return degrees * std::numbers::pi_v<float> / 180.0f; }

ImVec4 ToVec4(const float* c) { return ImVec4(c[0], c[1], c[2], c[3]); }

}  // namespace

// ---- ComboList and ToggleButton ------------------------------------------------------------

void ComboList(int& selection, const std::vector<std::string>& entries, std::string label,
               std::function<void()> action, const std::string& outsidePreview,
               const EntryDecoration& decoration) {
  const bool inside = selection >= 0 && selection < static_cast<int>(entries.size());
  const bool decorated = static_cast<bool>(decoration.draw);
  if (decorated) {
    // Tall entries: the list grows to show them all, up to most of a screen.
    const float entry = decoration.height + ImGui::GetStyle().ItemSpacing.y;
    const float height =
        entry * static_cast<float>(entries.size()) + ImGui::GetStyle().WindowPadding.y * 2.0f;
    ImGui::SetNextWindowSizeConstraints(ImVec2(0.0f, 0.0f), ImVec2(FLT_MAX, std::min(height, 600.0f)));
  }
  if (!ui::BeginCombo(label.c_str(), inside ? entries[selection].c_str() : outsidePreview.c_str())) return;
  for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
    const int before = selection;
    ImGui::PushID(i);  // names may repeat
    bool chosen = false;
    if (decorated) {
      // One selectable row under the decoration and the name, so either takes the click.
      const ImVec2 at = ImGui::GetCursorPos();
      chosen = ImGui::Selectable("##entry", i == selection, 0, ImVec2(0.0f, decoration.height));
      ui::LogLastItem(entries[i], "Selectable");
      const ImVec2 after = ImGui::GetCursorPos();
      ImGui::SetCursorPos(at);
      decoration.draw(i);
      ImGui::SameLine();
      ImGui::SetCursorPosY(at.y + (decoration.height - ImGui::GetTextLineHeight()) * 0.5f);
      ImGui::TextUnformatted(entries[i].c_str());
      ImGui::SetCursorPos(after);
    } else {
      chosen = ui::Selectable(entries[i].c_str(), i == selection);
    }
    if (decoration.after) {
      ImGui::SameLine();
      decoration.after(i);
    }
    if (chosen) {
      selection = i;
      if (action) action();
    }
    if (i == before) ImGui::SetItemDefaultFocus();
    ImGui::PopID();
  }
  ImGui::EndCombo();
}

void Thumbnail(const gfx::Texture* texture, const std::string& name, float size, float hoverSize) {
  // A missing texture shows as the white square an untextured quad draws as.
  const ImTextureID id = texture ? reinterpret_cast<ImTextureID>(texture->NativeHandle())
                                 : ImGui::GetIO().Fonts->TexID;
  const ImVec2 uv = texture ? ImVec2(1.0f, 1.0f) : ImVec2(0.0f, 0.0f);
  ImGui::Image(id, ImVec2(size, size), ImVec2(0.0f, 0.0f), uv);
  ui::LogLastItem(name, "Image");
  if (!ImGui::IsItemHovered()) return;
  ImGui::BeginTooltip();
  ImGui::Image(id, ImVec2(hoverSize, hoverSize), ImVec2(0.0f, 0.0f), uv);
  ImGui::TextUnformatted(name.c_str());
  ImGui::EndTooltip();
}

void ToggleButton(bool& flag, std::string name) {
  const std::string label = (flag ? "Disable" : "Enable") + name;
  if (ui::Button(label.c_str())) flag = !flag;
}

// ---- IconButton ------------------------------------------------------------------------------

bool IconButton(WidgetState& state, const gfx::Texture* texture, const std::string& name, ImVec2 size) {
  // A missing texture draws as an untextured (white) square, as the device draws a quad
  // without a texture: the font atlas's white pixel stands in.
  ImTextureID id = ImGui::GetIO().Fonts->TexID;
  ImVec2 uv0(0.0f, 0.0f), uv1(1.0f, 0.0f), uv2(1.0f, 1.0f), uv3(0.0f, 1.0f);
  if (texture) {
    id = reinterpret_cast<ImTextureID>(texture->NativeHandle());
  } else {
    uv0 = uv1 = uv2 = uv3 = ImGui::GetIO().Fonts->TexUvWhitePixel;
  }

  const ImVec2 p = ImGui::GetCursorScreenPos();
  ui::InvisibleButton("##iconButton", size, name.c_str());
  const bool hovered = ImGui::IsItemHovered();
  const bool clicked = ImGui::IsItemClicked();

  ImDrawList* draw = ImGui::GetWindowDrawList();
  const ImU32 white = IM_COL32(255, 255, 255, 255);
  if (!hovered) {
    draw->AddImage(id, p, ImVec2(p.x + size.x, p.y + size.y), uv0, uv2, white);
    return clicked;
  }
  state.IconAngle += kIconTurnPerFrame;
  const float w = Radians(std::sin(Radians(state.IconAngle)) * kIconSwing);
  const float c = std::cos(w), s = std::sin(w);
  const ImVec2 centre(p.x + size.x * 0.5f, p.y + size.y * 0.5f);
  const auto turn = [&](float x, float y) {
    const float dx = x - centre.x, dy = y - centre.y;
    return ImVec2(centre.x + dx * c - dy * s, centre.y + dx * s + dy * c);
  };
  draw->AddImageQuad(id, turn(p.x, p.y), turn(p.x + size.x, p.y), turn(p.x + size.x, p.y + size.y),
                     turn(p.x, p.y + size.y), uv0, uv1, uv2, uv3, white);
  return clicked;
}

// ---- ColorField and PalettePicker --------------------------------------------------------------

bool ColorField(WidgetState& state, const char* label, float* colour) {
  const ImGuiStyle& style = ImGui::GetStyle();
  const float full = ImGui::CalcItemWidth();
  const float square = ImGui::GetFrameHeight();
  const float s = style.ItemInnerSpacing.x;
  const float inputs = full - (square + s);
  const float one = std::max(1.0f, std::floor((inputs - 3.0f * s) / 4.0f));
  const float last = std::max(1.0f, std::floor(inputs - 3.0f * (one + s)));

  struct Channel {
    const char* id;
    const char* format;
  };
  static constexpr Channel kChannels[4] = {{"##X", "R:%0.3f"}, {"##Y", "G:%0.3f"}, {"##Z", "B:%0.3f"},
                                           {"##W", "A:%0.3f"}};
  bool changed = false;
  // The drags are told apart per field: each field's label scopes its four identifiers.
  ImGui::PushID(label);
  for (int i = 0; i < 4; ++i) {
    if (i > 0) ImGui::SameLine(0.0f, s);
    ImGui::SetNextItemWidth(i < 3 ? one : last);
    changed |= ui::DragFloat(kChannels[i].id, &colour[i], 1.0f / 255.0f, 0.0f, 1.0f, kChannels[i].format);
  }
  ImGui::PopID();

  ImGui::SameLine(0.0f, s);
  bool open = ui::ColorButton(label, ToVec4(colour),
                              ImGuiColorEditFlags_NoOptions | ImGuiColorEditFlags_NoDragDrop |
                                  ImGuiColorEditFlags_AlphaPreview | ImGuiColorEditFlags_HDR,
                              ImVec2(0, 0), "ColorField");
  ImGui::SameLine(0.0f, s);
  ImGui::PushID(label);
  open |= ui::Button("!");
  ImGui::PopID();
  ImGui::SameLine();
  ImGui::TextUnformatted(label);

  if (open) {
    ImGui::OpenPopup(label);
    state.BackupColor = ToVec4(colour);
  }
  if (ImGui::BeginPopup(label)) {
    changed |= PalettePicker(state, colour);
    ImGui::EndPopup();
  }
  return changed;
}

bool PalettePicker(WidgetState& state, float* colour) {
  float entry[4];
  std::memcpy(entry, colour, sizeof entry);
  bool changed = ImGui::ColorPicker4("##picker", colour,
                                     ImGuiColorEditFlags_Float | ImGuiColorEditFlags_AlphaPreview |
                                         ImGuiColorEditFlags_AlphaBar | ImGuiColorEditFlags_NoSidePreview |
                                         ImGuiColorEditFlags_NoSmallPreview,
                                     nullptr);
  ui::LogLastItem("##picker");
  ImGui::SameLine();
  ImGui::BeginGroup();

  const ImGuiColorEditFlags swatch = ImGuiColorEditFlags_NoPicker | ImGuiColorEditFlags_AlphaPreview;
  ImGui::TextUnformatted("Current");
  ui::ColorButton("##current", ToVec4(colour), swatch, ImVec2(60, 40));
  ImGui::TextUnformatted("Original");
  if (ui::ColorButton("##original", state.BackupColor, swatch, ImVec2(60, 40))) {
    colour[0] = state.BackupColor.x;
    colour[1] = state.BackupColor.y;
    colour[2] = state.BackupColor.z;
    colour[3] = state.BackupColor.w;
  }
  ImGui::Separator();
  ImGui::TextUnformatted("Palette");

  if (state.PaletteInit) {
    for (int n = 0; n < 32; ++n) {
      ImVec4& p = state.Palette[n];
      ImGui::ColorConvertHSVtoRGB(static_cast<float>(n) / 31.0f, 0.8f, 0.8f, p.x, p.y, p.z);
      p.w = 1.0f;
    }
    state.PaletteInit = false;
  }
  for (int n = 0; n < 32; ++n) {
    ImVec4& p = state.Palette[n];
    ImGui::PushID(n);
    if (n % 8 != 0) ImGui::SameLine(0.0f, ImGui::GetStyle().ItemSpacing.y);
    const bool clicked = ImGui::ColorButton(
        "##palette", p,
        ImGuiColorEditFlags_NoAlpha | ImGuiColorEditFlags_NoPicker | ImGuiColorEditFlags_NoTooltip,
        ImVec2(20, 20));
    ui::LogLastItem("##palette" + std::to_string(n));
    if (clicked) {
      colour[0] = p.x;
      colour[1] = p.y;
      colour[2] = p.z;
    }
    if (ImGui::BeginDragDropTarget()) {
      if (const ImGuiPayload* payload = ImGui::AcceptDragDropPayload(IMGUI_PAYLOAD_TYPE_COLOR_3F)) {
        std::memcpy(&p.x, payload->Data, sizeof(float) * 3);
      }
      if (const ImGuiPayload* payload = ImGui::AcceptDragDropPayload(IMGUI_PAYLOAD_TYPE_COLOR_4F)) {
        std::memcpy(&p.x, payload->Data, sizeof(float) * 4);
      }
      ImGui::EndDragDropTarget();
    }
    ImGui::PopID();
  }
  ImGui::EndGroup();
  return changed || std::memcmp(entry, colour, sizeof entry) != 0;
}
