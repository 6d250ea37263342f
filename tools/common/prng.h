// The generators' fixed-seed pseudo-random numbers (SplitMix64): small, fast
// and the same sequence on every run and platform for a given seed, so that
// the show's images and music come out the same bytes every time.
#pragma once

#include <cstdint>

namespace tools {

struct Prng {
  uint64_t state;

  explicit Prng(uint64_t seed) : state(seed) {}

  uint64_t Next() {
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform integer in lo..hi (inclusive); hi >= lo, range well below 2^32.
  int Range(int lo, int hi) {
    const uint64_t span = static_cast<uint64_t>(hi - lo) + 1;
    return lo + static_cast<int>(Next() % span);
  }
  // Uniform in [0, 1) with 53 random bits.
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  // White noise in [-1, 1) with 24 random bits (exact in a float).
  float Bipolar() {
    return static_cast<float>(static_cast<int32_t>(Next() >> 40) - 8388608) * (1.0f / 8388608.0f);
  }
};

}  // namespace tools
