#pragma once
// The state that scene objects share across frames, in one home: the registry's lists, the
// spawn placement generator, the pointer's emission counter and the camera's turn inertia.
// One instance serves the process; the manager resets it at start, so every run begins
// with the same placement sequence and an empty history.

#include <cstdint>
#include <vector>

#include "platform/gfx/d3dx_math.h"

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

// The registry's intrusive lists, one per priority level.
struct ObjectLists {
  static constexpr int kLevels = 5;
  CObject* top[kLevels] = {};
  CObject* cur[kLevels] = {};
  std::vector<CObject*> walked;             // the objects of the level being updated, in list order
  std::uint64_t constructed[kLevels] = {};  // objects ever made per level, to find those made during a purge
};

struct SharedState {
  ObjectLists objects;
  PlacementRandom placement;
  int emissionCounter = 0;  // frames the pointer has counted towards its next emission
  D3DXVECTOR3 cameraDrag;   // the drag velocity that keeps the camera turning after a release

  // Back to the start of a run. The objects stay: the registry releases them at exit.
  void ResetForStart() {
    placement.Seed(0);
    emissionCounter = 0;
    cameraDrag = {};
  }
};

SharedState& Shared();
