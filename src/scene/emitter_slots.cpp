#include "scene/emitter_slots.h"

EmitterSlots::Id EmitterSlots::Open(CParticleEmitter* emitter) { return slots_.Insert({emitter}); }

void EmitterSlots::Close(Id id) { slots_.Erase(id); }

CParticleEmitter* EmitterSlots::Resolve(Id id) const {
  const Slot* slot = slots_.Find(id);
  return slot ? slot->emitter : nullptr;
}

std::uint32_t EmitterSlots::NoteExpired(Id id) {
  Slot* slot = slots_.Find(id);
  if (!slot) return 0;
  ++slot->expired;
  return slot->sweeps;
}

bool EmitterSlots::BeginSweep(Id id) {
  Slot* slot = slots_.Find(id);
  if (!slot || slot->expired == 0) return false;
  slot->expired = 0;
  ++slot->sweeps;
  return true;
}

bool EmitterSlots::HasSwept(Id id, std::uint32_t sweep) const {
  const Slot* slot = slots_.Find(id);
  // Sweeps only count up, and the particle is dropped by the first after its note: any
  // other number than the noted one means that sweep has begun.
  return slot && slot->sweeps != sweep;
}
