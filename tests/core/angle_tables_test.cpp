#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/core/angle_tables.h"

namespace {

class AngleTables : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BuildAngleTables(); }
};

TEST_F(AngleTables, ReferenceValues) {
  EXPECT_EQ(SinTable[0], 0);
  EXPECT_EQ(SinTable[1], -6);
  EXPECT_EQ(SinTable[8192], -46340);
  EXPECT_EQ(SinTable[16383], -65535);
  EXPECT_EQ(SinTable[16384], -65535);
  EXPECT_EQ(SinTable[32768], 0);
  EXPECT_EQ(SinTable[49152], 65535);
  EXPECT_EQ(CosTable[0], -65535);
  EXPECT_EQ(CosTable[16384], 0);
  EXPECT_EQ(CosTable[32768], 65535);
}

TEST_F(AngleTables, HalfTurnNegatesAndCosineIsQuarterTurnAhead) {
  for (int i = 0; i < 32768; ++i) ASSERT_EQ(SinTable[i], -SinTable[i + 32768]) << i;
  for (int i = 0; i < kAngleSteps; ++i) ASSERT_EQ(CosTable[i], SinTable[(i + 16384) % 65536]) << i;
}

TEST_F(AngleTables, NeverReachesOne) {
  for (int i = 0; i < kAngleSteps; ++i) {
    ASSERT_LE(std::abs(SinTable[i]), 65535) << i;
    ASSERT_LE(std::abs(CosTable[i]), 65535) << i;
  }
}

TEST_F(AngleTables, FirstQuarterFallsMonotonically) {
  // The negated sine runs from 0 down to -65535 over the first quarter turn.
  for (int i = 1; i < 16384; ++i) ASSERT_LE(SinTable[i], SinTable[i - 1]) << i;
}

}  // namespace
