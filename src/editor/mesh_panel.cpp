// The mesh particle panel: model, shader and textures, then the motion and look of the
// definition's MeshParams, with the billboard panel's conventions.

#include <imgui.h>

#include "editor/editor.h"
#include "editor/motion_rows.h"
#include "editor/panel_combos.h"
#include "ui/ui_items.h"

namespace {

using Row = ParticleRow<MeshParams>;

constexpr PanelRow kUVMovementRow{"UVMovement", RowKind::kDragFloat2, 0.001f, -2, 2};

constexpr std::array<Row, 1> kRandomValueRow{{
    {{"RandomValue", RowKind::kDragFloat2, 0.001f, -0.5f, 0.5f},
     [](MeshParams& m, EmissionParams&) { return Floats(m.RandomValueMin, m.RandomValueMax); }},
}};

constexpr std::array<Row, 1> kSpinRow{{
    {{"Rotate", RowKind::kDragFloat, 0.01f, 0, 10},
     [](MeshParams& m, EmissionParams&) { return Floats(m.RotateValue); }},
}};

constexpr std::array<Row, 1> kEmissiveRow{{
    {{"Emissive", RowKind::kDragFloat, 0.01f, 0, 2},
     [](MeshParams& m, EmissionParams&) { return Floats(m.Emissive); }},
}};

constexpr std::array<Row, 2> kRandomColorRows{{
    {{"RandomColorMin", RowKind::kDragFloat, 0.01f, 0, 1},
     [](MeshParams& m, EmissionParams&) { return Floats(m.RandomColorMin); }},
    {{"RandomColorMax", RowKind::kDragFloat, 0.01f, 0, 1},
     [](MeshParams& m, EmissionParams&) { return Floats(m.RandomColorMax); }},
}};

constexpr PanelRow kPopTimeRow{"PopTime", RowKind::kDragInt, 1.0f, 1, 600};

}  // namespace

void CEditor::ShowMeshPanel(MeshParams& m, EmissionParams& e) {
  ToggleButton(e.UseShader, "Shader");
  ShowModelCombo(e);

  // A tag is cleared in the frame the user switches its box off, never by showing it: the
  // boxes are not saved, and the texture tag is shared with the billboard record.
  if (ui::Checkbox("Use Texture", &m.UseTexture) && !m.UseTexture) e.TextureTag.clear();
  if (m.UseTexture) {
    ShowTextureCombo(0);
    DrawRow(Widgets, kUVMovementRow, Floats(m.UVMovement[0], m.UVMovement[1]));
    if (ui::Checkbox("Use MaskTexture", &m.UseMaskTexture) && !m.UseMaskTexture) e.MaskTextureTag.clear();
    if (m.UseMaskTexture) ShowTextureCombo(1);
  }

  if (ui::CollapsingHeader("Create")) {
    DrawRow(Widgets, kDelayStartTimeRow<MeshParams>, m, e);
    DrawRow(Widgets, kPosOffsetRow<MeshParams>, m, e);
    ui::Checkbox("RandomPos", &m.CreateRandomPos);
    if (m.CreateRandomPos) DrawRows(Widgets, kCircleRows<MeshParams>, m, e);
  }

  if (ui::CollapsingHeader("Movement")) {
    SyncedCombo(BehaviorIndex, e.Behavior, kBehaviorLabels, "ParticleBehavior");
    DrawRow(Widgets, kVelocityRow<MeshParams>, m, e);
    DrawRow(Widgets, kUpVectorRow<MeshParams>, m, e);
    if (BehaviorIndex == Behavior_Rotate) {
      DrawRows(Widgets, kRotateRows<MeshParams>, m, e);
    } else {
      DrawRows(Widgets, kFallRows<MeshParams>, m, e);
    }
    ui::Checkbox("Random", &m.UseRandom);
    if (m.UseRandom) DrawRows(Widgets, kRandomValueRow, m, e);
  }

  ImGui::Separator();
  DrawRows(Widgets, kGrowthRows<MeshParams>, m, e);
  DrawRows(Widgets, kSpinRow, m, e);
  DrawRows(Widgets, kFadeRows<MeshParams>, m, e);
  DrawRows(Widgets, kEmissiveRow, m, e);
  ui::Checkbox("RandomColor", &m.RandomColor);
  if (m.RandomColor) DrawRows(Widgets, kRandomColorRows, m, e);
  // Mesh particles have no upper count: the emitter's own ceiling guards the memory.
  if (ui::InputInt("Quantity", &e.Quantity, 1, 100) && e.Quantity <= 0) e.Quantity = 1;
  DrawRow(Widgets, kPopTimeRow, Int(m.PopTime));
  ui::Checkbox("Use Trail", &m.Trail);
}

void CEditor::ShowModelCombo(EmissionParams& e) { ModelCombo(ModelIndex, e.ModelTag); }
