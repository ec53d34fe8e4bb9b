#include "scene/emitter_slots.h"

#include <utility>

EmitterSlots::Id EmitterSlots::Open(CParticleEmitter* emitter) {
  std::uint32_t index = 0;
  if (freeSlots_.empty()) {
    index = static_cast<std::uint32_t>(slots_.size());
    slots_.emplace_back();
  } else {
    index = freeSlots_.back();
    freeSlots_.pop_back();
  }
  Slot& slot = slots_[index];
  slot.emitter = emitter;
  return {index, slot.generation};
}

const EmitterSlots::Slot* EmitterSlots::Find(Id id) const {
  if (id.slot >= slots_.size()) return nullptr;
  const Slot& slot = slots_[id.slot];
  return slot.emitter && slot.generation == id.generation ? &slot : nullptr;
}

EmitterSlots::Slot* EmitterSlots::Find(Id id) {
  return const_cast<Slot*>(std::as_const(*this).Find(id));
}

void EmitterSlots::Close(Id id) {
  Slot* slot = Find(id);
  if (!slot) return;
  *slot = {nullptr, slot->generation + 1, 0, 0};
  freeSlots_.push_back(id.slot);
}

CParticleEmitter* EmitterSlots::Resolve(Id id) const {
  const Slot* slot = Find(id);
  return slot ? slot->emitter : nullptr;
}

std::uint32_t EmitterSlots::NoteExpired(Id id) {
  Slot* slot = Find(id);
  if (!slot) return 0;
  ++slot->expired;
  return slot->sweeps;
}

bool EmitterSlots::BeginSweep(Id id) {
  Slot* slot = Find(id);
  if (!slot || slot->expired == 0) return false;
  slot->expired = 0;
  ++slot->sweeps;
  return true;
}

bool EmitterSlots::HasSwept(Id id, std::uint32_t sweep) const {
  const Slot* slot = Find(id);
  // Sweeps only count up, and the particle is dropped by the first after its note: any
  // other number than the noted one means that sweep has begun.
  return slot && slot->sweeps != sweep;
}
