// Reference values of the steps of the tunnel, the glow, the twister, the
// skull logo and the liquid box: tables, timing, geometry, shading, the box's
// placement and the background levels. The skull's placement, and its glow
// worked out from these, are fixed by the show's digests.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/core/angle_tables.h"
#include "engine/effects/effects.h"
#include "engine/effects/mesh_scenes.h"
#include "engine/effects/twister.h"
#include "engine/render3d/fixed_math.h"
#include "engine/render3d/mesh.h"
#include "engine/resources/resource_table.h"

namespace {

TEST(Tunnel, TableSamplesAndCreditTiming) {
  EffectTunnel* tunnel = new EffectTunnel("Tunnel", 14000, 45000);
  // x, y from the axis; angle in 128ths of a turn (-63..64), depth about 1000 / radius.
  const int samples[][4] = {{0, 0, 0, 10000}, {1, 0, 0, 1000},  {-1, 0, 64, 1000}, {0, 1, 30, 499}, {0, -1, -30, 499},
                            {1, 1, 22, 447},  {-1, -1, -41, 447}, {10, 0, 0, 100}, {0, 10, 31, 49}, {-64, -64, -41, 6}};
  for (const auto& [x, y, angle, depth] : samples) {
    EXPECT_EQ(tunnel->angle[y + 64][x + 64], angle) << x << ", " << y;
    EXPECT_EQ(tunnel->depth[y + 64][x + 64], depth) << x << ", " << y;
  }
  delete tunnel;
  ResourceTable::Release();
  // Four credits of 7.5 s, each fading in and out over 500 ms; none after 30 s.
  const std::tuple<uint32_t, int, float> steps[] = {
      {0, 0, 0.0f},       {250, 0, 0.5f},    {499, 0, 0.998f},   {500, 0, 1.0f},   {7000, 0, 1.0f},  {7250, 0, 0.5f},
      {7499, 0, 0.002f},  {7500, 1, 0.0f},   {8000, 1, 1.0f},    {15000, 2, 0.0f}, {22499, 2, 0.002f},
      {22500, 3, 0.0f},   {29999, 3, 0.002f}, {30000, 0, 0.0f},  {30500, 0, 0.0f}, {31000, 0, 0.0f}};
  for (const auto& [ms, credit, fade] : steps) {
    EXPECT_EQ(EffectTunnel::CreditAt(ms), credit) << ms;
    EXPECT_FLOAT_EQ(EffectTunnel::CreditFadeAt(ms), fade) << ms;
  }
}

TEST(Glow, DistanceTableKeepsTheFloatRootsRounding) {
  EffectGlow glow("Glow", 44000, 72000);
  EXPECT_EQ(glow.distance[64][64], 0.0f);
  EXPECT_EQ(glow.distance[64 + 4][64 + 3], 25.0f);
  // (-64, -64): sqrt(8192) rounded to float, squared: 8191.9995, the float
  // just below 8192.
  EXPECT_EQ(glow.distance[0][0], std::nextafter(8192.0f, 0.0f));
}

// At 0 every row shows map row 72 (550 mod 239) shifted by 5 rows per row.
// The frames after it, worked in single precision with the twist's row
// offsets truncated toward zero, are pinned by the whole-show digests.
TEST(Twister, FrameGeometryAtTheStartAndFarOutside) {
  const TwisterFrame start = TwisterFrameAt(0);
  EXPECT_TRUE(start.base == 50 && start.scroll == 0u && start.twist == 0.0f);
  for (int r : {0, 1, 49}) EXPECT_TRUE(TwisterMapRow(start, r) == 72 && TwisterRowShift(start, r) == 5 * r) << r;
  // A frame far outside the show's range still lands inside the map.
  const TwisterFrame odd{0, -100000, 5.5f, 2.25f};
  for (int r = 0; r < kScreenHeight; ++r) {
    EXPECT_TRUE(TwisterMapRow(odd, r) >= 0 && TwisterMapRow(odd, r) < kTwisterMapRows) << r;
  }
}

TEST(Twister, Shading) {
  EXPECT_EQ(TwisterRowLight(0), 0.0f);
  EXPECT_NEAR(TwisterRowLight(25), 1.2f, 1e-4f);
  // texel, map red, map blue, row light, level: a fully lit interior at the
  // middle row; fully dark, then the same pixel as an edge (red below 70 or
  // above 250) gets 0.3; the top row lights edges only; a negative light is 0.
  const std::tuple<uint32_t, uint32_t, uint32_t, float, uint32_t> cases[] = {
      {50, 100, 0, TwisterRowLight(25), 59},   {200, 100, 255, 1.2f, 0},  {200, 69, 255, 1.2f, 60},
      {200, 70, 255, 1.2f, 0},                 {200, 250, 255, 1.2f, 0},  {200, 251, 255, 1.2f, 60},
      {100, 100, 0, TwisterRowLight(0), 0},    {100, 20, 0, TwisterRowLight(0), 30}, {100, 100, 0, -1.0f, 0},
      {255, 30, 0, TwisterRowLight(25), 382},   // the largest level: unlimited
  };
  for (const auto& [texel, red, blue, light, level] : cases) {
    EXPECT_EQ(TwisterLevel(texel, red, blue, light), level) << texel << " " << red << " " << blue << " " << light;
  }
}

// The liquid box at its start, whatever another effect left in the camera.
// The skull's placement (every constant of it) and the sway, turn and tumble
// of both scenes after their start are fixed by the show's digests.
TEST(MeshScenes, LiquidBoxPlacementAtTheStart) {
  BuildAngleTables();
  Camera camera;
  Mesh mesh;
  camera.x = camera.z = camera.angleZ = 12345;
  PlaceLiquidBox(0, camera, mesh);
  EXPECT_EQ((std::vector<int32_t>{camera.angleX, camera.angleY, camera.angleZ, camera.x, camera.y, camera.z,
                                  mesh.angleX, mesh.angleY, mesh.angleZ, mesh.focal}),
            (std::vector<int32_t>{0x4000, 0, 0, 0, 30 << 16, 0, 0, 0, 0, 0xC80000}));
}

TEST(MeshScenes, NoiseBackgroundLevelRounding) {
  // Just under a half: the addition in double keeps it below the next level.
  const std::pair<float, uint32_t> cases[] = {{49.5f, 50}, {49.49f, 49}, {50.0f, 50}, {73.2f, 50}, {0.49f, 0},
                                               {0.5f, 1},   {-3.0f, 0},   {-0.0f, 0},  {std::nextafter(0.5f, 0.0f), 0}};
  for (const auto& [sum, level] : cases) EXPECT_EQ(NoiseBackgroundLevel(sum), level) << sum;
}

}  // namespace
