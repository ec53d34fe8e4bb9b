#include "particle/particle_motion.h"

#include <cmath>


ParticleMotion::ParticleMotion(const CommonParams& params)
    : life_(params.PopTime),
      delayStartTime_(params.DelayStartTime),
      fallDelay_(params.FallDelay),
      weight_(params.Weight),
      slowness_(static_cast<float>(params.PopTime) * params.ColorAttenuation),
      destColor_(params.DestColor),
      swirls_(params.RotateActive) {}

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
