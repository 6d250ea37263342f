// 16.16 products, rotation matrices, the camera and the gradient noise (its
// permutation is fixed by the show's digests).

#include <gtest/gtest.h>

#include <cmath>

#include "engine/core/angle_tables.h"
#include "engine/render3d/fixed_math.h"
#include "engine/render3d/noise.h"

namespace {

// The floor of the 64-bit product, of which only the low 32 bits remain.
TEST(FixedMul, FloorOfTheWideProductWrappedTo32Bits) {
  const int32_t cases[][3] = {{0x10000, INT32_MAX, INT32_MAX}, {0x10000, INT32_MIN, INT32_MIN}, {-1, 1, -1}, {1, 1, 0},
                              {0x8000, 0x8000, 0x4000}, {-0x18000, 0x20000, -0x30000}, {0x1000000, 0x100, 0x10000},
                              {0x7FFF0000, 0x20000, static_cast<int32_t>(0xFFFE0000u)}};
  for (const auto& c : cases) EXPECT_EQ(FixedMul(c[0], c[1]), c[2]) << c[0] << " x " << c[1];
}

TEST(Matrix3, RotationEntries) {
  // sin x, y, z = 0.7, -0.2, -0.1; cos x, y, z = 0.4, 0.65, -0.8, each to the
  // nearest 65536th: the nested entries (m3, m4, m6, m7) come out different
  // in any other nesting.
  Matrix3 r;
  BuildRotation(r, 0xB333, -0x3333, -0x199A, 0x6666, 0xA666, -0xCCCD);
  const int32_t rotation[9] = {-34079, -4261, 13107, 9961, -20056, 29818, -395, 37224, 17038};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(r.m[i], rotation[i]) << i;
}

// The angle tables' cosine of 0 is 65534: a camera at rest is just under
// identity, and a movement of 1.0 forward moves it 65534.
TEST(Camera, UpdateReducesAnglesAndMovesThroughTheNewMatrix) {
  BuildAngleTables();
  Camera c;
  c.moveZ = 0x10000;
  c.Update();
  for (int i = 0; i < 9; ++i) EXPECT_EQ(c.matrix.m[i], (i % 4 == 0) ? 65534 : 0) << i;
  EXPECT_EQ(c.z, 65534);
  c.angleY = 70000, c.angleX = -1;
  c.Update();   // the movement was used up
  EXPECT_TRUE(c.z == 65534 && c.angleY == 4464 && c.angleX == 65535);
  EXPECT_EQ(c.matrix.m[2], -SinTable[4464]);
}

// Zero on the lattice; continuous across it (whole numbers fall in the cell
// below for 0 and negatives, in the cell above for positives); repeating
// after 256 units on every axis.
TEST(Noise3, ZeroOnTheLatticeContinuousAcrossItAndPeriodic) {
  const float a = 0.375f, b = -2.625f;   // still exact in a float after adding 256
  for (float k : {-257.0f, -3.0f, -1.0f, 0.0f, 1.0f, 2.0f, 100.0f, 256.0f}) {
    const float below = std::nextafter(k, -1e9f), above = std::nextafter(k, 1e9f), h = k + 0.5f;
    EXPECT_TRUE(Noise3(k, 0.0f, 1.0f) == 0.0f && Noise3(-1.0f, k, 17.0f) == 0.0f && Noise3(1000.0f, 2.0f, k) == 0.0f);
    EXPECT_NEAR(Noise3(below, a, b), Noise3(k, a, b), 1e-4f) << k;
    EXPECT_NEAR(Noise3(a, k, b), Noise3(a, above, b), 1e-4f) << k;
    EXPECT_NEAR(Noise3(a, b, below), Noise3(a, b, above), 1e-4f) << k;
    const float n = Noise3(h, a, b);
    EXPECT_TRUE(Noise3(h + 256, a, b) == n && Noise3(h, a + 256, b) == n && Noise3(h, a, b + 256) == n) << k;
  }
}

}  // namespace
