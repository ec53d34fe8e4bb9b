#pragma once
// The frame rules billboard and mesh particles follow alike, from the values they share
// (CommonParams): the start delay, the swirl, the fall after FallDelay, the colour's way to
// DestColor and the countdown of the life. Each kind calls them in its frame among rules of
// its own (a billboard sets its velocity from the swirl, a mesh adds the swirl to it), so
// this keeps the rules and the frame counters, not the order of a frame.

#include "effect/particle_params.h"
#include "effect/random_range.h"
#include "platform/gfx/d3dx_math.h"

class ParticleMotion {
 public:
  // The swirl's push on the velocity in one frame, along x and z.
  struct Swirl {
    float x = 0.0f;
    float z = 0.0f;
  };

  ParticleMotion() = default;
  // Takes the values that stay fixed once a particle is made, random draws included.
  explicit ParticleMotion(const CommonParams& params);

  // Counts a frame: false while the start delay holds it (no motion, no drawing, life frozen).
  bool BeginFrame() { return ++age_ > delayStartTime_; }
  bool Waiting() const { return age_ <= delayStartTime_; }
  bool Swirls() const { return swirls_; }
  // The push of the swirl at the angle and radius now, the angle then turning on by a draw
  // between RandomRotateMin and RandomRotateMax. Reads and moves the particle's RotateAngle.
  static Swirl TurnSwirl(CommonParams& params, RangeRandom& random);
  // From FallDelay active frames on, the weight pulls the velocity down each frame.
  void Fall(D3DXVECTOR3& velocity) const {
    if (activeFrames_ >= fallDelay_) velocity.y -= weight_;
  }
  // Covers 1/(PopTime x ColorAttenuation) of the remaining way to DestColor. A negative
  // destination switches its group (red-green-blue, or alpha) off. With no slowness at all
  // (a zero or negative product) the colour is at its destination at once, rather than
  // divided by zero.
  void Fade(D3DXCOLOR& color) const {
    const D3DXCOLOR& dest = destColor_;
    if (dest.r >= 0.0f && dest.g >= 0.0f && dest.b >= 0.0f) {
      color.r = Approach(color.r, dest.r);
      color.g = Approach(color.g, dest.g);
      color.b = Approach(color.b, dest.b);
    }
    if (dest.a >= 0.0f) color.a = Approach(color.a, dest.a);
  }
  // Ends an active frame: true when the life ran out with it.
  bool EndFrame() {
    ++activeFrames_;
    return --life_ == 0;
  }

  int Age() const { return age_; }
  int ActiveFrames() const { return activeFrames_; }
  int Life() const { return life_; }

 private:
  float Approach(float current, float target) const {
    return slowness_ > 0.0f ? current + (target - current) / slowness_ : target;
  }

  int age_ = 0;
  int activeFrames_ = 0;
  int life_ = 0;
  int delayStartTime_ = 0;
  int fallDelay_ = 0;
  float weight_ = 0.0f;
  float slowness_ = 0.0f;  // PopTime x ColorAttenuation
  D3DXCOLOR destColor_;
  bool swirls_ = false;
};
