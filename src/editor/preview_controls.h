#pragma once
// The preview's transport: how the scene plays (paused or not, speed, automatic emission, a
// fixed seed), what the user asked of it this frame, and what the scene reports back about
// the emission on show. The editor's Preview window fills the requests; the preview player
// acts on them once a frame and clears them.

#include <cstdint>
#include <optional>

struct PreviewControls {
  static constexpr float kMinSpeed = 0.1f;
  static constexpr float kMaxSpeed = 4.0f;

  // ---- how it plays
  bool Playing = true;
  bool Loop = true;  // the pointer emits every Emission Interval frames
  float Speed = 1.0f;
  bool Repeatable = false;  // both random sources start from Seed
  std::uint32_t Seed = 0;

  // ---- asked this frame
  int StepsAsked = 0;
  bool RestartAsked = false;
  bool EmitAsked = false;
  bool SeedChanged = false;  // Repeatable or Seed changed: the run starts over from the seed
  std::optional<int> SeekAsked;

  // ---- reported by the scene: the last emission, its frame and the frame it ends
  bool HasEmission = false;
  int Frame = 0;
  int Length = 0;

  bool Idle() const { return !Playing && StepsAsked == 0 && !RestartAsked && !EmitAsked && !SeedChanged &&
                             !SeekAsked; }
};
