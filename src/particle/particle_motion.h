#pragma once
// The frame rules billboard and mesh particles follow alike, from the values they share
// (CommonParams): the start delay, the swirl, the fall after FallDelay, the colour's way to
// DestColor and the countdown of the life. Each kind calls them in its frame among rules of
// its own (a billboard sets its velocity from the swirl, a mesh adds the swirl to it), so
// this keeps the rules and the frame counters, not the order of a frame.

#include <cstring>

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
    if (!fadesRgb_ && !fadesAlpha_) return;
    float next[4];
    if (slows_) {
      // The share as a product with the reciprocal in double precision, which rounds to the
      // single-precision quotient to the bit: a quotient of floats lies further than 2^-49 of
      // its size from any float rounding boundary, the product within 2^-52 of the quotient.
      // Four channels in one go, and multiplies where a division each took far longer.
      const float* now = &color.r;
      const float* dest = &destColor_.r;
      for (int i = 0; i < 4; ++i)
        next[i] = now[i] + static_cast<float>(static_cast<double>(dest[i] - now[i]) * inverseSlowness_);
    } else {
      std::memcpy(next, &destColor_.r, sizeof next);
    }
    if (fadesRgb_ && fadesAlpha_) {
      std::memcpy(&color.r, next, sizeof next);  // the usual case, in one piece
      return;
    }
    if (fadesRgb_) color.r = next[0], color.g = next[1], color.b = next[2];
    if (fadesAlpha_) color.a = next[3];
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
  int age_ = 0;
  int activeFrames_ = 0;
  int life_ = 0;
  int delayStartTime_ = 0;
  int fallDelay_ = 0;
  float weight_ = 0.0f;
  double inverseSlowness_ = 0.0;  // 1 / (PopTime x ColorAttenuation)
  D3DXCOLOR destColor_;
  bool slows_ = false;  // PopTime x ColorAttenuation is above zero
  bool fadesRgb_ = false;
  bool fadesAlpha_ = false;
  bool swirls_ = false;
};
