#pragma once
// The user's cursor in the scene: a sphere walked over the floor with W/A/S/D relative to
// the camera's heading, raised and lowered with R/F. The camera orbits it.

#include <vector>

#include "platform/gfx/mesh.h"
#include "scene/object.h"

class CParticleEmitter;

class CPointer : public CObject {
 public:
  static constexpr int kType = 1;
  static constexpr int kKind = 1;
  static constexpr float kLift = 1.5f;

  static CPointer* Create(D3DXVECTOR3 pos);

  HRESULT Init() override;
  void Uninit() override { SetDeath(); }
  void Update() override;
  void Draw() override;
  // The pointer keeps its own visibility; the registry's hidden flag stays clear.
  void Hide() override { visible_ = false; }
  void Show() override { visible_ = true; }
  void SetPos(D3DXVECTOR3 pos) override { pos_ = pos; }
  D3DXVECTOR3 GetPos() override { return pos_; }

  bool IsVisible() const { return visible_; }
  // The emitter made most recently, while it plays; null before the first and once it ended
  // (when its particles have all died).
  CParticleEmitter* GetLastEmitter() const { return Shared().emitters.Resolve(lastEmitter_); }
  float GetSpeed() const { return speed_; }
  // Emits the selected effect here now; the emitter becomes the last one.
  CParticleEmitter* Emit();
  // Emissions made so far, to tell a new one from the last.
  std::uint64_t GetEmissionCount() const { return emissionCount_; }

  // The horizontal step for the held keys at the camera's yaw: the first matching row of
  // the movement table decides; R and F count only while no W, A, S or D is held.
  struct Step {
    float dx = 0.0f, dz = 0.0f, dy = 0.0f;
  };
  static Step Movement(bool w, bool a, bool s, bool d, bool r, bool f, float yaw, float speed);

 private:
  CPointer() {
    SetType(kType);
    SetKind(kKind);
  }

  struct ModelPart {
    gfx::Mesh* mesh;
    gfx::MaterialBuffer* materials;
    DWORD numMaterials;
    D3DXVECTOR3 vtxMax;
    D3DXVECTOR3 vtxMin;
  };

  D3DXVECTOR3 pos_;
  D3DXVECTOR3 scale_{1.0f, 1.0f, 1.0f};
  D3DXMATRIX world_;
  std::vector<ModelPart> parts_;
  EmitterSlots::Id lastEmitter_;  // checked: the registry ends the emitter
  std::uint64_t emissionCount_ = 0;
  float speed_ = 1.0f;
  bool visible_ = true;
};
