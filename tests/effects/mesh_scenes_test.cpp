// The steps of the skull logo and the liquid box: camera and mesh placement,
// the noise backgrounds, the skull's glow passes and their combination.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/core/angle_tables.h"
#include "engine/core/cell.h"
#include "engine/effects/mesh_scenes.h"
#include "engine/render3d/fixed_math.h"
#include "engine/render3d/mesh.h"
#include "engine/render3d/noise.h"

namespace {

class MeshScenes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BuildAngleTables(); }
  Camera camera_;
  Mesh mesh_;
};

// ---------------------------------------------------------------------------
// Placement.

TEST_F(MeshScenes, SkullPlacementAtTimeZero) {
  PlaceSkull(0, camera_, mesh_);
  EXPECT_EQ(mesh_.focal, 0xC80000);
  EXPECT_EQ(camera_.angleX, 0x4000);
  EXPECT_EQ(camera_.angleY, 3500);
  EXPECT_EQ(camera_.angleZ, 4000);
  EXPECT_EQ(camera_.x, 0 + 4000);               // SinTable[0] = 0
  EXPECT_EQ(camera_.y, 0xE0000);                // 14.0
  EXPECT_EQ(camera_.z, -65535 - 132072);        // CosTable[0] = -65535
  EXPECT_EQ(mesh_.angleX, 12000);
  EXPECT_EQ(mesh_.angleY, 0);
  EXPECT_EQ(mesh_.angleZ, 1875 * 16);
}

TEST_F(MeshScenes, SkullPlacementFollowsTheClock) {
  // The turn loses one step every 3 ms, floored.
  PlaceSkull(3001, camera_, mesh_);
  EXPECT_EQ(camera_.angleY, 3500 - 1000);
  PlaceSkull(3002, camera_, mesh_);
  EXPECT_EQ(camera_.angleY, 3500 - 1000);
  // Past 10500 ms the unsigned difference wraps; only its low 16 bits count.
  PlaceSkull(12000, camera_, mesh_);
  EXPECT_EQ(camera_.angleY, -500);
  camera_.Update();
  EXPECT_EQ(camera_.angleY, 65036);
  // x sways through SinTable[(t & 0x1FFF) x 8]: at 9216 ms the index is 8192.
  PlaceSkull(8192 + 1024, camera_, mesh_);
  EXPECT_EQ(camera_.x, -46340 + 4000);
  // z sways through CosTable[(t & 0x3FFF) x 4]: at 4096 ms the index is 16384.
  PlaceSkull(4096, camera_, mesh_);
  EXPECT_EQ(camera_.z, 0 - 132072);
  PlaceSkull(8192, camera_, mesh_);
  EXPECT_EQ(camera_.z, 65535 - 132072);   // CosTable[32768]
  // The emblem's spin: (t + 1875) x 16 reaches a whole turn at 2221 ms.
  PlaceSkull(2221, camera_, mesh_);
  EXPECT_EQ(mesh_.angleZ, 65536);
  EXPECT_EQ(mesh_.angleZ & 0xFFFF, 0);
  // The camera's other fields are the same at every time.
  for (uint32_t t : {1000u, 7777u, 15000u}) {
    PlaceSkull(t, camera_, mesh_);
    EXPECT_EQ(camera_.angleX, 0x4000);
    EXPECT_EQ(camera_.angleZ, 4000);
    EXPECT_EQ(camera_.y, 14 << 16);
    EXPECT_EQ(mesh_.angleX, 12000);
    EXPECT_EQ(mesh_.focal, 200 << 16);
  }
}

TEST_F(MeshScenes, LiquidPlacementAtLocalTimeZero) {
  camera_.x = camera_.z = camera_.angleZ = 12345;   // left over from another effect
  PlaceLiquidBox(0, camera_, mesh_);
  EXPECT_EQ(mesh_.focal, 0xC80000);
  EXPECT_EQ(camera_.angleX, 0x4000);
  EXPECT_EQ(camera_.angleY, 0);
  EXPECT_EQ(camera_.angleZ, 0);
  EXPECT_EQ(camera_.x, 0);
  EXPECT_EQ(camera_.y, 30 << 16);
  EXPECT_EQ(camera_.z, 0);
  EXPECT_EQ(mesh_.angleX, 0);
  EXPECT_EQ(mesh_.angleY, 0);
  EXPECT_EQ(mesh_.angleZ, 0);
}

TEST_F(MeshScenes, LiquidCameraSwaysWithinItsRange) {
  // Tilt 0x4000 +- 655 steps, turn +- 1310, distance 20.0..40.0, over the window.
  int32_t minTilt = 1 << 30, maxTilt = -(1 << 30), minTurn = 1 << 30, maxTurn = -(1 << 30);
  int32_t minY = 1 << 30, maxY = -(1 << 30);
  for (uint32_t lt = 0; lt <= 29000; lt += 3) {
    PlaceLiquidBox(lt, camera_, mesh_);
    minTilt = std::min(minTilt, camera_.angleX);
    maxTilt = std::max(maxTilt, camera_.angleX);
    minTurn = std::min(minTurn, camera_.angleY);
    maxTurn = std::max(maxTurn, camera_.angleY);
    minY = std::min(minY, camera_.y);
    maxY = std::max(maxY, camera_.y);
  }
  EXPECT_EQ(minTilt, 0x4000 - 655);
  EXPECT_EQ(maxTilt, 0x4000 + 655);
  EXPECT_EQ(minTurn, -1310);
  EXPECT_EQ(maxTurn, 1310);
  EXPECT_GE(minY, 20 << 16);
  EXPECT_LE(maxY, 40 << 16);
  EXPECT_LT(minY, (20 << 16) + 0x100);
  EXPECT_GT(maxY, (40 << 16) - 0x100);
  // A quarter period in, s1 = sin(1.5) rounded to float: the camera tilts
  // the other way from the quarter turn and is 39.97 away.
  PlaceLiquidBox(1500, camera_, mesh_);
  const float s1 = static_cast<float>(std::sin(1.5));
  EXPECT_EQ(camera_.angleX, 0x4000 + static_cast<int32_t>(s1 * 655.36f));
  EXPECT_NEAR(camera_.y / 65536.0, 30.0 + 10.0 * std::sin(1.5), 1e-4);
}

TEST_F(MeshScenes, LiquidTumbleWraps) {
  // angleZ repeats every 4096 ms, angleX every 16384 ms (low 16 bits).
  PlaceLiquidBox(4096, camera_, mesh_);
  EXPECT_EQ(mesh_.angleZ, 65536);
  EXPECT_EQ(mesh_.angleX & 0xFFFF, (4096 * 12) & 0xFFFF);
  PlaceLiquidBox(16384, camera_, mesh_);
  EXPECT_EQ(mesh_.angleX, 196608);
  EXPECT_EQ(mesh_.angleX & 0xFFFF, 0);
  PlaceLiquidBox(1000, camera_, mesh_);
  EXPECT_EQ(mesh_.angleX, 12000);
  EXPECT_EQ(mesh_.angleZ, 16000);
}

// ---------------------------------------------------------------------------
// Backgrounds.

TEST(NoiseBackground, LevelRounding) {
  EXPECT_EQ(NoiseBackgroundLevel(49.5f), 50u);
  EXPECT_EQ(NoiseBackgroundLevel(49.49f), 49u);
  EXPECT_EQ(NoiseBackgroundLevel(50.0f), 50u);
  EXPECT_EQ(NoiseBackgroundLevel(73.2f), 50u);
  EXPECT_EQ(NoiseBackgroundLevel(0.49f), 0u);
  EXPECT_EQ(NoiseBackgroundLevel(0.5f), 1u);
  EXPECT_EQ(NoiseBackgroundLevel(-3.0f), 0u);
  EXPECT_EQ(NoiseBackgroundLevel(-0.0f), 0u);
  // Just under a half: the addition in double keeps it below the next level.
  EXPECT_EQ(NoiseBackgroundLevel(std::nextafter(0.5f, 0.0f)), 0u);
}

// The two-octave sum of one cell, written out from the stated formula.
float SkullSum(int x, int y, uint32_t t) {
  const float tf = static_cast<float>(t);
  const float ny = -(tf / 30000.0f), nz = -(tf / 10000.0f);
  const float xs = static_cast<float>(x) / 300.0f, ys = static_cast<float>(y) / 320.0f + ny;
  return std::fabs(Noise3(xs * 5.0f, ys * 5.0f, nz * 5.0f)) * 20.0f * 0.15f + 0.0f +
         std::fabs(Noise3(xs * 8.0f, ys * 8.0f, nz * 8.0f)) * 20.0f * 0.25f;
}
float LiquidSum(int x, int y, uint32_t lt) {
  const float tf = static_cast<float>(lt);
  const float ny = -(tf / 50000.0f), nz = -(tf / 10000.0f);
  const float xs = static_cast<float>(x) / 200.0f, ys = static_cast<float>(y) / 220.0f + ny;
  return (std::fabs(Noise3(xs * 4.0f, ys * 4.0f, nz * 4.0f)) * 20.0f * 0.15f + 0.0f +
          std::fabs(Noise3(xs * 8.0f, ys * 8.0f, nz * 8.0f)) * 20.0f * 0.25f) * 2.0f;
}

TEST(NoiseBackground, SkullCells) {
  std::vector<Cell> cells(kScreenCells, 0xDEADBEEF);
  for (uint32_t t : {0u, 1000u, 7321u, 15000u}) {
    SkullBackground(t, cells.data());
    for (int y = 0; y < kScreenHeight; ++y) {
      for (int x = 0; x < kScreenWidth; ++x) {
        const Cell c = cells[y * kScreenWidth + x];
        ASSERT_EQ(c & 0xFFFF00FFu, 0x01E60064u) << x << "," << y;
        ASSERT_EQ(CellLevel(c), NoiseBackgroundLevel(SkullSum(x, y, t))) << x << "," << y << " " << t;
      }
    }
  }
  // At t = 0 the top-left cell samples whole-number points: level 0. The
  // cloud is dim: its two octaves add up to 3 x 0.94 + 5 x 0.94 at most.
  SkullBackground(0, cells.data());
  EXPECT_EQ(CellLevel(cells[0]), 0u);
  for (Cell c : cells) EXPECT_LE(CellLevel(c), 8u);
  // At 30 s the offsets are whole again (ny = -1, nz = -3).
  SkullBackground(30000, cells.data());
  EXPECT_EQ(CellLevel(cells[0]), 0u);
}

TEST(NoiseBackground, LiquidCellsAreTwiceAsBright) {
  std::vector<Cell> cells(kScreenCells, 0xDEADBEEF);
  uint32_t brightest = 0;
  for (uint32_t lt : {0u, 2500u, 14000u, 29000u}) {
    LiquidBackground(lt, cells.data());
    for (int y = 0; y < kScreenHeight; ++y) {
      for (int x = 0; x < kScreenWidth; ++x) {
        const Cell c = cells[y * kScreenWidth + x];
        ASSERT_EQ(c & 0xFFFF00FFu, 0x01E60064u);
        ASSERT_EQ(CellLevel(c), NoiseBackgroundLevel(LiquidSum(x, y, lt))) << x << "," << y << " " << lt;
        brightest = std::max(brightest, CellLevel(c));
      }
    }
  }
  EXPECT_GT(brightest, 8u);   // beyond what the undoubled sum reaches
  LiquidBackground(0, cells.data());
  EXPECT_EQ(CellLevel(cells[0]), 0u);
}

// ---------------------------------------------------------------------------
// Glow.

std::vector<Cell> Blank(Cell word = 0x01DC0032) { return std::vector<Cell>(kScreenCells, word); }

TEST(SkullGlow, LastPassAtTheTopAndBottomRows) {
  // One lit cell at level 60 in row 0 of column 7: row 0 counts it six
  // times (taps -5..0), row 1 five, row 2 four, row 3 three times.
  std::vector<Cell> src = Blank(), dst = Blank(0);
  src[7] = CellWithLevel(0x01DC0032, 60);
  SkullGlowLastPass(src.data(), dst.data());
  EXPECT_EQ(CellLevel(dst[0 * 80 + 7]), 60u);   // 360 / 11 x 4 - 70 = 60.9
  EXPECT_EQ(CellLevel(dst[1 * 80 + 7]), 39u);   // 300 / 11 x 4 - 70 = 39.1
  EXPECT_EQ(CellLevel(dst[2 * 80 + 7]), 17u);   // 240 / 11 x 4 - 70 = 17.3
  EXPECT_EQ(CellLevel(dst[3 * 80 + 7]), 0u);    // 180 / 11 x 4 - 70 < 0
  EXPECT_EQ(CellLevel(dst[0 * 80 + 6]), 0u);
  // The same at the bottom: row 49 takes taps 44..53, five of them on row 49.
  src = Blank();
  src[49 * 80 + 79] = CellWithLevel(0x01DC0032, 60);
  SkullGlowLastPass(src.data(), dst.data());
  EXPECT_EQ(CellLevel(dst[49 * 80 + 79]), 39u);
  EXPECT_EQ(CellLevel(dst[48 * 80 + 79]), 17u);
  EXPECT_EQ(CellLevel(dst[44 * 80 + 79]), 0u);
  // Bright enough to pass 255: limited.
  src = Blank(CellWithLevel(0x01DC0032, 250));
  SkullGlowLastPass(src.data(), dst.data());
  for (Cell c : dst) ASSERT_EQ(CellLevel(c), 255u);
  // Every other bit comes from the source cell.
  src = Blank();
  src[123] = 0x02AB3377;
  SkullGlowLastPass(src.data(), dst.data());
  EXPECT_EQ(dst[123] & 0xFFFF00FFu, 0x02AB0077u);
  EXPECT_EQ(dst[124], 0x01DC0032u);
}

TEST(SkullGlow, AllZeroStaysDark) {
  std::vector<Cell> src = Blank(), a = Blank(0x12345678), b = Blank(0x12345678);
  SkullGlow(src.data(), a.data(), b.data());
  for (Cell c : b) ASSERT_EQ(c, 0x01DC0032u);   // -70 limited to 0; hue 220 copied through
}

TEST(SkullGlow, FlatLevelThroughTheFourPasses) {
  // A flat level keeps 10/11 per plain pass, truncated each time:
  // 77 -> 70 -> 63 -> 57, then 570 / 11 x 4 - 70 = 137.27.
  std::vector<Cell> src = Blank(DarkCellAtLevel(77)), a = Blank(0), b = Blank(0);
  SkullGlow(src.data(), a.data(), b.data());
  for (Cell c : b) ASSERT_EQ(c, DarkCellAtLevel(137));
  for (Cell c : a) ASSERT_EQ(c, DarkCellAtLevel(57));
}

TEST(SkullGlow, ClampedTapsAtColumnZeroAndSeventyNine) {
  // The horizontal passes clamp like the vertical one: a single lit column 0
  // (level 110) after the first pass reads 60 50 40 30 20 10 0 ... and the
  // mirror image at column 79 reads 50 at column 79 (five taps).
  std::vector<Cell> src = Blank(), a = Blank(0), b = Blank(0);
  for (int y = 0; y < kScreenHeight; ++y) src[y * 80] = DarkCellAtLevel(110);
  SkullGlow(src.data(), a.data(), b.data());
  // Column 0 ends with a visible glow, columns far away with none.
  for (int y = 0; y < kScreenHeight; ++y) {
    EXPECT_GT(CellLevel(b[y * 80]), 0u);
    EXPECT_EQ(CellLevel(b[y * 80 + 20]), 0u);
  }
  // Pass by pass from the rows' sums: 60 50 40 30 20 10, then flat down the
  // columns 54 45 36 27 18 9, then across again.
  const int first[6] = {60, 50, 40, 30, 20, 10};
  int second[80] = {};
  for (int x = 0; x < 6; ++x) second[x] = static_cast<int>(static_cast<float>(first[x] * 10) / 11.0f);
  int third[80] = {};
  for (int x = 0; x < 80; ++x) {
    int s = 0;
    for (int k = x - 5; k <= x + 4; ++k) s += second[k < 0 ? 0 : (k > 79 ? 79 : k)];
    third[x] = static_cast<int>(static_cast<float>(s) / 11.0f);
  }
  for (int x = 0; x < 80; ++x) {
    float v = static_cast<float>(third[x] * 10) / 11.0f * 4.0f - 70.0f;
    if (v < 0.0f) v = 0.0f;
    EXPECT_EQ(CellLevel(b[25 * 80 + x]), static_cast<uint32_t>(v)) << x;
  }
}

TEST(SkullGlow, AddedLevelsAreLimitedTo80) {
  std::vector<Cell> target = Blank(), glow = Blank(0);
  target[0] = DarkCellAtLevel(30);
  glow[0] = CellWithLevel(0x01DC0032, 40);
  target[1] = DarkCellAtLevel(50);
  glow[1] = CellWithLevel(0x01DC0032, 40);
  target[2] = DarkCellAtLevel(80);
  glow[2] = CellWithLevel(0, 255);
  target[3] = CellWithLevel(0x01DC0032, 0);
  glow[3] = CellWithLevel(0x01E60064, 12);
  AddGlowLevels(target.data(), glow.data());
  EXPECT_EQ(target[0], DarkCellAtLevel(70));
  EXPECT_EQ(target[1], DarkCellAtLevel(80));
  EXPECT_EQ(target[2], DarkCellAtLevel(80));
  EXPECT_EQ(target[3], CellWithLevel(0x01DC0032, 12));   // target's other bits stay
  EXPECT_EQ(target[4], 0x01DC0032u);
}

}  // namespace
