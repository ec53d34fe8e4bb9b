#pragma once
// The random values a definition's ranges give its particles (velocities, weights, spins,
// colours, distortion), from a generator that can be seeded, so that a run can be repeated.

#include <cstdint>
#include <random>

class RangeRandom {
 public:
  // Seeded from the system's nondeterministic source: runs differ unless seeded.
  RangeRandom() : generator_(std::random_device{}()) {}
  explicit RangeRandom(std::uint32_t seed) : generator_(seed) {}
  void Seed(std::uint32_t seed) { generator_.seed(seed); }
  void SeedFromSystem() { generator_.seed(std::random_device{}()); }
  // A seed for a stream of its own (an emission's), drawn from this one.
  std::uint32_t NextSeed() { return static_cast<std::uint32_t>(generator_()); }

  // A value between a and b (upper bound usually first): b + (a - b) x k / 32767 for k drawn
  // uniformly from 0..32767, in single precision. Equals b when a == b.
  float Range(float a, float b);

 private:
  std::mt19937 generator_;
};
