#include <gtest/gtest.h>

#include <cstdint>

#include "engine/core/angle_tables.h"
#include "engine/render3d/fixed_math.h"

namespace {

TEST(FixedMul, IdentityAndFloor) {
  for (int32_t v : {0, 1, -1, 12345, -98765, INT32_MAX, INT32_MIN, 0x10000, -0x10000}) {
    EXPECT_EQ(FixedMul(0x10000, v), v) << v;
  }
  EXPECT_EQ(FixedMul(-1, 1), -1);
  EXPECT_EQ(FixedMul(1, 1), 0);
  EXPECT_EQ(FixedMul(0x8000, 0x8000), 0x4000);          // 0.5 x 0.5
  EXPECT_EQ(FixedMul(-0x18000, 0x20000), -0x30000);     // -1.5 x 2
  // The 64-bit product keeps what a 32-bit one would lose.
  EXPECT_EQ(FixedMul(0x1000000, 0x100), 0x10000);           // 256 x 1/256
}

TEST(FixedMul, WrapsToTheLow32Bits) {
  // 32768.0 x 2.0 = 65536.0 does not fit in 16.16: only the low 32 bits remain.
  EXPECT_EQ(FixedMul(0x7FFF0000, 0x20000), static_cast<int32_t>(0xFFFE0000u));
}

TEST(Matrix3, IdentityTimesMatrixIsThatMatrix) {
  BuildAngleTables();
  Matrix3 r;
  BuildRotation(r, SinTable[1000], SinTable[20000], SinTable[50000], CosTable[1000], CosTable[20000],
                CosTable[50000]);
  Matrix3 m;
  SetIdentity(m);
  MultiplyMatrix(m, r);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(m.m[i], r.m[i]) << i;
}

TEST(Matrix3, MultiplyUsesTheOldEntries) {
  Matrix3 a{{1 << 16, 2 << 16, 0, 0, 1 << 16, 0, 0, 0, 1 << 16}};
  const Matrix3 b = a;
  MultiplyMatrix(a, b);
  EXPECT_EQ(a.m[1], 4 << 16);   // row 0 of a x column 1 of b: 1 x 2 + 2 x 1
  EXPECT_EQ(a.m[0], 1 << 16);
  EXPECT_EQ(a.m[4], 1 << 16);
}

TEST(Matrix3, BuildRotationEntries) {
  // Hand-picked sines and cosines exercise every entry's nesting.
  const int32_t sx = 0x4000, sy = 0x8000, sz = -0x2000, cx = 0xC000, cy = 0x6000, cz = -0x10000;
  Matrix3 m;
  BuildRotation(m, sx, sy, sz, cx, cy, cz);
  const int32_t sycz = FixedMul(sy, cz), sysz = FixedMul(sy, sz);
  EXPECT_EQ(m.m[0], FixedMul(cz, cy));
  EXPECT_EQ(m.m[1], FixedMul(sz, cy));
  EXPECT_EQ(m.m[2], -sy);
  EXPECT_EQ(m.m[3], FixedMul(sx, sycz) - FixedMul(cx, sz));
  EXPECT_EQ(m.m[4], FixedMul(sysz, sx) + FixedMul(cx, cz));
  EXPECT_EQ(m.m[5], FixedMul(sx, cy));
  EXPECT_EQ(m.m[6], FixedMul(cx, sycz) + FixedMul(sx, sz));
  EXPECT_EQ(m.m[7], FixedMul(sysz, cx) - FixedMul(sx, cz));
  EXPECT_EQ(m.m[8], FixedMul(cx, cy));
}

TEST(Matrix3, TransformIsRowVectorTimesMatrix) {
  const Matrix3 m{{1 << 16, 2 << 16, 3 << 16, 4 << 16, 5 << 16, 6 << 16, 7 << 16, 8 << 16, 9 << 16}};
  int32_t out[3];
  TransformVector(out, m, 1 << 16, 0, 2 << 16);
  EXPECT_EQ(out[0], 15 << 16);   // 1 x 1 + 2 x 7
  EXPECT_EQ(out[1], 18 << 16);   // 1 x 2 + 2 x 8
  EXPECT_EQ(out[2], 21 << 16);   // 1 x 3 + 2 x 9
}

TEST(Camera, NewCameraIsAtRestWithIdentity) {
  Camera c;
  EXPECT_EQ(c.x | c.y | c.z | c.angleX | c.angleY | c.angleZ | c.moveX | c.moveY | c.moveZ, 0);
  const Matrix3 id{{0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x10000}};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(c.matrix.m[i], id.m[i]);
}

TEST(Camera, ZeroAnglesGiveJustUnderIdentity) {
  BuildAngleTables();
  Camera c;
  c.x = 5;
  c.Update();
  for (int i = 0; i < 9; ++i) EXPECT_EQ(c.matrix.m[i], (i % 4 == 0) ? 65534 : 0) << i;
  EXPECT_EQ(c.x, 5);
  EXPECT_EQ(c.y, 0);
  EXPECT_EQ(c.z, 0);
}

TEST(Camera, MovementGoesThroughTheMatrixAndIsCleared) {
  BuildAngleTables();
  Camera c;
  c.moveZ = 0x10000;
  c.Update();
  EXPECT_EQ(c.z, 65534);
  EXPECT_EQ(c.moveZ, 0);
  c.Update();
  EXPECT_EQ(c.z, 65534);
}

TEST(Camera, AnglesAreReducedInPlace) {
  BuildAngleTables();
  Camera c;
  c.angleY = 70000;
  c.angleX = -1;
  c.Update();
  EXPECT_EQ(c.angleY, 4464);
  EXPECT_EQ(c.angleX, 65535);
  EXPECT_EQ(c.matrix.m[2], -SinTable[4464]);
}

}  // namespace
