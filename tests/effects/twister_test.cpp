// The twister: its per-frame geometry, shading and level carry, and its
// render over made-up maps and textures, also of the wrong size.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/core/effect.h"
#include "engine/effects/effects.h"
#include "engine/effects/twister.h"
#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"
#include "tests/support/test_bitmaps.h"

namespace {

constexpr Cell kGround = 0x01E64632;   // hue 230, level 70, saturation 50

float RowLight(int r) { return static_cast<float>(std::sin(static_cast<double>(r * 0.0625f))) * 1.2f; }

TEST(TwisterGeometry, AtLocalTimeZeroEveryRowShowsMapRow72) {
  const TwisterFrame f = TwisterFrameAt(0);
  EXPECT_EQ(f.base, 50);
  EXPECT_EQ(f.twist, 0.0f);
  EXPECT_EQ(f.rowShift, 5.0f);
  EXPECT_EQ(f.scroll, 0u);
  for (int r = 0; r < kScreenHeight; ++r) {
    EXPECT_EQ(TwisterMapRow(f, r), 72) << r;   // 550 mod 239
    EXPECT_EQ(TwisterRowShift(f, r), 5 * r) << r;
  }
}

TEST(TwisterGeometry, LaterFramesWorkedInSinglePrecision) {
  // Worked by hand in single precision. At 12345 ms the twist is negative,
  // so the row offsets truncate toward zero (-1.57 gives -1, -9.67 gives -9).
  TwisterFrame f = TwisterFrameAt(12345);
  EXPECT_EQ(f.base, 705);
  EXPECT_EQ(f.scroll, 1543u);
  EXPECT_NEAR(f.twist, -0.20745677f, 1e-6f);
  EXPECT_EQ(TwisterMapRow(f, 0), 10);
  EXPECT_EQ(TwisterMapRow(f, 10), 9);
  EXPECT_EQ(TwisterMapRow(f, 49), 1);
  EXPECT_EQ(TwisterRowShift(f, 10), 51);
  EXPECT_EQ(TwisterRowShift(f, 49), 250);

  f = TwisterFrameAt(1000);
  EXPECT_EQ(f.base, 92);
  EXPECT_EQ(f.scroll, 125u);
  EXPECT_EQ(TwisterMapRow(f, 10), 102);
  EXPECT_EQ(TwisterMapRow(f, 49), 50);
  EXPECT_EQ(TwisterRowShift(f, 49), 277);

  f = TwisterFrameAt(30000);   // the last frame
  EXPECT_EQ(f.base, 1557);
  EXPECT_EQ(f.scroll, 3750u);
  EXPECT_EQ(TwisterMapRow(f, 0), 145);
  EXPECT_EQ(TwisterMapRow(f, 49), 120);
}

TEST(TwisterGeometry, MapRowsStayInTheMapOverTheWholeWindow) {
  for (uint32_t t = 0; t <= 30000; t += 7) {
    const TwisterFrame f = TwisterFrameAt(t);
    ASSERT_LE(std::fabs(f.twist), 5.5f);
    ASSERT_GT(f.rowShift, 0.0f);
    for (int r = 0; r < kScreenHeight; r += 7) {
      const int32_t row = TwisterMapRow(f, r);
      ASSERT_GE(row, 0);
      ASSERT_LT(row, kTwisterMapRows);
    }
  }
  // A frame far outside the show's range still lands inside the map.
  const TwisterFrame odd{0, -100000, 5.5f, 2.25f};
  for (int r = 0; r < kScreenHeight; ++r) {
    EXPECT_GE(TwisterMapRow(odd, r), 0);
    EXPECT_LT(TwisterMapRow(odd, r), kTwisterMapRows);
  }
}

TEST(TwisterShading, RowLightAndEdges) {
  EXPECT_EQ(TwisterRowLight(0), 0.0f);
  EXPECT_NEAR(TwisterRowLight(25), 1.2f, 1e-4f);
  EXPECT_NEAR(TwisterRowLight(49), 0.0948f, 1e-4f);
  // Fully lit interior at the middle row: s = t.
  EXPECT_EQ(TwisterLevel(50, 100, 0, TwisterRowLight(25)), 59u);   // 50 x 1.19996
  // Fully dark interior: nothing; the same pixel as an edge gets 0.3.
  EXPECT_EQ(TwisterLevel(200, 100, 255, 1.2f), 0u);
  EXPECT_EQ(TwisterLevel(200, 69, 255, 1.2f), 60u);
  EXPECT_EQ(TwisterLevel(200, 70, 255, 1.2f), 0u);
  EXPECT_EQ(TwisterLevel(200, 250, 255, 1.2f), 0u);
  EXPECT_EQ(TwisterLevel(200, 251, 255, 1.2f), 60u);
  // The top row has no light of its own: edges only.
  EXPECT_EQ(TwisterLevel(100, 100, 0, TwisterRowLight(0)), 0u);
  EXPECT_EQ(TwisterLevel(100, 20, 0, TwisterRowLight(0)), 30u);
  // A negative light is taken as 0.
  EXPECT_EQ(TwisterLevel(100, 100, 0, -1.0f), 0u);
}

TEST(TwisterShading, LevelsAbove255CarryIntoTheHue) {
  // The example of a product of 300: level 44 on hue 231.
  const Cell c = CellOrCarriedLevel(0x01E60032, 300);
  EXPECT_EQ(CellHue(c), 231u);
  EXPECT_EQ(CellLevel(c), 44u);
  EXPECT_EQ(c, 0x01E72C32u);
  // The largest level: texel 255 on a lit edge of the middle row.
  EXPECT_EQ(TwisterLevel(255, 30, 0, TwisterRowLight(25)), 382u);
}

// The twister with its three images replaced (the constructor loads the
// show's, which are released here).
class TwisterRender : public ::testing::Test {
 protected:
  void SetUp() override {
    DemoClock::Get();
    twister_ = new EffectTwister("Twister", 158000, 188000);
    twister_->target = cells_;
  }
  void TearDown() override {
    delete twister_;
    DemoClock::Release();
    ResourceTable::Release();
  }
  void Replace(Bitmap* map, Bitmap* a, Bitmap* b) {
    ReleaseBitmap(twister_->uvMap);
    ReleaseBitmap(twister_->textureA);
    ReleaseBitmap(twister_->textureB);
    twister_->uvMap = map;
    twister_->textureA = a;
    twister_->textureB = b;
  }
  void RenderAt(uint32_t localMs) {
    DemoClock::Get()->nowMs = 158000 + localMs;
    twister_->Render();
  }
  Cell At(int x, int y) const { return cells_[y * kScreenWidth + x]; }

  EffectTwister* twister_ = nullptr;
  Cell cells_[kScreenCells];
};

TEST_F(TwisterRender, FirstFrameReadsMapRow72WithItsRowShift) {
  // Only map row 72 covers anything: a fully dark edge pixel (s = 0.3) of the
  // first texture (green 2: row offset 1). Texture A holds its row number in
  // column 40, texture B nothing.
  Bitmap* map = MakeFilledBitmap(75, 239, 0);
  for (int j = 0; j < 75; ++j) map->pixels[72 * 75 + j] = MakeRgbCell(40, 2, 255);
  Bitmap* a = MakeFilledBitmap(256, 256, 0);
  for (uint32_t v = 0; v < 256; ++v) a->pixels[v * 256 + 40] = v;
  Replace(map, a, MakeFilledBitmap(256, 256, 0));
  RenderAt(0);
  for (int r = 0; r < kScreenHeight; ++r) {
    // Texture row 0 + 1 + 5r, level trunc(texel x 0.3f).
    const uint32_t level = static_cast<uint32_t>(static_cast<float>(1 + 5 * r) * 0.3f);
    for (int x = 0; x < kScreenWidth; ++x) {
      const Cell expected = x >= 3 && x <= 77 ? CellOrCarriedLevel(0x01E60032, level) : kGround;
      ASSERT_EQ(At(x, r), expected) << x << "," << r;
    }
  }
  EXPECT_EQ(CellLevel(At(3, 49)), 73u);   // 246 x 0.3
}

TEST_F(TwisterRender, RedChoosesCoverageAndColumnGreenTheTexture) {
  Bitmap* map = MakeFilledBitmap(75, 239, 0);
  uint32_t* row = map->pixels + 72 * 75;
  row[0] = MakeRgbCell(10, 2, 255);    // red 10: not covered
  row[1] = MakeRgbCell(11, 2, 255);    // red 11: covered, column 11
  row[2] = MakeRgbCell(255, 2, 255);   // red 255: column 0
  row[3] = MakeRgbCell(30, 0, 255);    // green 0: second texture
  row[4] = MakeRgbCell(30, 1, 255);    // green 1: second texture
  row[5] = MakeRgbCell(30, 3, 255);    // green 3: first texture, offset 1
  row[6] = MakeRgbCell(30, 200, 255);  // green 200: offset 100
  Bitmap* a = MakeFilledBitmap(256, 256, 0);
  Bitmap* b = MakeFilledBitmap(256, 256, 0);
  a->pixels[256 + 11] = 100;    // row 1 (green 2), column 11
  a->pixels[256 + 0] = 200;     // row 1, column 0
  a->pixels[256 + 255] = 77;    // column 255 is never read
  b->pixels[30] = 50;           // row 0, column 30
  a->pixels[30] = 150;
  a->pixels[1 * 256 + 30] = 160;
  a->pixels[100 * 256 + 30] = 170;
  Replace(map, a, b);
  RenderAt(0);
  // Row 0: no row shift, no scroll; every covered pixel is an edge (s = 0.3).
  EXPECT_EQ(At(3, 0), kGround);
  EXPECT_EQ(At(4, 0), CellOrCarriedLevel(0x01E60032, 30));   // 100 x 0.3
  EXPECT_EQ(At(5, 0), CellOrCarriedLevel(0x01E60032, 60));   // 200 x 0.3
  EXPECT_EQ(At(6, 0), CellOrCarriedLevel(0x01E60032, 15));   // 50 x 0.3
  EXPECT_EQ(At(7, 0), CellOrCarriedLevel(0x01E60032, 15));
  EXPECT_EQ(At(8, 0), CellOrCarriedLevel(0x01E60032, 48));   // 160 x 0.3
  EXPECT_EQ(At(9, 0), CellOrCarriedLevel(0x01E60032, 51));   // 170 x 0.3
  EXPECT_EQ(At(10, 0), kGround);   // red 0: uncovered
}

TEST_F(TwisterRender, TextureRowsScrollAndWrapModulo255) {
  Bitmap* map = MakeFilledBitmap(75, 239, 0);
  for (int k = 0; k < 239; ++k) map->pixels[k * 75] = MakeRgbCell(40, 0, 255);   // every map row, column 0
  Bitmap* b = MakeFilledBitmap(256, 256, 0);
  for (uint32_t v = 0; v < 256; ++v) b->pixels[v * 256 + 40] = v;
  b->pixels[255 * 256 + 40] = 0;   // row 255 is never read
  Replace(map, MakeFilledBitmap(256, 256, 0), b);
  // 2040 ms: 255 rows scrolled, back at row 0 (plus the row shift).
  RenderAt(2040);
  const TwisterFrame f = TwisterFrameAt(2040);
  ASSERT_EQ(f.scroll, 255u);
  for (int r = 0; r < kScreenHeight; ++r) {
    const uint32_t v = (255u + static_cast<uint32_t>(TwisterRowShift(f, r))) % 255u;
    ASSERT_EQ(At(3, r), CellOrCarriedLevel(0x01E60032, static_cast<uint32_t>(static_cast<float>(v) * 0.3f)))
        << r;
  }
  // 8 ms later the texture has moved on by one row.
  RenderAt(2048);
  EXPECT_EQ(CellLevel(At(3, 0)), static_cast<uint32_t>(1.0f * 0.3f));
  RenderAt(2048 + 8 * 10);
  EXPECT_EQ(CellLevel(At(3, 0)), static_cast<uint32_t>(11.0f * 0.3f));
}

TEST_F(TwisterRender, BrightLitEdgeCarriesIntoTheHue) {
  // Middle row, fully lit edge, texel 255: 255 x 1.49996 = 382 = 256 + 126.
  Bitmap* map = MakeFilledBitmap(75, 239, MakeRgbCell(30, 2, 0));
  Replace(map, MakeFilledBitmap(256, 256, 255), MakeFilledBitmap(256, 256, 0));
  RenderAt(0);
  const float s = RowLight(25) + 0.3f;
  EXPECT_EQ(static_cast<uint32_t>(255.0f * s), 382u);
  EXPECT_EQ(At(40, 25), 0x01E77E32u);   // hue 231, level 126, saturation 50
  // The top row: edge brightening only, 255 x 0.3 = 76.
  EXPECT_EQ(At(40, 0), CellOrCarriedLevel(0x01E60032, 76));
}

TEST_F(TwisterRender, ImagesOfTheWrongSizeReadZeroPastTheirEnd) {
  // 80 x 50 replacement images, all lit: the map rows past pixel 3999 and
  // the texture rows past 15 read 0.
  Replace(MakeFilledBitmap(80, 50, 0x00C8FF00), MakeFilledBitmap(80, 50, 255), MakeFilledBitmap(80, 50, 255));
  RenderAt(0);   // map row 72 starts at pixel 5400: nothing is covered
  for (Cell c : cells_) ASSERT_EQ(c, kGround);

  // Later the bar turns through map rows 0..53, whose pixels (partly) lie
  // inside; every map pixel past 3999 leaves the ground.
  int drawn = 0;
  for (uint32_t t = 0; t <= 30000; t += 250) {
    RenderAt(t);
    const TwisterFrame f = TwisterFrameAt(t);
    for (int r = 0; r < kScreenHeight; ++r) {
      // Red 200, green 255 (first texture, offset 127): texel 255 only where
      // the texture row (scroll + 127 + shift) mod 255 keeps pixel v x 256 + 200 inside.
      const uint32_t v = (f.scroll + 127u + static_cast<uint32_t>(TwisterRowShift(f, r))) % 255u;
      const uint32_t texel = v * 256 + 200 < 4000 ? 255 : 0;
      const Cell bar = CellOrCarriedLevel(0x01E60032, TwisterLevel(texel, 200, 0, RowLight(r)));
      for (int x = 0; x < kScreenWidth; ++x) {
        const bool inside = x >= 3 && x <= 77 && TwisterMapRow(f, r) * 75 + (x - 3) < 4000;
        ASSERT_EQ(At(x, r), inside ? bar : kGround) << t << " row " << r << " column " << x;
        drawn += inside;
      }
    }
  }
  EXPECT_GT(drawn, 0);
}

}  // namespace
