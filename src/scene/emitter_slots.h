#pragma once
// The emitters now playing, each in a slot of one table. What refers to an emitter across
// frames (its particles, the pointer) holds a slot and that slot's generation: once the
// emitter ends the id names nobody, and it never names the next emitter the slot takes, so
// nothing reaches an emitter that is gone, nor one that is not its own.
// A slot also counts the lives that ran out among the emitter's particles, and the emitter's
// sweeps for them: the emitter looks for the dead only after a life ran out, and a particle
// tells from the count whether the sweep that drops it has come.

#include <cstddef>
#include <cstdint>

#include "scene/slot_table.h"

class CParticleEmitter;

class EmitterSlots {
 public:
  using Id = SlotId;

  Id Open(CParticleEmitter* emitter);
  // The id stops resolving and the slot is free for another emitter; an id naming nobody is
  // ignored, so an emitter may close its slot more than once.
  void Close(Id id);
  CParticleEmitter* Resolve(Id id) const;

  // A particle's life ran out: counted for the emitter's next sweep, whose number is returned.
  std::uint32_t NoteExpired(Id id);
  // Starts a sweep if a life ran out since the last one; the count starts over.
  bool BeginSweep(Id id);
  // Whether the sweep of this number has begun (false for an id naming nobody).
  bool HasSwept(Id id, std::uint32_t sweep) const;

  std::size_t OpenCount() const { return slots_.Size(); }

 private:
  struct Slot {
    CParticleEmitter* emitter = nullptr;
    std::uint32_t expired = 0;  // lives run out since the last sweep
    std::uint32_t sweeps = 0;   // sweeps begun
  };

  SlotTable<Slot> slots_;
};
