#pragma once
// One camera-facing quad of an effect: waits its start delay, then moves, grows, spins,
// fades, falls and dies after its lifetime, as its definition says. It may draw a trail
// behind it, and collide with the other particles of its emitter's grid.

#include <string>

#include "effect/particle_params.h"
#include "particle/emitter_link.h"
#include "particle/particle_motion.h"
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

  int GetLife() const { return motion_.Life(); }
  int GetAge() const { return motion_.Age(); }
  int GetActiveFrames() const { return motion_.ActiveFrames(); }
  // The particle's copy of its definition, with the velocity and collision mark it has now
  // (which live with its frame state, not in the copy).
  BillboardParams GetParams() const;
  // The emitter that made it, while that plays; null once it ended or the particle ended.
  CParticleEmitter* GetEmitter() const { return link_.Emitter(); }
  CTrail* GetTrail() const { return trail_; }

  // The emitter's grid the particle is filed in; null once it left it (dropped by its
  // emitter, ended, or the emitter ended and freed its grids) or if never filed.
  PhysicsGrid* GetGrid() const;
  PhysicsGrid::Id GetGridId() const { return record_->gridId; }
  // The last collision partner, while it is still filed in the grid; null otherwise.
  CParticle* GetPartner() const;
  bool IsCollisionPending() const { return collisionPending_; }

 protected:
  CObject* UpdateRun(std::vector<CObject*>& walked) override;

 private:
  CParticle() { SetType(kType); }
  // Marks every particle of the cell whose box overlaps this one's as colliding with it.
  void TestCollision(PhysicsGrid& grid);
  // The frame, inlined into the run's walk.
  [[gnu::always_inline]] inline void Step();
  void LeaveGrid();

  // What a frame seldom reads: the definition's copy, and the particle's filing in its grid.
  struct Record {
    BillboardParams params;
    std::string textureTag;
    // The two ids in one aligned 16 bytes, so on one cache line: a collision test reads one
    // and writes the other of every particle in its cell.
    alignas(2 * sizeof(PhysicsGrid::Id)) PhysicsGrid::Id gridId;
    PhysicsGrid::Id partner;  // checked through the grid: the partner may be gone
    // The emitter's, reached only while the link resolves: the emitter frees its grids when it ends.
    PhysicsGrid* grid = nullptr;
  };

  // The frame's state fills the object's third and fourth cache lines, right after the
  // billboard's: a particle is four lines, all of which a frame reads, and a walk over
  // thousands of them runs through memory with nothing else in between. Next to the rules
  // both kinds share, the definition's values of a billboard's own that stay fixed once the
  // particle is made, read every frame: kept here rather than in the record.
  alignas(64) ParticleMotion motion_;
  float rotateValue_ = 0.0f;  // the spin of every frame
  D3DXVECTOR3 scaling_;
  D3DXVECTOR3 randomVelocity_;
  D3DXVECTOR3 currentVelocity_;  // the velocity after this frame's own rules, which partners read
  bool usePhysics_ = false;
  bool collisionPending_ = false;  // other particles' collision tests set it
  EmitterLink link_;
  CTrail* trail_ = nullptr;
  PoolPtr<Record> record_ = MakePooled<Record>();
};
