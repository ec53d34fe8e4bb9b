#pragma once
// The state that scene objects share across frames, in one home: the registry's lists, the
// table of playing emitters their particles reach them through, the spawn placement
// generator and the generator of the definitions' random ranges, the pointer's emission counter, the camera's
// turn inertia and the texture offset of the scrolling mesh particles. One instance serves the process; the
// manager resets it at start, so every run begins with the same placement sequence and an empty history.

#include <cmath>
#include <cstdint>
#include <vector>

#include "effect/random_range.h"
#include "platform/gfx/d3dx_math.h"
#include "scene/emitter_slots.h"

class CObject;

// The C library generator of the 0..32767 range (state x 214013 + 2531011, bits 16..30).
// Spawn placement is written for this range and this sequence: the platform's rand() ends
// elsewhere (glibc's at 2147483647) and draws another sequence.
class PlacementRandom {
 public:
  static constexpr int kMax = 32767;

  void Seed(std::uint32_t seed) { state_ = seed; }
  int Next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7fffu);
  }

 private:
  std::uint32_t state_ = 0;
};

// The texture offset of mesh particles drawn through the UV animation effect: one (u, v) for
// the whole program, to which every such draw adds its particle's movement, so the texture
// of all of them scrolls together, faster the more of them there are.
class UVScroll {
 public:
  // At this magnitude a component sheds its whole texture repeats, so it stays under 2,
  // where a float's step is at most 2^-23: left to grow through a long session, each addition
  // would round the movement by more and more, until the texture crawls, jumps or stops
  // (past 16 the drift over 200,000 draws is already a twentieth of a repeat). Sampling
  // wraps, so dropping whole repeats shows the same picture; the start (0, 1) stays as is.
  static constexpr float kRepeatLimit = 2.0f;

  float U() const { return u_; }
  float V() const { return v_; }
  void Reset() {
    u_ = 0.0f;
    v_ = 1.0f;
  }
  void Advance(float du, float dv) {
    u_ = Fold(u_ + du, 0.0f);
    v_ = Fold(v_ + dv, 1.0f);
  }

 private:
  // A component at or past the limit keeps only its fraction, which a float holds exactly;
  // a non-finite one (an overflowing document value) would stick for the session, so that
  // component starts over.
  static float Fold(float x, float start) {
    if (!std::isfinite(x)) return start;
    return std::fabs(x) >= kRepeatLimit ? x - std::trunc(x) : x;
  }

  float u_ = 0.0f;
  float v_ = 1.0f;
};

// The registry's intrusive lists, one per priority level.
struct ObjectLists {
  static constexpr int kLevels = 5;
  CObject* top[kLevels] = {};
  CObject* cur[kLevels] = {};
  std::vector<CObject*> walked;             // the objects of the level being updated, in list order
  std::vector<CObject*> additiveRun;        // additive objects met in a row while drawing
  std::uint64_t constructed[kLevels] = {};  // objects ever made per level, to find those made during a purge
  // Objects linked now, by type, so that counting them never walks the lists; the types from
  // the last slot on share it.
  static constexpr int kCountedTypes = 16;
  std::int64_t linkedByType[kCountedTypes] = {};
  static constexpr int TypeSlot(int type) {
    return type < 0 ? 0 : type < kCountedTypes ? type : kCountedTypes - 1;
  }
  // Dead objects not yet purged, per level: a walk of a level without any skips its purge.
  std::uint64_t dying[kLevels] = {};
};

struct SharedState {
  ObjectLists objects;
  EmitterSlots emitters;  // like the objects, kept across a reset: every emitter closes its own slot
  PlacementRandom placement;
  RangeRandom range;  // the definitions' random ranges
  int emissionCounter = 0;  // frames the pointer has counted towards its next emission
  D3DXVECTOR3 cameraDrag;   // the drag velocity that keeps the camera turning after a release
  UVScroll meshUV;          // the texture offset of the scrolling mesh particles
  // Set while a seek plays an emission again without drawing: the pointer holds still and
  // emits nothing, and no sound plays.
  bool replaying = false;

  // Back to the start of a run: the placement sequence from 0 and the ranges unseeded (runs
  // differ) unless a seed is given. The objects stay: the registry releases them at exit.
  void ResetForStart() {
    placement.Seed(0);
    range.SeedFromSystem();
    emissionCounter = 0;
    cameraDrag = {};
    meshUV.Reset();
  }
  // Both random sources from the seed: the same seed plays the same run, frame for frame.
  void SeedRandom(std::uint32_t seed) {
    placement.Seed(seed);
    range.Seed(seed);
  }
};

// The state scene objects share now: the process's own, or the one a scope put in its place.
SharedState& Shared();

// While it lives, Shared() is the given state: objects made meanwhile live in its registry, draw
// from its random sources and play beside the process's scene without touching it (a render
// from the editor while the scene plays). They must all be released before the scope ends.
class SharedStateScope {
 public:
  explicit SharedStateScope(SharedState& state);
  ~SharedStateScope();
  SharedStateScope(const SharedStateScope&) = delete;
  SharedStateScope& operator=(const SharedStateScope&) = delete;

 private:
  SharedState* previous_;
};
