#pragma once
// What the scene's objects show, as bytes, so that two scenes compare exactly: object by
// object in the registry's order, its kind, position, size and colour, and every trail's
// vertices; or the same of one emission's particles alone.

#include <gtest/gtest.h>

#include <string>

#include "particle/mesh_particle.h"
#include "particle/particle.h"
#include "particle/particle_emitter.h"
#include "particle/trail.h"
#include "scene/billboard.h"
#include "scene/object.h"

namespace snapshot_detail {

template <typename T>
void Add(std::string& bytes, const T& value) {
  bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

inline void AddObject(std::string& bytes, CObject& object) {
  Add(bytes, object.GetType());
  Add(bytes, object.GetPos());
  if (auto* billboard = dynamic_cast<CBillboard*>(&object)) {
    Add(bytes, billboard->GetColor());
    Add(bytes, billboard->GetSize());
  } else if (auto* mesh = dynamic_cast<CMeshParticle*>(&object)) {
    Add(bytes, mesh->GetParams().Color);
    Add(bytes, mesh->GetWorld());
  } else if (auto* trail = dynamic_cast<CTrail*>(&object)) {
    Add(bytes, trail->GetCount());
    const auto vertices = trail->GetVertexBuffer()->Bytes();
    bytes.append(reinterpret_cast<const char*>(vertices.data()), vertices.size());
  }
}

}  // namespace snapshot_detail

inline std::string SceneSnapshot() {
  std::string bytes;
  for (int priority = 0; priority < CObject::OBJECT_PRIORITY_MAX; ++priority)
    for (CObject* object = CObject::Head(priority); object; object = object->Next())
      if (!object->IsDeath()) snapshot_detail::AddObject(bytes, *object);
  return bytes;
}

inline std::string EmissionSnapshot(const CParticleEmitter& emitter) {
  std::string bytes;
  for (CParticle* particle : emitter.GetParticles()) {
    snapshot_detail::AddObject(bytes, *particle);
    if (CTrail* trail = particle->GetTrail()) snapshot_detail::AddObject(bytes, *trail);
  }
  for (CMeshParticle* particle : emitter.GetMeshParticles()) snapshot_detail::AddObject(bytes, *particle);
  return bytes;
}

// Equal snapshots, or where the first difference lies (the bytes themselves say little).
inline testing::AssertionResult SameSnapshot(const std::string& a, const std::string& b) {
  if (a == b) return testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  return testing::AssertionFailure() << "snapshots of " << a.size() << " and " << b.size()
                                     << " bytes differ from byte " << at;
}
