#pragma once
// One camera-facing quad of an effect: waits its start delay, then moves, grows, spins,
// fades, falls and dies after its lifetime, as its definition says.

#include <string>

#include "particle/particle_params.h"
#include "scene/billboard.h"

class CParticleEmitter;
class CTrail;
class PhysicsGrid;

class CParticle : public CBillboard {
 public:
  static constexpr int kType = 4;
  static constexpr const char* kShaderLabel = "TEST";

  static CParticle* Create(const BillboardParams& params, const std::string& textureTag, PhysicsGrid* grid,
                           CParticleEmitter* emitter);

  HRESULT Init() override;
  void Uninit() override;
  void Update() override;
  void Draw() override;

  int GetLife() const { return life_; }
  int GetAge() const { return age_; }
  int GetActiveFrames() const { return activeFrames_; }
  // The particle's copy of its definition, current velocity included.
  const BillboardParams& GetParams() {
    params_.Physics.CurrentVelocity = currentVelocity_;
    return params_;
  }
  CParticleEmitter* GetEmitter() const { return emitter_; }
  // The emitter no longer lists this particle (it dropped it, or ended).
  void DetachEmitter() { emitter_ = nullptr; }

 private:
  CParticle() { SetType(kType); }

  // The definition's values that stay fixed once the particle is made, read every frame:
  // kept together so the frame's walk reads one cache line for them, not half the definition.
  struct Motion {
    int delayStartTime = 0;
    int fallDelay = 0;
    float weight = 0.0f;
    float spin = 0.0f;
    float slowness = 0.0f;  // PopTime x ColorAttenuation
    D3DXVECTOR3 scaling;
    D3DXVECTOR3 randomVelocity;
    D3DXCOLOR destColor;
    bool rotate = false;
  };

  alignas(64) int age_ = 0;  // the frame's state starts a cache line of its own
  int activeFrames_ = 0;
  int life_ = 0;
  Motion motion_;
  D3DXVECTOR3 currentVelocity_;  // the definition's Physics.CurrentVelocity, kept here while it changes
  BillboardParams params_;
  CParticle* partner_ = nullptr;
  CTrail* trail_ = nullptr;
  PhysicsGrid* grid_ = nullptr;
  CParticleEmitter* emitter_ = nullptr;
  std::string textureTag_;
};
