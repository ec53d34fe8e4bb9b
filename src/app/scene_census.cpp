#include "app/scene_census.h"

#include "particle/mesh_particle.h"
#include "particle/particle.h"
#include "particle/particle_emitter.h"
#include "particle/trail.h"
#include "scene/object.h"
#include "ui/frame_figures.h"

void CountSceneObjects(FrameFigures& figures) {
  static_assert(CParticleEmitter::kType < ObjectLists::kCountedTypes - 1,
                "each kind needs a slot of its own");
  figures.billboardParticles = static_cast<int>(CObject::CountOfType(CParticle::kType));
  figures.meshParticles = static_cast<int>(CObject::CountOfType(CMeshParticle::kType));
  figures.trails = static_cast<int>(CObject::CountOfType(CTrail::kType));
  figures.emitters = static_cast<int>(CObject::CountOfType(CParticleEmitter::kType));
  figures.objects = static_cast<int>(CObject::CountAll());
}
