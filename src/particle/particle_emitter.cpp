#include "particle/particle_emitter.h"

#include <cmath>

#include "app/manager.h"
#include "effect/random_range.h"
#include "particle/mesh_particle.h"
#include "particle/particle.h"
#include "platform/message_sink.h"
#include "scene/shared_state.h"

namespace {

// Trigonometry in double precision on single-precision inputs, rounded back to single.
float Sin(float x) { return static_cast<float>(std::sin(static_cast<double>(x))); }
float Cos(float x) { return static_cast<float>(std::cos(static_cast<double>(x))); }
float Acos(float x) { return static_cast<float>(std::acos(static_cast<double>(x))); }
float Sqrt(float x) { return static_cast<float>(std::sqrt(static_cast<double>(x))); }

// The Random_Circle candidate: both draws are made whether used or not, so the sequence
// does not depend on which particles use it.
D3DXVECTOR3 CircleCandidate(PlacementRandom& random, float createRange, float altitude) {
  constexpr float kMax = static_cast<float>(PlacementRandom::kMax);
  const float a = static_cast<float>(random.Next()) / kMax * 2.0f * D3DX_PI;
  const float r = Sqrt(static_cast<float>(random.Next()) / kMax) * (createRange * 360.0f);
  return {Cos(a) * r, altitude, Sin(a) * r};
}

}  // namespace

CParticleEmitter* CParticleEmitter::Create(const std::string& tag) {
  return Create(tag, Shared().range.NextSeed());
}

CParticleEmitter* CParticleEmitter::Emit(const std::string& tag, D3DXVECTOR3 pos) {
  const PlacementRandom placement = Shared().placement;
  CParticleEmitter* emitter = Create(tag);
  emitter->record_ = {tag, pos, placement, emitter->record_.rangeSeed};
  emitter->SetPos(pos);
  return emitter;
}

CParticleEmitter* CParticleEmitter::Replay(const EmissionRecord& record) {
  CParticleEmitter* emitter = Create(record.tag, record.rangeSeed);
  emitter->record_ = record;
  PlacementRandom placement = record.placement;
  emitter->Place(record.position, placement);
  return emitter;
}

CParticleEmitter* CParticleEmitter::Create(const std::string& tag, std::uint32_t rangeSeed) {
  auto* emitter = new CParticleEmitter();
  emitter->tag_ = tag;
  emitter->random_ = std::make_unique<RangeRandom>(rangeSeed);
  emitter->record_.tag = tag;
  emitter->record_.rangeSeed = rangeSeed;
  emitter->id_ = Shared().emitters.Open(emitter);
  std::vector<ParticleParams> definitions;
  if (EffectTable* table = CManager::GetInstance()->GetEffectTable()) definitions = (*table)[tag];
  for (const ParticleParams& definition : definitions) {
    emitter->emissionDefs_.push_back(definition.Emission);
    if (definition.Emission.ParticleType == Object_Billboard) {
      emitter->billboardDefs_.push_back(definition.Billboard);
    } else if (definition.Emission.ParticleType == Object_Mesh) {
      emitter->meshDefs_.push_back(definition.Mesh);
    }
  }
  emitter->Init();
  return emitter;
}

HRESULT CParticleEmitter::Init() {
  for (const EmissionParams& emission : emissionDefs_) {
    if (emission.ParticleType == Object_Billboard) {
      SpawnBillboards(emission);
    } else if (emission.ParticleType == Object_Mesh) {
      SpawnMeshes(emission);
    }
    // Made after the definition's own particles: the first definition that asks for physics
    // has none, and its particles never collide.
    if (emission.UsePhysics) {
      grids_.push_back(std::make_unique<PhysicsGrid>());
      grid_ = grids_.back().get();
    }
  }
  return S_OK;
}

D3DXVECTOR3 CParticleEmitter::Direction(const EmissionParams& emission, const D3DXVECTOR3& velocity,
                                        float attenuation, float distortionMax, float distortionMin, int i) {
  const float radius = emission.Radius;
  const float count = static_cast<float>(emission.Quantity);
  switch (emission.Behavior) {
    case Behavior_None:
    case Behavior_Rotate:
      return velocity;
    case Behavior_Circle: {
      const float theta = radius / count * kDegreeToRadian * static_cast<float>(i);
      return {-Sin(theta) * attenuation, velocity.y * attenuation, -Cos(theta) * attenuation};
    }
    case Behavior_Sphere: {
      const float phi = Acos(1.0f - 2.0f * (static_cast<float>(i) + 0.5f) / count);
      const float rho = radius * Sin(phi);
      const float distortion = random_->Range(distortionMax, distortionMin);
      const float theta = distortion * (static_cast<float>(i) * (2.0f * D3DX_PI)) / (Sqrt(5.0f) + 1.0f);
      return {rho * Cos(theta) * attenuation, radius * Cos(phi) * attenuation,
              rho * Sin(theta) * attenuation};
    }
    default:
      return spawnVelocity_;  // an unknown behaviour repeats the last direction given
  }
}

bool CParticleEmitter::Refuses(const EmissionParams& emission) const {
  if (emission.Quantity <= kMaxQuantity) return false;
  const auto index = &emission - emissionDefs_.data();
  platform::ReportNotice("effect \"" + tag_ + "\", definition " + std::to_string(index) + ": Quantity " +
                         std::to_string(emission.Quantity) + " is above the " + std::to_string(kMaxQuantity) +
                         " particles a definition may spawn; it spawns none");
  return true;
}

void CParticleEmitter::SpawnBillboards(const EmissionParams& emission) {
  if (billboardCursor_ >= billboardDefs_.size()) return;
  if (Refuses(emission)) {
    ++billboardCursor_;
    return;
  }
  BillboardParams& b = billboardDefs_[billboardCursor_];
  // Read once: writing each particle's direction into b must not feed the next one.
  const D3DXVECTOR3 velocity = b.Velocity;
  const float attenuation = b.VelocityAttenuation;
  for (int i = 0; i < emission.Quantity; ++i) {
    spawnVelocity_ = Direction(emission, velocity, attenuation, b.DistortionMax, b.DistortionMin, i);
    if (emission.Behavior == Behavior_Rotate) b.RotateActive = true;
    b.Velocity = spawnVelocity_;
    b.Physics = emission.Physics;
    b.UsePhysics = emission.UsePhysics;
    particles_.push_back(CParticle::Create(b, emission.TextureTag, grid_, this));
  }
  ++billboardCursor_;
}

void CParticleEmitter::SpawnMeshes(const EmissionParams& emission) {
  if (meshCursor_ >= meshDefs_.size()) return;
  if (Refuses(emission)) {
    ++meshCursor_;
    return;
  }
  MeshParams& m = meshDefs_[meshCursor_];
  // Read once, as for billboards. A sphere of meshes is never distorted.
  const D3DXVECTOR3 velocity = m.Velocity;
  const float attenuation = m.VelocityAttenuation;
  for (int i = 0; i < emission.Quantity; ++i) {
    spawnVelocity_ = Direction(emission, velocity, attenuation, 1.0f, 1.0f, i);
    if (emission.Behavior == Behavior_Rotate) m.RotateActive = true;
    m.Velocity = spawnVelocity_;
    m.TextureTag = emission.TextureTag;
    m.MaskTextureTag = emission.MaskTextureTag;
    m.ModelTag = emission.ModelTag;
    m.UseShader = emission.UseShader;
    meshParticles_.push_back(CMeshParticle::Create(m, this));
  }
  ++meshCursor_;
}

void CParticleEmitter::SetPos(D3DXVECTOR3 pos) { Place(pos, Shared().placement); }

void CParticleEmitter::Place(D3DXVECTOR3 pos, PlacementRandom& placement) {
  lastPos_ = pos;
  for (CParticle* particle : particles_) {
    const BillboardParams& b = particle->GetParams();
    const D3DXVECTOR3 p = pos + b.PosOffset;
    D3DXVECTOR3 c = CircleCandidate(placement, b.CreateRange, b.Altitude);
    if (b.RandomCreate == Default) {
      particle->SetPos(p);
      continue;
    }
    if (b.RandomCreate != Random_Circle) continue;
    switch (b.LockPosition) {
      case Lock_None: break;
      case Lock_X: c.x = p.x; break;
      case Lock_Y: c.y = p.y; break;
      case Lock_Z: c.z = p.z; break;
      case Lock_XY: c.x = p.x, c.y = p.y; break;
      case Lock_XZ: c.x = p.x, c.z = p.z; break;
      case Lock_YZ: c.y = p.y, c.z = p.z; break;
      default: continue;  // an unknown lock leaves the particle where it is
    }
    particle->SetPos(c);
  }
  // Meshes after billboards; both draws of the circle are made for every one of them.
  for (CMeshParticle* particle : meshParticles_) {
    const MeshParams& m = particle->GetParams();
    const D3DXVECTOR3 p = pos + m.PosOffset;
    const D3DXVECTOR3 c = CircleCandidate(placement, m.CreateRange, m.Altitude);
    particle->SetPos(m.CreateRandomPos ? c : p);
  }
}

D3DXVECTOR3 CParticleEmitter::GetPos() {
  return particles_.empty() ? lastPos_ : particles_.front()->GetPos();
}

void CParticleEmitter::DropExpired() {
  // Out of its grid at once: the particles updated after the emitter in this frame no longer
  // meet it, though the registry deletes it only at the end of the frame's walk.
  std::erase_if(particles_, [](CParticle* particle) {
    if (particle->GetLife() > 0) return false;
    if (PhysicsGrid* grid = particle->GetGrid()) grid->Remove(particle->GetGridId());
    particle->SetDeath();
    return true;
  });
  std::erase_if(meshParticles_, [](CMeshParticle* particle) {
    if (particle->GetLife() > 0) return false;
    particle->SetDeath();
    return true;
  });
}

void CParticleEmitter::Update() {
  // Without a life run out since the last look the lists stay as they are, rather than
  // every particle being read each frame.
  if (Shared().emitters.BeginSweep(id_)) DropExpired();
  if (particles_.empty() && meshParticles_.empty()) Uninit();

  ++frameCounter_;
  if (emissionDefs_.empty()) return;  // an effect without definitions has no tracks
  for (const SoundTrack& track : emissionDefs_.front().SoundTracks) {
    if (track.Start > frameCounter_ || !soundPending_) continue;
    // A seek passes the track's start silently; it is not played late.
    if (!Shared().replaying) CManager::GetInstance()->PlaySound(track.TrackSound);
    playedSound_ = track.TrackSound;
    soundPending_ = false;
  }
}

void CParticleEmitter::Uninit() {
  for (CParticle* particle : particles_) particle->SetDeath();
  for (CMeshParticle* particle : meshParticles_) particle->SetDeath();
  particles_.clear();
  meshParticles_.clear();
  billboardDefs_.clear();
  meshDefs_.clear();
  // The particles reach the emitter and its grids through its id alone: once the slot is
  // closed, the ones the registry still updates and purges in this sweep reach neither.
  Shared().emitters.Close(id_);
  grid_ = nullptr;
  grids_.clear();
  SetDeath();
}
