#include "app/scene_census.h"

#include "particle/mesh_particle.h"
#include "particle/particle.h"
#include "particle/particle_emitter.h"
#include "particle/trail.h"
#include "scene/object.h"
#include "ui/frame_figures.h"

void CountSceneObjects(FrameFigures& figures) {
  int billboards = 0, meshes = 0, trails = 0, emitters = 0, objects = 0;
  for (int priority = 0; priority < CObject::OBJECT_PRIORITY_MAX; ++priority) {
    for (const CObject* object = CObject::Head(priority); object; object = object->Next()) {
      if (object->IsDeath()) continue;
      ++objects;
      switch (object->GetType()) {
        case CParticle::kType: ++billboards; break;
        case CMeshParticle::kType: ++meshes; break;
        case CTrail::kType: ++trails; break;
        case CParticleEmitter::kType: ++emitters; break;
        default: break;
      }
    }
  }
  figures.billboardParticles = billboards;
  figures.meshParticles = meshes;
  figures.trails = trails;
  figures.emitters = emitters;
  figures.objects = objects;
}
