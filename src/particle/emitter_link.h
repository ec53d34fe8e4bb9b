#pragma once
// A particle's link to the emitter that made it: the emitter's id in the table of playing
// emitters, checked on every use. Through it the particle reports that its life ran out,
// and takes itself off its emitter's list if it ends while still listed. Once the emitter
// has ended the link resolves to nothing: the particle reads that from the link instead of
// being told, and the emitter never clears anything in its particles.

#include <cstdint>

#include "scene/emitter_slots.h"

class CMeshParticle;
class CParticle;
class CParticleEmitter;
class RangeRandom;

class EmitterLink {
 public:
  EmitterLink() = default;
  explicit EmitterLink(EmitterSlots::Id id) : id_(id) {}

  // The emitter while it plays; null once it ended, after the particle left it, or for a
  // particle made without one.
  CParticleEmitter* Emitter() const;
  // Where the particle's random values come from: its emitter's own stream, so that an
  // emission plays the same whatever else plays beside it; the shared one without an emitter.
  RangeRandom& Random() const;
  // The particle's life ran out: the emitter drops it (marks it dead, off its list) at its
  // next sweep.
  void Expire();
  // The particle ends: an emitter that still lists it stops now, before the registry deletes
  // the particle. Safe to call again.
  void Leave(CParticle* particle);
  void Leave(CMeshParticle* particle);

 private:
  static constexpr std::uint32_t kNotExpired = ~0u;
  // The emitter while its list still holds the particle: not after the sweep that dropped it.
  CParticleEmitter* Lister() const;

  EmitterSlots::Id id_;
  std::uint32_t dropSweep_ = kNotExpired;  // the emitter's sweep that drops the particle
};
