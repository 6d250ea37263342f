// The steps of the skull logo and the liquid box: camera and mesh placement,
// the noise backgrounds, the skull's glow passes and their combination.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <utility>
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
  // Camera x from SinTable[0] = 0, y 14.0, z from CosTable[0] = -65535.
  EXPECT_EQ(std::tuple(camera_.angleX, camera_.angleY, camera_.angleZ), std::tuple(0x4000, 3500, 4000));
  EXPECT_EQ(std::tuple(camera_.x, camera_.y, camera_.z), std::tuple(0 + 4000, 0xE0000, -65535 - 132072));
  EXPECT_EQ(std::tuple(mesh_.angleX, mesh_.angleY, mesh_.angleZ, mesh_.focal),
            std::tuple(12000, 0, 1875 * 16, 0xC80000));
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
  EXPECT_EQ(camera_.y, 14 << 16);   // fixed at every time
}

TEST_F(MeshScenes, LiquidPlacementAtLocalTimeZero) {
  camera_.x = camera_.z = camera_.angleZ = 12345;   // left over from another effect
  PlaceLiquidBox(0, camera_, mesh_);
  EXPECT_EQ(std::tuple(camera_.angleX, camera_.angleY, camera_.angleZ), std::tuple(0x4000, 0, 0));
  EXPECT_EQ(std::tuple(camera_.x, camera_.y, camera_.z), std::tuple(0, 30 << 16, 0));
  EXPECT_EQ(std::tuple(mesh_.angleX, mesh_.angleY, mesh_.angleZ, mesh_.focal), std::tuple(0, 0, 0, 0xC80000));
}

TEST_F(MeshScenes, LiquidCameraSwaysWithinItsRange) {
  // Tilt 0x4000 +- 655 steps, turn +- 1310, distance 20.0..40.0, over the window.
  int32_t lo[3] = {1 << 30, 1 << 30, 1 << 30}, hi[3] = {-(1 << 30), -(1 << 30), -(1 << 30)};  // tilt, turn, y
  for (uint32_t lt = 0; lt <= 29000; lt += 3) {
    PlaceLiquidBox(lt, camera_, mesh_);
    const int32_t v[3] = {camera_.angleX, camera_.angleY, camera_.y};
    for (int i = 0; i < 3; ++i) lo[i] = std::min(lo[i], v[i]), hi[i] = std::max(hi[i], v[i]);
  }
  EXPECT_TRUE(lo[0] == 0x4000 - 655 && hi[0] == 0x4000 + 655) << lo[0] << ".." << hi[0];
  EXPECT_TRUE(lo[1] == -1310 && hi[1] == 1310) << lo[1] << ".." << hi[1];
  EXPECT_TRUE(lo[2] >= 20 << 16 && lo[2] < (20 << 16) + 0x100) << lo[2];
  EXPECT_TRUE(hi[2] <= 40 << 16 && hi[2] > (40 << 16) - 0x100) << hi[2];
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
  EXPECT_EQ(mesh_.angleX, 196608);   // three whole turns
  PlaceLiquidBox(1000, camera_, mesh_);
  EXPECT_EQ(std::tuple(mesh_.angleX, mesh_.angleZ), std::tuple(12000, 16000));
}

// ---------------------------------------------------------------------------
// Backgrounds.

TEST(NoiseBackground, LevelRounding) {
  // Just under a half: the addition in double keeps it below the next level.
  const std::pair<float, uint32_t> cases[] = {{49.5f, 50u}, {49.49f, 49u}, {50.0f, 50u}, {73.2f, 50u},
                                               {0.49f, 0u},  {0.5f, 1u},    {-3.0f, 0u},  {-0.0f, 0u},
                                               {std::nextafter(0.5f, 0.0f), 0u}};
  for (const auto& [sum, level] : cases) EXPECT_EQ(NoiseBackgroundLevel(sum), level) << sum;
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

// Every cell of both backgrounds against its sum; the liquid's is doubled so
// it goes beyond the skull's dim cloud (3 x 0.94 + 5 x 0.94 at most). At
// time 0 (and 30 s for the skull: ny = -1, nz = -3) the top-left cell
// samples whole-number points: level 0.
TEST(NoiseBackground, SkullAndLiquidCells) {
  struct Scene {
    void (*render)(uint32_t, Cell*);
    float (*sum)(int, int, uint32_t);
    std::vector<uint32_t> times;
    uint32_t dimmest, brightest;   // bounds on the brightest level over the times
  };
  const Scene scenes[] = {{SkullBackground, SkullSum, {0u, 1000u, 7321u, 15000u, 30000u}, 0u, 8u},
                          {LiquidBackground, LiquidSum, {0u, 2500u, 14000u, 29000u}, 9u, 255u}};
  std::vector<Cell> cells(kScreenCells, 0xDEADBEEF);
  for (const Scene& scene : scenes) {
    uint32_t brightest = 0;
    for (uint32_t t : scene.times) {
      scene.render(t, cells.data());
      if (t % 30000 == 0) {
        EXPECT_EQ(CellLevel(cells[0]), 0u) << t;
      }
      for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) {
          const Cell c = cells[y * kScreenWidth + x];
          ASSERT_EQ(c & 0xFFFF00FFu, 0x01E60064u) << x << "," << y;
          ASSERT_EQ(CellLevel(c), NoiseBackgroundLevel(scene.sum(x, y, t))) << x << "," << y << " " << t;
          brightest = std::max(brightest, CellLevel(c));
        }
      }
    }
    EXPECT_GE(brightest, scene.dimmest);
    EXPECT_LE(brightest, scene.brightest);
  }
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
  // Rows 0..3: 360, 300, 240, 180 / 11 x 4 - 70 = 60.9, 39.1, 17.3, below 0.
  const uint32_t top[4] = {60, 39, 17, 0};
  for (int y = 0; y < 4; ++y) EXPECT_EQ(CellLevel(dst[y * 80 + 7]), top[y]) << y;
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
  for (int y = 0; y < kScreenHeight; ++y) EXPECT_TRUE(CellLevel(b[y * 80]) > 0 && CellLevel(b[y * 80 + 20]) == 0) << y;
  // Pass by pass from the rows' sums: 60 50 40 30 20 10, then flat down the
  // columns 54 45 36 27 18 9, then across again.
  int second[80] = {};
  for (int x = 0; x < 6; ++x) second[x] = static_cast<int>(static_cast<float>((60 - 10 * x) * 10) / 11.0f);
  int third[80] = {};
  for (int x = 0; x < 80; ++x) {
    int s = 0;
    for (int k = x - 5; k <= x + 4; ++k) s += second[k < 0 ? 0 : (k > 79 ? 79 : k)];
    third[x] = static_cast<int>(static_cast<float>(s) / 11.0f);
  }
  for (int x = 0; x < 80; ++x) {
    const float v = static_cast<float>(third[x] * 10) / 11.0f * 4.0f - 70.0f;
    EXPECT_EQ(CellLevel(b[25 * 80 + x]), static_cast<uint32_t>(std::max(v, 0.0f))) << x;
  }
}

TEST(SkullGlow, AddedLevelsAreLimitedTo80) {
  // Target, glow, sum: the target's other bits stay; an unlit glow adds nothing.
  const Cell cases[][3] = {{DarkCellAtLevel(30), CellWithLevel(0x01DC0032, 40), DarkCellAtLevel(70)},
                           {DarkCellAtLevel(50), CellWithLevel(0x01DC0032, 40), DarkCellAtLevel(80)},
                           {DarkCellAtLevel(80), CellWithLevel(0, 255), DarkCellAtLevel(80)},
                           {CellWithLevel(0x01DC0032, 0), CellWithLevel(0x01E60064, 12), CellWithLevel(0x01DC0032, 12)},
                           {0x01DC0032u, 0x01DC0032u, 0x01DC0032u}};
  std::vector<Cell> target = Blank(), glow = Blank(0);
  for (int i = 0; i < 5; ++i) target[i] = cases[i][0], glow[i] = cases[i][1];
  AddGlowLevels(target.data(), glow.data());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(target[i], cases[i][2]) << i;
}

}  // namespace
