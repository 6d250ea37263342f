// Every effect built from damaged images under an empty resource table: each
// name is read from a file in the case's directory that does not decode, so
// that each image is the 80 x 50 zero image; some are then swapped for lit
// images, uniform or of the wrong size. Wherever an image is addressed past
// its end the pixel reads 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/core/angle_tables.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/effects/effects.h"
#include "engine/effects/mesh_scenes.h"
#include "engine/render3d/mesh.h"
#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"
#include "tests/support/test_bitmaps.h"

namespace {

namespace fs = std::filesystem;

constexpr Cell kTwisterGround = 0x01E64632;
constexpr Cell kUnlit = 0x01E60032;   // the tunnel's and the twister bar's word at level 0

class BrokenImages : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"tunnel.png", "pelkora.png", "qx3.png", "tovrik.png", "sambral.png", "3dfont.png",
                             "wobbly.png", "wobbly2.png", "uvtwist.png", "twisttex.png", "twisttex2.png",
                             "env_red.png", "env_red2.png", "env_red3.png"}) {
      std::ofstream(name, std::ios::binary) << "this is not a png";
    }
    for (const char* mesh : {"pineapple3.ase.bin", "box.ase.bin"})
      fs::copy_file(fs::path(std::getenv("LUMEN_SHOW_DATA_DIR")) / mesh, mesh);
    ResourceTable::Install(new ResourceTable());
    TextScreen::Get();
    BuildAngleTables();
  }
  void TearDown() override {
    ReleaseLetterFont();
    DemoClock::Release();
    ResourceTable::Release();
    TextScreen::Release();
  }
  std::vector<Cell> Render(Effect& effect, uint32_t ms) {
    DemoClock::Get()->nowMs = ms;
    std::vector<Cell> cells(kScreenCells);
    effect.target = cells.data();
    effect.Render();
    return cells;
  }
  static void Replace(Bitmap*& slot, Bitmap* with) {
    ReleaseBitmap(slot);
    slot = with;
  }
};

int Count(const std::vector<Cell>& frame, Cell word) {
  return static_cast<int>(std::count(frame.begin(), frame.end(), word));
}

TEST_F(BrokenImages, TunnelCreditsBlackOutWhereTheyReadZero) {
  EffectTunnel tunnel("Tunnel", 14000, 45000);
  EXPECT_EQ(tunnel.texture->width * tunnel.texture->height, 4000u);   // the zero image
  // Fully shown, the zero credit blacks out every cell, a lit 4 x 3 one all
  // but its 12 pixels.
  EXPECT_EQ(Count(Render(tunnel, 17000), kUnlit), kScreenCells);
  Replace(tunnel.credits[1], MakeFilledBitmap(4, 3, 255));
  const std::vector<Cell> frame = Render(tunnel, 22000);
  EXPECT_EQ(std::count(frame.begin() + 12, frame.end(), kUnlit), kScreenCells - 12);
}

TEST_F(BrokenImages, TwisterShowsItsGroundWhereTheMapReadsZero) {
  EffectTwister twister("Twister", 158000, 188000);
  // 80 x 50 images, all lit: the first frame's map row 72 starts at pixel
  // 5400, past the end; later the bar turns through rows partly inside.
  Replace(twister.uvMap, MakeFilledBitmap(80, 50, 0x00C8FF00));
  Replace(twister.textureA, MakeFilledBitmap(80, 50, 255));
  EXPECT_EQ(Count(Render(twister, 158000), kTwisterGround), kScreenCells);
  int bar = 0;
  for (uint32_t ms = 158000; ms <= 188000; ms += 1000) {
    for (Cell c : Render(twister, ms)) {
      ASSERT_TRUE(c == kTwisterGround || (c & 0xFFFE00FFu) == kUnlit) << std::hex << c;
      bar += c != kTwisterGround;
    }
  }
  EXPECT_GT(bar, 0);
}

// Uniform 256 x 256 textures: the cube takes a third of the texel's blue, at
// most 80; its bloom keeps to 80 and its -30 keeps faint blur away. (The
// wobbler's fifteenth and its bloom: the whole-show digests.)
TEST_F(BrokenImages, CubeLevelsFromUniformTextures) {
  EffectWobblyCube cube("Wobbler", 100000, 131000);
  const std::pair<uint32_t, uint32_t> cases[] = {{240, 80}, {255, 80}, {0x00FFFF11, 5}};   // 17 / 3: too faint to bloom
  for (const auto& [texel, level] : cases) {
    Replace(cube.texture, MakeFilledBitmap(256, 256, texel));
    EXPECT_EQ(Count(Render(cube, 100000), DarkCellAtLevel(level)), kScreenCells) << std::hex << texel;
  }
}

TEST_F(BrokenImages, WobblyCubeReadsZeroPastASmallTexture) {
  EffectWobblyCube cube("Wobbler", 100000, 131000);
  // Lit 80 x 50: the warp addresses up to pixel 65535; bytes 0..15 of the
  // band row land inside, the rest read 0.
  Replace(cube.texture, MakeFilledBitmap(80, 50, 255));
  for (uint32_t ms : {100000u, 107000u, 118500u, 131000u}) {
    int dark = 0;
    for (Cell c : Render(cube, ms)) {
      ASSERT_EQ(c & 0xFFFF00FFu, kCellDark);
      ASSERT_LE(CellLevel(c), 80u);
      dark += CellLevel(c) == 0;
    }
    EXPECT_GT(dark, 0) << ms;
  }
}

TEST_F(BrokenImages, WobblerDrawsOnlyWhatTheSmallFontHolds) {
  Replace(LoadLetterFont()->bitmap, MakeFilledBitmap(80, 50, 255));
  EffectWobbly wobbly("Wobbler", 71000, 101000);
  // Font pixel ((letter - 97) x 16 + gy) x 80 + frame x 16 + gx lies inside
  // the 4000 pixels only for letters a, b, c and the first rows of d: the
  // other letters of the greetings draw nothing.
  int lit = 0;
  for (uint32_t ms = 72000; ms <= 101000; ms += 1000) {
    for (Cell c : Render(wobbly, ms)) {
      ASSERT_EQ(c & 0xFFFE00FFu, kCellDark & 0xFFFE00FFu) << ms;   // hue 230 or 231
      ASSERT_LE(CellLevel(c), 80u) << ms;
      lit += CellLevel(c) > 0;
    }
  }
  EXPECT_GT(lit, 0);
  ReleaseLetterFont();   // without a font no letter draws
  EXPECT_EQ(Count(Render(wobbly, 80000), kCellDark), kScreenCells);
}

// Zero maps: the objects show as dark shapes over the noise, and the skull's
// glow, fed by a dark object, adds nothing. Then 16 x 8 maps, every texel
// 255: clamped to 16 columns and 8 rows, every read finds 255 (level 85),
// never a byte past the 128 pixels.
TEST_F(BrokenImages, MeshObjectsReadOnlyInsideTheirMaps) {
  EffectSkullLogo skull("Skull", 1000, 15000);
  EffectLiquid liquid("Liquid", 130000, 159000);
  struct Scene { Effect* effect; void (*background)(uint32_t, Cell*); uint32_t start, end, clockStart; };
  const Scene scenes[] = {{&skull, SkullBackground, 1000, 15000, 0},
                          {&liquid, LiquidBackground, 130000, 159000, 130000}};
  std::vector<Cell> background(kScreenCells);
  for (const Scene& s : scenes) {
    int shapes = 0;
    for (uint32_t ms = s.start; ms <= s.end; ms += 1000) {
      const std::vector<Cell> frame = Render(*s.effect, ms);
      s.background(ms - s.clockStart, background.data());
      for (int i = 0; i < kScreenCells; ++i) {
        ASSERT_TRUE(frame[i] == background[i] || frame[i] == kCellDark) << i << " " << ms;
        shapes += frame[i] != background[i];
      }
    }
    EXPECT_GT(shapes, 100) << s.start;
  }
  for (Bitmap** map : {&skull.envRed, &skull.envRed2, &liquid.envRed, &liquid.envRed3})
    Replace(*map, MakeFilledBitmap(16, 8, 255));
  std::tie(skull.mesh->uvTexture, skull.mesh->envTexture) = std::tuple(skull.envRed, skull.envRed2);
  std::tie(liquid.mesh->uvTexture, liquid.mesh->envTexture) = std::tuple(liquid.envRed, liquid.envRed3);
  LiquidBackground(10000, background.data());
  const std::vector<Cell> frame = Render(liquid, 140000);
  for (int i = 0; i < kScreenCells; ++i) ASSERT_TRUE(frame[i] == background[i] || frame[i] == DarkCellAtLevel(85)) << i;
  EXPECT_GT(Count(frame, DarkCellAtLevel(85)), 1000);
  EXPECT_GT(Count(Render(skull, 8000), DarkCellAtLevel(80)), 500);   // the emblem: object and glow limited to 80
}

}  // namespace
