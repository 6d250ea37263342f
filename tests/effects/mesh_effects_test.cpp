// The skull logo and the liquid box as whole effects: what a frame holds with
// a known mesh and known textures, undecodable and wrongly sized textures,
// and the regression guard over finished frames of the real show.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/angle_tables.h"
#include "engine/core/effect.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/effects/effects.h"
#include "engine/effects/mesh_scenes.h"
#include "engine/render3d/mesh.h"
#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"
#include "tests/effects/mesh_scene_support.h"
#include "tests/effects/effects_test_support.h"

namespace {

using mesh_scene_test::CubeMeshBytes;
using mesh_scene_test::WriteBluePng;
using mesh_scene_test::WriteBytes;

constexpr Cell kObjectWordMask = 0xFFFF00FFu;

// Both effects built from files in the working directory under an empty
// resource table: a cube of half size 1.0 for the emblem and for the box.
// Each case works in a directory of its own, so that cases run side by side
// never see each other's files.
class MeshEffects : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = std::filesystem::current_path();
    own_ = home_ / (std::string("mesh_effects_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(own_);
    std::filesystem::current_path(own_);
    screen_ = TextScreen::Get();
    BuildAngleTables();
    DemoClock::Get();
    ResourceTable::Install(new ResourceTable());   // empty: every name comes from the files
    WriteBytes("pineapple3.ase.bin", CubeMeshBytes(0x10000, kMeshMappingEnv));
    WriteBytes("box.ase.bin", CubeMeshBytes(0x10000, kMeshMappingEnv));
  }
  void TearDown() override {
    DemoClock::Release();
    ResourceTable::Release();
    TextScreen::Release();
    std::filesystem::current_path(home_);
    std::filesystem::remove_all(own_);
  }

  // Cells the effect's mesh covers with the current transform: drawn once
  // more into a zero buffer with the depth buffer reset (the mesh's texture
  // must give a nonzero level).
  std::vector<bool> Coverage(Mesh* mesh) {
    std::vector<Cell> cells(kScreenCells, 0);
    for (int32_t& d : screen_->depth) d = kMeshFarDepth;
    mesh->Draw(cells.data());
    std::vector<bool> covered(kScreenCells);
    for (int i = 0; i < kScreenCells; ++i) covered[i] = cells[i] != 0;
    return covered;
  }

  std::filesystem::path home_, own_;
  TextScreen* screen_ = nullptr;
  Cell cells_[kScreenCells];
};

TEST_F(MeshEffects, SkullGlowsFromItsObjectOnly) {
  ASSERT_TRUE(WriteBluePng("env_red.png", 256, 256, 30));
  ASSERT_TRUE(WriteBluePng("env_red2.png", 256, 256, 195));   // level 65 on every face
  EffectSkullLogo skull("Skull", 1000, 15000);
  EXPECT_EQ(skull.mesh->tint, 0xE60000u);
  EXPECT_EQ(skull.mesh->uvTexture, skull.envRed);
  EXPECT_EQ(skull.mesh->envTexture, skull.envRed2);
  skull.target = cells_;

  const uint32_t t = 7000;   // the cube's centre near column 25, row 36
  DemoClock::Get()->nowMs = t;
  skull.Render();
  const std::vector<bool> covered = Coverage(skull.mesh);

  // The glow comes from the object alone, drawn on a level-0 screen.
  std::vector<Cell> alone(kScreenCells, 0x01DC0032), blurA(kScreenCells), glow(kScreenCells);
  int coveredCount = 0;
  for (int i = 0; i < kScreenCells; ++i) {
    if (covered[i]) alone[i] = DarkCellAtLevel(65);
    coveredCount += covered[i];
  }
  ASSERT_GT(coveredCount, 200);
  SkullGlow(alone.data(), blurA.data(), glow.data());
  std::vector<Cell> background(kScreenCells);
  SkullBackground(t, background.data());

  int glowingOutside = 0;
  for (int i = 0; i < kScreenCells; ++i) {
    const uint32_t own = covered[i] ? 65u : CellLevel(background[i]);
    const uint32_t expected = std::min(own + CellLevel(glow[i]), 80u);
    ASSERT_EQ(cells_[i], DarkCellAtLevel(expected)) << i;
    glowingOutside += !covered[i] && CellLevel(glow[i]) > 0;
  }
  // A bright object's glow reaches past its silhouette (a dim one's only
  // lifts its inside: the last pass takes 70 off), and the cube's middle is
  // at the top of the range.
  EXPECT_GT(glowingOutside, 20);
  EXPECT_EQ(CellLevel(cells_[36 * 80 + 25]), 80u);
  // Far from the cube only the noise shows.
  EXPECT_EQ(cells_[2 * 80 + 78], background[2 * 80 + 78]);
}

TEST_F(MeshEffects, LiquidDrawsTheBoxOverTheNoise) {
  ASSERT_TRUE(WriteBluePng("env_red.png", 256, 256, 30));
  ASSERT_TRUE(WriteBluePng("env_red3.png", 256, 256, 120));   // level 40 on every face
  EffectLiquid liquid("Liquid", 130000, 159000);
  EXPECT_EQ(liquid.mesh->tint, 0xE60000u);
  EXPECT_EQ(liquid.mesh->envTexture, liquid.envRed3);
  liquid.target = cells_;

  for (uint32_t lt : {0u, 6000u, 21000u}) {
    DemoClock::Get()->nowMs = 130000 + lt;
    liquid.Render();
    const std::vector<bool> covered = Coverage(liquid.mesh);
    std::vector<Cell> background(kScreenCells);
    LiquidBackground(lt, background.data());
    int coveredCount = 0;
    for (int i = 0; i < kScreenCells; ++i) {
      ASSERT_EQ(cells_[i], covered[i] ? DarkCellAtLevel(40) : background[i]) << i << " " << lt;
      coveredCount += covered[i];
    }
    EXPECT_GT(coveredCount, 50) << lt;
  }
  // At its start the camera looks straight at the box, 30.0 away: a cube of
  // half size 1.0 covers about 6.7 cells either side of the centre.
  DemoClock::Get()->nowMs = 130000;
  liquid.Render();
  EXPECT_EQ(cells_[25 * 80 + 40], DarkCellAtLevel(40));
  EXPECT_EQ(cells_[25 * 80 + 34], DarkCellAtLevel(40));
  EXPECT_NE(cells_[25 * 80 + 48] & 0xFF00u, 40u << 8);
  EXPECT_NE(cells_[15 * 80 + 40] & 0xFF00u, 40u << 8);
}

TEST_F(MeshEffects, UndecodableTexturesReadAsZero) {
  for (const char* name : {"env_red.png", "env_red2.png", "env_red3.png"}) {
    std::ofstream(name, std::ios::binary) << "this is not a png";
  }
  testing::internal::CaptureStdout();
  EffectSkullLogo skull("Skull", 1000, 15000);
  EffectLiquid liquid("Liquid", 130000, 159000);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_NE(printed.find("bitmap loading failed! env_red2.png"), std::string::npos) << printed;
  EXPECT_NE(printed.find("bitmap loading failed! env_red3.png"), std::string::npos) << printed;
  ASSERT_EQ(skull.envRed2->pixelCount, 4000);
  ASSERT_EQ(liquid.envRed3->pixelCount, 4000);

  // The 80 x 50 zero image is addressed with normals up to 256 texels across
  // and down: every read stays inside and gives 0. The objects show as dark
  // shapes; the skull's glow, fed by a dark object, adds nothing.
  std::vector<Cell> background(kScreenCells);
  skull.target = cells_;
  for (uint32_t t = 1000; t <= 15000; t += 1000) {
    DemoClock::Get()->nowMs = t;
    skull.Render();
    SkullBackground(t, background.data());
    for (int i = 0; i < kScreenCells; ++i) {
      ASSERT_EQ(cells_[i] & kObjectWordMask, 0x01E60064u) << t;
      ASSERT_TRUE(cells_[i] == background[i] || CellLevel(cells_[i]) == 0) << i << " " << t;
    }
  }
  liquid.target = cells_;
  int darkened = 0;
  for (uint32_t t = 130000; t <= 159000; t += 1000) {
    DemoClock::Get()->nowMs = t;
    liquid.Render();
    LiquidBackground(t - 130000, background.data());
    for (int i = 0; i < kScreenCells; ++i) {
      ASSERT_TRUE(cells_[i] == background[i] || cells_[i] == 0x01E60064u) << i << " " << t;
      darkened += cells_[i] != background[i];
    }
  }
  EXPECT_GT(darkened, 100);
}

TEST_F(MeshEffects, NarrowTexturesAreReadInsideTheirPixels) {
  // 16 x 8 images, every texel blue 255: clamped to 16 columns and 8 rows,
  // every read finds 255 (level 85), never a byte past the 128 pixels.
  ASSERT_TRUE(WriteBluePng("env_red.png", 16, 8, 255));
  ASSERT_TRUE(WriteBluePng("env_red2.png", 16, 8, 255));
  ASSERT_TRUE(WriteBluePng("env_red3.png", 16, 8, 255));
  // The emblem maps by texture coordinates (up to 254.0 texels) instead.
  WriteBytes("pineapple3.ase.bin", CubeMeshBytes(0x10000, 0));
  EffectSkullLogo skull("Skull", 1000, 15000);
  EffectLiquid liquid("Liquid", 130000, 159000);
  ASSERT_EQ(skull.envRed->pixelCount, 128);

  liquid.target = cells_;
  DemoClock::Get()->nowMs = 140000;
  liquid.Render();
  const std::vector<bool> box = Coverage(liquid.mesh);
  int boxCells = 0;
  for (int i = 0; i < kScreenCells; ++i) {
    if (!box[i]) continue;
    ++boxCells;
    ASSERT_EQ(cells_[i], DarkCellAtLevel(85)) << i;   // the finishing limits it to 80
  }
  EXPECT_GT(boxCells, 50);

  skull.target = cells_;
  DemoClock::Get()->nowMs = 8000;
  skull.Render();
  const std::vector<bool> emblem = Coverage(skull.mesh);
  int emblemCells = 0;
  for (int i = 0; i < kScreenCells; ++i) {
    if (!emblem[i]) continue;
    ++emblemCells;
    ASSERT_EQ(cells_[i], DarkCellAtLevel(80)) << i;   // object and glow, limited
  }
  EXPECT_GT(emblemCells, 100);
}

// ---------------------------------------------------------------------------
// Regression guard over the real programme and data: FNV-1a digests of
// finished frames through both windows and their cross-fades. Recorded once
// the checks above and those of mesh_scenes_test.cpp passed against the
// stated values; a change here means a frame changed and must be explained
// (effect, mesh pipeline, finishing, the effect cross-faded with, or one of
// pineapple3.ase.bin, box.ase.bin, env_red.png, env_red2.png, env_red3.png,
// crud.png, vignette.png).

TEST(MeshEffectsShow, PlaceInTheProgramme) {
  // Nine effects; the skull second, overlapping the logo; the liquid after
  // the wobbly cube and before the twister.
  effects_test::RealShow show;
  const std::vector<Effect*>& effects = *Timeline::Get()->effects;
  ASSERT_EQ(effects.size(), 9u);
  auto* skull = dynamic_cast<EffectSkullLogo*>(effects[1]);
  ASSERT_NE(skull, nullptr);
  EXPECT_STREQ(skull->name, "Skull");
  EXPECT_EQ(skull->startMs, 1000u);
  EXPECT_EQ(skull->endMs, 15000u);
  EXPECT_NE(dynamic_cast<EffectQuickLogo*>(effects[0]), nullptr);
  EXPECT_NE(dynamic_cast<EffectTunnel*>(effects[2]), nullptr);
  auto* liquid = dynamic_cast<EffectLiquid*>(effects[6]);
  ASSERT_NE(liquid, nullptr);
  EXPECT_STREQ(liquid->name, "Liquid");
  EXPECT_EQ(liquid->startMs, 130000u);
  EXPECT_EQ(liquid->endMs, 159000u);
  EXPECT_NE(dynamic_cast<EffectWobblyCube*>(effects[5]), nullptr);
  EXPECT_NE(dynamic_cast<EffectTwister*>(effects[7]), nullptr);
  // The packed meshes and maps are the ones loaded.
  EXPECT_EQ(skull->envRed2->width, 256u);
  EXPECT_EQ(liquid->envRed3->height, 256u);
  EXPECT_GT(skull->mesh->faceCount, 1000);
  EXPECT_GT(liquid->mesh->faceCount, 100);
}

TEST(MeshEffectsShow, FinishedFrameDigests) {
  effects_test::RealShow show;
  struct Expected {
    uint32_t ms;
    uint32_t digest;
  };
  const Expected expected[] = {
      {2000, 1144788982u},  // dark logo to skull, half way: the noise fading in
      {5000, 1623281984u},  // the emblem's face, entering from the left
      {9500, 330285689u},  // its face again, glowing eyes
      {11000, 528744630u},  // its back, turned towards the light
      {14500, 1784734926u},  // skull to tunnel, half way
      {130500, 1046861294u},  // wobbly cube to liquid, half way
      {136000, 227673524u},  // the box near the camera
      {145000, 1547797490u},  // the box far away
      {152000, 3907364392u},
      {158500, 803713290u},  // liquid to twister, half way
  };
  for (const Expected& e : expected) {
    EXPECT_EQ(effects_test::FrameDigest(show.Frame(e.ms)), e.digest) << e.ms;
  }
}

}  // namespace
