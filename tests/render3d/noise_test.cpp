#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <set>

#include "engine/render3d/noise.h"

namespace {

TEST(NoisePermutation, IsPerlinsTableRepeatedOnce) {
  const uint8_t start[8] = {151, 160, 137, 91, 90, 15, 131, 13};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(NoisePermutation[i], start[i]) << i;
  EXPECT_EQ(NoisePermutation[255], 180);
  std::set<int> seen;
  for (int i = 0; i < 256; ++i) seen.insert(NoisePermutation[i]);
  EXPECT_EQ(seen.size(), 256u);   // every value 0..255 exactly once
  for (int i = 0; i < 256; ++i) EXPECT_EQ(NoisePermutation[256 + i], NoisePermutation[i]) << i;
}

TEST(Noise3, ZeroAtEveryWholeNumberPoint) {
  const float whole[] = {-257.0f, -256.0f, -3.0f, -2.0f, -1.0f, 0.0f, 1.0f,
                         2.0f,    3.0f,    17.0f, 255.0f, 256.0f, 1000.0f};
  for (float x : whole) {
    for (float y : whole) {
      for (float z : whole) {
        EXPECT_EQ(Noise3(x, y, z), 0.0f) << x << ' ' << y << ' ' << z;
      }
    }
  }
}

// Both sides of a lattice plane (the largest float below the whole number and
// the number itself, which the noise files under the cell below for 0 and
// negatives and under the cell above for positives) must agree.
TEST(Noise3, ContinuousAcrossCellBorders) {
  const float borders[] = {-3.0f, -1.0f, 0.0f, 1.0f, 2.0f, 7.0f, 100.0f};
  const float others[] = {-2.71f, -0.5f, 0.13f, 0.77f, 3.4f};
  for (float k : borders) {
    const float below = std::nextafter(k, -1e9f);
    const float above = std::nextafter(k, 1e9f);
    for (float a : others) {
      for (float b : others) {
        const float eps = 1e-4f;
        EXPECT_NEAR(Noise3(below, a, b), Noise3(above, a, b), eps) << k << ' ' << a << ' ' << b;
        EXPECT_NEAR(Noise3(a, below, b), Noise3(a, above, b), eps) << k << ' ' << a << ' ' << b;
        EXPECT_NEAR(Noise3(a, b, below), Noise3(a, b, above), eps) << k << ' ' << a << ' ' << b;
        EXPECT_NEAR(Noise3(k, a, b), Noise3(above, a, b), eps) << k << ' ' << a << ' ' << b;
      }
    }
  }
}

// Gradient g picked by hash h, dotted with (a, 0, 0): only the x component of
// the 12 edge directions survives (h < 8: +-1 by bit 0; h 12 and 14: +-1 by
// bit 1; everything else 0).
double AxisGradient(int h, double a) {
  h &= 15;
  if (h < 8) return (h & 1) ? -a : a;
  if (h == 12 || h == 14) return (h & 2) ? -a : a;
  return 0.0;
}

// On the line y = z = 0 both fractions are 1 (0 falls in the cell below), so
// the fades are 1 and only the corners j = k = 1 count; their hash is
// P[P[P[0] + 0] + x] and their offsets (xf or xf - 1, 0, 0).
TEST(Noise3, ReducesToOneGradientPairOnTheXAxis) {
  const uint8_t* P = NoisePermutation;
  for (float x : {0.125f, 0.5f, 0.8125f, 3.25f, 41.6f, -0.375f, -5.75f}) {
    const int xi = static_cast<int>(std::floor(x));
    const double xf = static_cast<double>(x) - xi;
    const int row = P[P[0]];
    const double g0 = AxisGradient(P[row + (xi & 255)], xf);
    const double g1 = AxisGradient(P[row + ((xi + 1) & 255)], xf - 1.0);
    const double u = xf * xf * xf * (xf * (xf * 6.0 - 15.0) + 10.0);
    const double expected = (g0 + (g1 - g0) * u) * 0.936;
    EXPECT_NEAR(Noise3(x, 0.0f, 0.0f), expected, 2e-6) << x;
  }
}

TEST(Noise3, RepeatsEvery256Units) {
  for (float a : {0.375f, 1.625f, 7.25f}) {
    const float b = 0.4375f, c = 2.5f;
    EXPECT_EQ(Noise3(a + 256.0f, b, c), Noise3(a, b, c)) << a;
    EXPECT_EQ(Noise3(b, a + 256.0f, c), Noise3(b, a, c)) << a;
    EXPECT_EQ(Noise3(b, c, a + 256.0f), Noise3(b, c, a)) << a;
  }
}

TEST(Noise3, StaysInsideUnitRangeAndIsNotFlat) {
  float lo = 0.0f, hi = 0.0f;
  for (int i = 0; i < 64; ++i) {
    for (int j = 0; j < 64; ++j) {
      for (int k = 0; k < 16; ++k) {
        const float n = Noise3(i * 0.173f - 5.0f, j * 0.131f - 3.0f, k * 0.29f + 0.05f);
        ASSERT_TRUE(std::isfinite(n));
        lo = std::fmin(lo, n);
        hi = std::fmax(hi, n);
      }
    }
  }
  EXPECT_GT(lo, -1.0f);
  EXPECT_LT(hi, 1.0f);
  EXPECT_LT(lo, -0.5f);
  EXPECT_GT(hi, 0.5f);
}

}  // namespace
