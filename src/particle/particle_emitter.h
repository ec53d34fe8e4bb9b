#pragma once
// Plays one effect once: copies the effect's definitions when it is made, spawns every
// particle of every definition in its Init, places them, drops the dead ones, plays at most
// one sound track, and ends when no particle is left. It draws nothing itself.

#include <memory>
#include <string>
#include <vector>

#include "effect/particle_params.h"
#include "effect/random_range.h"
#include "particle/physics_grid.h"
#include "scene/emitter_slots.h"
#include "scene/object.h"

class CParticle;
class CMeshParticle;

// What an emission needs to be played again exactly: the effect, the place, where the
// placement sequence stood before its draws, and the seed of its own stream of range draws.
// The definitions are the effect's as they are when it is replayed, so an edit shows.
struct EmissionRecord {
  std::string tag;
  D3DXVECTOR3 position;
  PlacementRandom placement;
  std::uint32_t rangeSeed = 0;
};

class CParticleEmitter : public CObject {
 public:
  static constexpr int kType = 7;
  // A document may carry any Quantity; a definition asking for more particles than this
  // spawns none (and says so once) instead of exhausting the memory at every emission.
  static constexpr int kMaxQuantity = 100'000;

  // The table's definitions of the tag are copied; a tag the table lacks is added to it empty.
  // The emitter's own random stream is seeded from the shared one.
  static CParticleEmitter* Create(const std::string& tag);
  // An emission of the tag placed at pos, drawing from the shared placement sequence; its
  // record plays it again.
  static CParticleEmitter* Emit(const std::string& tag, D3DXVECTOR3 pos);
  // The recorded emission again, as it first played; the shared random sources stay as they are.
  static CParticleEmitter* Replay(const EmissionRecord& record);

  // Its slot closes in Uninit, which the registry runs before deleting; closing again is ignored.
  ~CParticleEmitter() override { Shared().emitters.Close(id_); }

  HRESULT Init() override;
  void Uninit() override;
  void Update() override;
  void Draw() override {}
  // Places every particle, drawing new random positions on every call.
  void SetPos(D3DXVECTOR3 pos) override;
  // The first billboard particle's position; without one, where the emitter was last put.
  D3DXVECTOR3 GetPos() override;

  const std::vector<CParticle*>& GetParticles() const { return particles_; }
  const std::vector<CMeshParticle*>& GetMeshParticles() const { return meshParticles_; }
  const std::vector<EmissionParams>& GetEmissionDefinitions() const { return emissionDefs_; }
  // Every collision grid made so far, in order; the last is the one new particles get.
  const std::vector<std::unique_ptr<PhysicsGrid>>& GetGrids() const { return grids_; }
  int GetFrameCounter() const { return frameCounter_; }
  bool IsSoundPending() const { return soundPending_; }
  // What its particles (and the pointer) hold to reach it; it names nobody once it ended.
  EmitterSlots::Id GetId() const { return id_; }
  // The sound track played, empty while none has.
  const std::string& GetPlayedSound() const { return playedSound_; }
  // How to play this emission again (for an emitter made by Emit or Replay).
  const EmissionRecord& GetRecord() const { return record_; }
  // The stream its particles draw their random values from.
  RangeRandom& Random() { return *random_; }

 private:
  friend class EmitterLink;  // takes off the list a particle that ends while listed

  CParticleEmitter() { SetType(kType); }
  static CParticleEmitter* Create(const std::string& tag, std::uint32_t rangeSeed);
  void Place(D3DXVECTOR3 pos, PlacementRandom& placement);
  // Marks dead and stops listing every particle whose life ran out.
  void DropExpired();
  void Unlist(CParticle* particle) { std::erase(particles_, particle); }
  void Unlist(CMeshParticle* particle) { std::erase(meshParticles_, particle); }
  void SpawnBillboards(const EmissionParams& emission);
  void SpawnMeshes(const EmissionParams& emission);
  // True, after saying why once, when a definition asks for more than kMaxQuantity.
  bool Refuses(const EmissionParams& emission) const;
  // The velocity of particle i of a definition by its behaviour.
  D3DXVECTOR3 Direction(const EmissionParams& emission, const D3DXVECTOR3& velocity, float attenuation,
                        float distortionMax, float distortionMin, int i);

  std::string tag_;
  std::vector<CParticle*> particles_;
  std::vector<BillboardParams> billboardDefs_;
  std::vector<CMeshParticle*> meshParticles_;
  std::vector<MeshParams> meshDefs_;
  std::vector<EmissionParams> emissionDefs_;
  D3DXVECTOR3 spawnVelocity_;
  // A later physics definition replaces the grid new particles get, but the earlier ones
  // stay in use by the particles filed in them: all of them go when the emitter ends.
  std::vector<std::unique_ptr<PhysicsGrid>> grids_;
  PhysicsGrid* grid_ = nullptr;
  std::size_t billboardCursor_ = 0;
  std::size_t meshCursor_ = 0;
  int frameCounter_ = 0;
  EmitterSlots::Id id_;
  bool soundPending_ = true;
  std::string playedSound_;
  D3DXVECTOR3 lastPos_;
  // Apart, on the heap: the generator's state is kilobytes, more than a pool slot holds.
  std::unique_ptr<RangeRandom> random_;
  EmissionRecord record_;
};
