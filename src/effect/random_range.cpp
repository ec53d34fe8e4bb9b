#include "effect/random_range.h"

float RangeRandom::Range(float a, float b) {
  std::uniform_int_distribution<int> draw(0, 32767);
  const int k = draw(generator_);
  constexpr float kStep = 1.0f / 32767.0f;
  return b + (a - b) * static_cast<float>(k) * kStep;
}
