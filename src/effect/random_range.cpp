#include "effect/random_range.h"

#include <random>

float RandomRange(float a, float b) {
  // One generator per thread, seeded once from the system's nondeterministic source: results
  // still differ from run to run, without reseeding (about 8 us) at every draw.
  thread_local std::mt19937 generator{std::random_device{}()};
  std::uniform_int_distribution<int> draw(0, 32767);
  const int k = draw(generator);
  constexpr float kStep = 1.0f / 32767.0f;
  return b + (a - b) * static_cast<float>(k) * kStep;
}
