#include "particle/particle_motion.h"

#include <cmath>


ParticleMotion::ParticleMotion(const CommonParams& params)
    : life_(params.PopTime),
      delayStartTime_(params.DelayStartTime),
      fallDelay_(params.FallDelay),
      weight_(params.Weight),
      destColor_(params.DestColor),
      fadesRgb_(destColor_.r >= 0.0f && destColor_.g >= 0.0f && destColor_.b >= 0.0f),
      fadesAlpha_(destColor_.a >= 0.0f),
      swirls_(params.RotateActive) {
  const float slowness = static_cast<float>(params.PopTime) * params.ColorAttenuation;
  slows_ = slowness > 0.0f;  // not for zero, negative or not a number
  if (slows_) inverseSlowness_ = 1.0 / static_cast<double>(slowness);
}

ParticleMotion::Swirl ParticleMotion::TurnSwirl(CommonParams& params, RangeRandom& random) {
  // Trigonometry in double precision on the single-precision angle, rounded back to single.
  const float angle = params.RotateAngle;
  const float radius = params.RotateRadius * angle;
  const double radians = angle * kDegreeToRadian;
  const Swirl push{static_cast<float>(std::sin(radians)) * radius,
                   static_cast<float>(std::cos(radians)) * radius};
  params.RotateAngle += random.Range(params.RandomRotateMax, params.RandomRotateMin);
  return push;
}
