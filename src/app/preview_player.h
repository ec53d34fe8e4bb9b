#pragma once
// Plays the scene as the editor's transport asks: runs the fixed steps a frame is due, scaled
// by the speed or held by a pause; restarts, emits, seeks and re-seeds; and keeps track of the
// last emission: its frame, the frame it ends, and what plays it again. A seek rebuilds the
// scene's emissions and replays the last one from its frame 0 without drawing the frames between.

#include <cstdint>
#include <vector>

#include "effect/particle_params.h"
#include "particle/particle_emitter.h"

struct PreviewControls;

class PreviewPlayer {
 public:
  // One frame: the requests first, then the steps (due at 1x, as the real-time loop counts
  // them), then what the controls show. While paused, an edit of the last emission's effect
  // plays it again to the frame on show. Returns the steps run (a seek's replay not counted).
  int Advance(int due, PreviewControls& controls);

  // Every emission gone, with its particles and trails.
  static void ClearEmissions();
  // Back to frame 0 of the last emission, then frame steps on (fewer if it ends before).
  void Seek(int frame);
  // The frame of the last emission on show, and the frame its last particle ends.
  int Frame() const { return frame_; }
  int Length() const { return length_; }
  bool HasEmission() const { return hasEmission_; }
  const EmissionRecord& LastEmission() const { return record_; }

  // The last frame at which a particle of these definitions is still alive.
  static int EmissionLength(const std::vector<ParticleParams>& definitions);

 private:
  void Restart();
  void EmitNow();
  void Step();
  // Follows the pointer's emissions and the last one's frame.
  void Follow();
  void ApplySeed(const PreviewControls& controls);
  // The definitions the last emission plays now, when they changed since it was shown.
  bool DefinitionsChanged();

  EmissionRecord record_;
  EmitterSlots::Id emitter_;
  std::uint64_t seenEmissions_ = 0;
  std::vector<ParticleParams> shown_;  // the definitions the frame on show was played with
  double stepCredit_ = 0.0;             // fractions of a step owed at speeds below 1x
  int frame_ = 0;
  int length_ = 0;
  bool hasEmission_ = false;
};
