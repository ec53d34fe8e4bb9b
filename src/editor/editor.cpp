#include "editor/editor.h"

#include "app/manager.h"
#include "view/pointer.h"

#include <utility>

ParticleParams CEditor::BeginDefinition() {
  ParticleParams p;
  p.Billboard.Position = {0.0f, 10.0f, 0.0f};
  p.Billboard.PosOffset = {};
  p.Billboard.Velocity = {};
  p.Billboard.Scaling = {};
  p.Billboard.Scale = {10.0f, 10.0f, 0.0f};
  const D3DXCOLOR white(1.0f, 1.0f, 1.0f, 1.0f);
  p.Billboard.Color = p.Billboard.DestColor = p.Billboard.BeginTrailColor = p.Billboard.EndTrailColor = white;
  p.Billboard.RotateAngle = 0.0f;
  p.Billboard.PopTime = 50;
  p.Billboard.VelocityAttenuation = 0.005f;
  p.Billboard.ColorAttenuation = 0.5f;
  p.Billboard.UseRandom = false;
  p.Mesh.Scale = {1.0f, 1.0f, 1.0f};
  p.Mesh.Color = p.Mesh.DestColor = white;
  p.Mesh.ColorAttenuation = 0.5f;
  p.Mesh.PopTime = 100;
  p.Emission.ParticleType = Object_Billboard;
  p.Emission.Radius = 360.0f;
  p.Emission.Quantity = 5;
  p.Emission.ModelTag = "CUBE";
  p.Emission.DataTag = "Begin";
  p.Emission.TextureTag = "FLARE";
  return p;
}

int CEditor::Init() {
  const ParticleParams first = BeginDefinition();
  if (EffectTable* table = CManager::GetInstance()->GetEffectTable()) (*table)["Begin"] = {first};
  Effects["Begin"].push_back(first);
  CurrentTag = "Begin";
  Tags.push_back("Begin");
  return 0;
}

bool CEditor::Update(bool show, bool showAnother) {
  CPointer* pointer = CManager::GetInstance()->GetPointer();
  if (std::exchange(firstUpdate_, false) && pointer) PointerHidden = pointer->IsVisible();

  // The selected effect reaches the table every frame, shown or not.
  if (TagIndex >= 0 && TagIndex < static_cast<int>(Tags.size())) {
    const std::string& tag = Tags[TagIndex];
    if (EffectTable* table = CManager::GetInstance()->GetEffectTable()) (*table)[tag] = Effects[tag];
  }
  if (!show) return false;

  if (pointer) {
    if (PointerHidden) {
      pointer->Hide();
    } else {
      pointer->Show();
    }
  }
  return showAnother;
}
