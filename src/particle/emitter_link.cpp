#include "particle/emitter_link.h"

#include "particle/particle_emitter.h"
#include "scene/shared_state.h"

CParticleEmitter* EmitterLink::Emitter() const {
  return Shared().emitters.Resolve(id_);
}

RangeRandom& EmitterLink::Random() const {
  CParticleEmitter* emitter = Emitter();
  return emitter ? emitter->Random() : Shared().range;
}

void EmitterLink::Expire() {
  dropSweep_ = Shared().emitters.NoteExpired(id_);
}

CParticleEmitter* EmitterLink::Lister() const {
  const EmitterSlots& emitters = Shared().emitters;
  if (dropSweep_ != kNotExpired && emitters.HasSwept(id_, dropSweep_)) return nullptr;
  return emitters.Resolve(id_);
}

void EmitterLink::Leave(CParticle* particle) {
  if (CParticleEmitter* emitter = Lister()) emitter->Unlist(particle);
  *this = {};
}

void EmitterLink::Leave(CMeshParticle* particle) {
  if (CParticleEmitter* emitter = Lister()) emitter->Unlist(particle);
  *this = {};
}
