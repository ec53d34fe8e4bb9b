// Pieces the particle panels embed: the texture combos of the selected definition and the
// collision settings of a definition.

#include "editor/editor.h"
#include "editor/panel_combos.h"
#include "ui/panel_rows.h"

namespace {

using PhysicsRow = BoundRow<PhysicsParams>;

constexpr std::array<PhysicsRow, 2> kBounceRows{{
    {{"BounceFactor", RowKind::kDragFloat, 0.01f, 0, 1},
     [](PhysicsParams& p) { return Floats(p.BounceFactor); }},
    {{"ElasticityCoefficient", RowKind::kDragFloat, 0.01f, 0, 2},
     [](PhysicsParams& p) { return Floats(p.ElasticityCoefficient); }},
}};

constexpr std::array<PhysicsRow, 2> kAirRows{{
    {{"VectorFactor", RowKind::kDragFloat, 0.01f, 0, 10},
     [](PhysicsParams& p) { return Floats(p.VectorFactor); }},
    {{"DragCoefficient", RowKind::kDragFloat, 0.01f, 0, 2},
     [](PhysicsParams& p) { return Floats(p.DragCoefficient); }},
}};

}  // namespace

void CEditor::ShowTextureCombo(int kind) {
  ParticleParams* definition = SelectedDefinition();
  if (!definition || (kind != 0 && kind != 1)) return;
  EmissionParams& e = definition->Emission;
  if (kind == 0) {
    TextureCombo(TextureIndex, e.TextureTag, "Texture");
  } else {
    TextureCombo(MaskTextureIndex, e.MaskTextureTag, "MaskTexture");
  }
}

void CEditor::ShowPhysicsPanel(EmissionParams& e) {
  SyncedCombo(PhysicsTypeIndex, e.Physics.PhysicsType, kPhysicsTypeLabels, "PhysicsType");
  if (e.Physics.PhysicsType == PHYSICS_BOUNCE) {
    DrawRows(Widgets, kBounceRows, e.Physics);
  } else if (e.Physics.PhysicsType == PHYSICS_AIR) {
    DrawRows(Widgets, kAirRows, e.Physics);
  }
}
