#pragma once
// A small fixed-seed pseudo-random generator (SplitMix64) so that the
// generated images are the same bytes on every run and every platform.

#include <cstdint>

namespace showdata {

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
  // Uniform double in [0, 1) with 53 random bits.
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
};

}  // namespace showdata
