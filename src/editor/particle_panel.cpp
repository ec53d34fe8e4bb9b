// The "Particles" window: the particle kind, then the billboard panel (this file) or the
// mesh panel (mesh_panel.cpp). Every control writes straight into the selected definition,
// and only when the user changes it.

#include <imgui.h>

#include <cstdio>
#include <string>

#include "editor/editor.h"
#include "editor/motion_rows.h"
#include "editor/panel_combos.h"
#include "editor/row_help.h"
#include "ui/item_log.h"
#include "ui/ui_items.h"

namespace {

using Row = ParticleRow<BillboardParams>;

constexpr std::array<Row, 1> kSeparateDelayRow{{
    {{"AddSeparateDelay", RowKind::kDragInt, 1.0f, 0, 20},
     [](BillboardParams&, EmissionParams& e) { return Int(e.AddSeparateDelay); }},
}};

constexpr std::array<Row, 1> kDistortionRow{{
    {{"Distortion", RowKind::kDragFloat2, 0.01f, 0, 10},
     [](BillboardParams& b, EmissionParams&) { return Floats(b.DistortionMax, b.DistortionMin); }},
}};

constexpr std::array<Row, 3> kRandomRows{{
    {{"RandomWeight", RowKind::kDragFloat2, 0.001f, -0.5f, 0.5f},
     [](BillboardParams& b, EmissionParams&) { return Floats(b.RandomWeightMax, b.RandomWeightMin); }},
    {{"RandomVelocityMin", RowKind::kDragFloat3, 0.001f, -10, 10},
     [](BillboardParams& b, EmissionParams&) { return Floats(b.RandomVelocityMin); }},
    {{"RandomVelocityMax", RowKind::kDragFloat3, 0.001f, -10, 10},
     [](BillboardParams& b, EmissionParams&) { return Floats(b.RandomVelocityMax); }},
}};

constexpr std::array<Row, 2> kSpinRows{{
    {{"RotateValue", RowKind::kDragFloat, 0.01f, -10, 10},
     [](BillboardParams& b, EmissionParams&) { return Floats(b.RotateValue); }},
    {{"RandomRotateValue", RowKind::kDragFloat2, 0.01f, -10, 10},
     [](BillboardParams& b, EmissionParams&) {
       return Floats(b.RandomRotateValueMax, b.RandomRotateValueMin);
     }},
}};

constexpr PanelRow kTrailWidthRow{"TrailWidth", RowKind::kDragFloat, 0.01f, 0, 0};
constexpr PanelRow kBeginTrailColorRow{"BeginTrailColor", RowKind::kColor};
constexpr PanelRow kEndTrailColorRow{"EndTrailColor", RowKind::kColor};

}  // namespace

void CEditor::ShowParticlePanel(ParticleParams& def) {
  SyncedCombo(ObjectTypeIndex, def.Emission.ParticleType, kParticleTypeLabels, "ObjectType");
  if (ObjectTypeIndex == Object_Billboard) {
    ShowBillboardPanel(def.Billboard, def.Emission);
  } else if (ObjectTypeIndex == Object_Mesh) {
    ShowMeshPanel(def.Mesh, def.Emission);
  }
}

void CEditor::ShowBillboardPanel(BillboardParams& b, EmissionParams& e) {
  SetLimits(e.UsePhysics);
  ShowTextureCombo(0);

  if (ui::CollapsingHeader("Create")) {
    DrawRow(Widgets, kDelayStartTimeRow<BillboardParams>, b, e);
    DrawRows(Widgets, kSeparateDelayRow, b, e);
    DrawRow(Widgets, kPosOffsetRow<BillboardParams>, b, e);
    SyncedCombo(RandomBehaviorIndex, b.RandomCreate, kRandomCreateLabels, "RandomBehavior");
    if (RandomBehaviorIndex == Random_Circle) {
      DrawRows(Widgets, kCircleRows<BillboardParams>, b, e);
      // Not read from the definition: the combo shows the last lock chosen.
      ComboList(LockPosIndex, {kLockPositionLabels.begin(), kLockPositionLabels.end()}, "LockPos",
                [&] { b.LockPosition = LockPosIndex; });
    }
  }

  if (ui::CollapsingHeader("Movement")) {
    SyncedCombo(BehaviorIndex, e.Behavior, kBehaviorLabels, "ParticleBehavior");
    // The random velocity's horizontal part follows the velocity the user sets.
    if (DrawRow(Widgets, kVelocityRow<BillboardParams>, b, e)) {
      b.RandomVelocity.x = b.Velocity.x;
      b.RandomVelocity.z = b.Velocity.z;
    }
    DrawRow(Widgets, kUpVectorRow<BillboardParams>, b, e);
    if (BehaviorIndex == Behavior_Sphere) {
      DrawRows(Widgets, kDistortionRow, b, e);
    } else if (BehaviorIndex == Behavior_Rotate) {
      DrawRows(Widgets, kRotateRows<BillboardParams>, b, e);
    } else {
      DrawRows(Widgets, kFallRows<BillboardParams>, b, e);
    }
    ui::Checkbox("Random", &b.UseRandom);
    if (b.UseRandom) {
      ImGui::TextUnformatted("Min / Max");
      DrawRows(Widgets, kRandomRows, b, e);
    }
    if (ui::Checkbox("Use Physics", &e.UsePhysics)) {
      SetLimits(e.UsePhysics);
      CorrectQuantity(e.Quantity);
      CorrectPopTime(b.PopTime);
    }
    if (e.UsePhysics) ShowPhysicsPanel(e);
  }

  ImGui::Separator();
  DrawRows(Widgets, kGrowthRows<BillboardParams>, b, e);
  DrawRows(Widgets, kSpinRows, b, e);
  DrawRows(Widgets, kFadeRows<BillboardParams>, b, e);
  if (ui::CollapsingHeader("Plot")) ShowPlotEditor(b);
  if (ui::InputInt("Quantity", &e.Quantity, 1, 100)) CorrectQuantity(e.Quantity);
  ui::ItemTooltip("Quantity", RowTooltip({"Quantity", RowKind::kDragInt, 1.0f, 1,
                                          static_cast<float>(QuantityLimit)}));
  if (e.Quantity <= 0) ShowHint("Quantity " + std::to_string(e.Quantity) + ": no particle is spawned");
  const PanelRow popTime{"PopTime", RowKind::kDragInt, 1.0f, 1, static_cast<float>(PopTimeLimit)};
  if (DrawRow(Widgets, popTime, Int(b.PopTime))) CorrectPopTime(b.PopTime);

  ImGui::Separator();
  ShowTrailControls(b);
}

void CEditor::ShowTrailControls(BillboardParams& b) {
  ui::Checkbox("Use Trail", &b.Trail);
  if (b.Trail) {
    DrawRow(Widgets, kTrailWidthRow, Floats(b.TrailWidth));
    if (b.TrailWidth <= 0.0f) ShowHint("the trail has no width");
    ui::Checkbox("UseTrailTexture", &b.UseTrailTexture);
    if (b.UseTrailTexture) TextureCombo(TrailTextureIndex, b.TrailTexture, "TrailTexture");
    ui::Checkbox("SeparateTrailColors", &b.SeparateTrailColors);
    if (!b.SeparateTrailColors && b.DestColor.a <= 0.0f) {
      char alpha[32];
      std::snprintf(alpha, sizeof alpha, "%g", static_cast<double>(b.DestColor.a));
      ShowHint(std::string("the trail takes DestColor's alpha, ") + alpha + " here");
    }
  }
  // The colours hang on their own box, so they stay in view when the trail is switched off.
  if (b.SeparateTrailColors) {
    DrawRow(Widgets, kBeginTrailColorRow, Floats(b.BeginTrailColor));
    DrawRow(Widgets, kEndTrailColorRow, Floats(b.EndTrailColor));
  }
}

void CEditor::ShowHint(const std::string& text) {
  ImGui::TextColored(ImVec4(1.0f, 0.75f, 0.3f, 1.0f), "%s", text.c_str());
  ui::LogLastItem("hint", "Text", text);
}

// ---- the count and lifetime limits --------------------------------------------------------------

void CEditor::SetLimits(bool usePhysics) {
  QuantityLimit = usePhysics ? kPhysicsQuantityLimit : kQuantityLimit;
  PopTimeLimit = usePhysics ? kPhysicsPopTimeLimit : kPopTimeLimit;
}

void CEditor::CorrectQuantity(int& quantity) const {
  if (quantity <= 0) quantity = 1;
  if (quantity >= QuantityLimit) quantity = QuantityLimit;
}

void CEditor::CorrectPopTime(int& popTime) const {
  if (popTime >= PopTimeLimit) popTime = PopTimeLimit;
}
