#pragma once
// One camera-facing quad of an effect: waits its start delay, then moves, grows, spins,
// fades, falls and dies after its lifetime, as its definition says. It may draw a trail
// behind it, and collide with the other particles of its emitter's grid.

#include <string>

#include "effect/particle_params.h"
#include "particle/physics_grid.h"
#include "scene/billboard.h"

class CParticleEmitter;
class CTrail;
class PhysicsGrid;

class CParticle final : public CBillboard {
 public:
  static constexpr int kType = 4;
  static constexpr const char* kShaderLabel = "TEST";

  static CParticle* Create(const BillboardParams& params, const std::string& textureTag, PhysicsGrid* grid,
                           CParticleEmitter* emitter);

  HRESULT Init() override;
  void Uninit() override;
  void Update() override;
  void Draw() override;
  // Always added onto the picture, never written to depth.
  DrawGroup GetDrawGroup() const override { return DrawGroup::kAdditiveParticle; }

  int GetLife() const { return life_; }
  int GetAge() const { return age_; }
  int GetActiveFrames() const { return activeFrames_; }
  // The particle's copy of its definition, current velocity included.
  const BillboardParams& GetParams() {
    record_->params.Physics.CurrentVelocity = currentVelocity_;
    record_->params.CollisionPending = collisionPending_;
    return record_->params;
  }
  CParticleEmitter* GetEmitter() const { return emitter_; }
  // The emitter no longer lists this particle (it dropped it, or ended): it leaves its grid
  // too, which the emitter is about to free, or which would hand it out after its deletion.
  void DetachEmitter();
  CTrail* GetTrail() const { return trail_; }
  PhysicsGrid* GetGrid() const { return grid_; }
  PhysicsGrid::Id GetGridId() const { return record_->gridId; }
  // The last collision partner, while it is still filed in the grid; null otherwise.
  CParticle* GetPartner() const { return grid_ ? grid_->Resolve(record_->partner) : nullptr; }
  bool IsCollisionPending() const { return collisionPending_; }

 private:
  CParticle() { SetType(kType); }
  // Marks every particle of the cell whose box overlaps this one's as colliding with it.
  void TestCollision();
  void LeaveGrid();

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
    bool usePhysics = false;
  };

  // What a frame seldom reads: the definition's copy, and the particle's filing in its grid.
  struct Record {
    BillboardParams params;
    std::string textureTag;
    PhysicsGrid::Id gridId;
    PhysicsGrid::Id partner;  // checked through the grid: the partner may be gone
  };

  // The frame's state fills the object's third and fourth cache lines, right after the
  // billboard's: a particle is four lines, all of which a frame reads, and a walk over
  // thousands of them runs through memory with nothing else in between.
  alignas(64) int age_ = 0;
  int activeFrames_ = 0;
  int life_ = 0;
  Motion motion_;
  D3DXVECTOR3 currentVelocity_;  // the definition's Physics.CurrentVelocity, kept here while it changes
  bool collisionPending_ = false;  // and its CollisionPending: both are read by other particles' tests
  CTrail* trail_ = nullptr;
  PhysicsGrid* grid_ = nullptr;  // the emitter's, which outlives the particle's filing in it
  CParticleEmitter* emitter_ = nullptr;
  PoolPtr<Record> record_ = MakePooled<Record>();
};
