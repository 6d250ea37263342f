// Three-dimensional gradient noise on 32-bit floats: Perlin's improved noise
// (quintic fade, 12 edge gradients picked by a 4-bit hash) with the lattice
// hash nested z first. Pure and stateless; every step runs in single
// precision so that the pictures built on it come out bit-identical.
#pragma once

#include <cstdint>

// Perlin's published permutation of 0..255 (entries 0..255), repeated in
// entries 256..511 so that the sum of two 8-bit indices needs no wrap.
extern const uint8_t NoisePermutation[512];

// Noise at (x, y, z); roughly -0.94..0.94, not clamped, 0 (a signed zero) at
// every whole-number point. The lattice repeats every 256 units along each
// axis. Meant for |x|, |y|, |z| well inside the int32 range (callers pass
// small multiples of screen positions and of the time in seconds).
float Noise3(float x, float y, float z);
