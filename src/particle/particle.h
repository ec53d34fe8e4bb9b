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
  const BillboardParams& GetParams() const { return params_; }
  CParticleEmitter* GetEmitter() const { return emitter_; }
  // The emitter no longer lists this particle (it dropped it, or ended).
  void DetachEmitter() { emitter_ = nullptr; }

 private:
  CParticle() { SetType(kType); }

  BillboardParams params_;
  CParticle* partner_ = nullptr;
  CTrail* trail_ = nullptr;
  PhysicsGrid* grid_ = nullptr;
  CParticleEmitter* emitter_ = nullptr;
  std::string textureTag_;
  int age_ = 0;
  int activeFrames_ = 0;
  int life_ = 0;
};
