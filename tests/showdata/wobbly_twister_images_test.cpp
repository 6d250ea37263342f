// The warp textures and the twister's images, checked for what their readers
// depend on: the wobbler reads wobbly.png at blue / 15 with row = angle and
// column = band position, the cube wobbly2.png at blue / 3 with the axes
// exchanged and then blooms it; the twister reads uvtwist.png (red texture
// column, 0..10 uncovered; green twice the row offset, below 2 the second
// texture; blue darkness) and the two textures' blue, rows modulo 255.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

#include "tests/showdata/decoded_image.h"
#include "tools/showdata/show_images.h"

namespace {

// ---------------------------------------------------------------------------
// wobbly.png and wobbly2.png.

class WarpTextures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    wobbly_ = new DecodedImage(RoundTrip(showdata::MakeWobbly()));
    wobbly2_ = new DecodedImage(RoundTrip(showdata::MakeWobbly2()));
  }
  static void TearDownTestSuite() {
    delete wobbly_;
    delete wobbly2_;
  }
  static DecodedImage* wobbly_;
  static DecodedImage* wobbly2_;
};

DecodedImage* WarpTextures::wobbly_ = nullptr;
DecodedImage* WarpTextures::wobbly2_ = nullptr;

TEST_F(WarpTextures, Sizes) {
  EXPECT_EQ(wobbly_->width, 256);
  EXPECT_EQ(wobbly_->height, 256);
  EXPECT_EQ(wobbly2_->width, 256);
  EXPECT_EQ(wobbly2_->height, 256);
}

TEST_F(WarpTextures, WobblySectorsAlongTheAngleWrapSeamlessly) {
  // Down a column (the angle) the sectors alternate: count the light runs.
  const int column = 200;
  int runs = 0;
  for (int row = 0; row < 256; ++row) {
    const bool light = wobbly_->Blue(column, row) > 150;
    const bool before = wobbly_->Blue(column, (row + 255) % 256) > 150;
    runs += light && !before;
  }
  EXPECT_EQ(runs, 8);
  // Row 255 runs on into row 0 (the angle wraps): no step bigger than
  // between any two neighbouring rows.
  int biggest = 0;
  for (int row = 0; row + 1 < 256; ++row)
    biggest = std::max(biggest, std::abs(wobbly_->Blue(column, row + 1) - wobbly_->Blue(column, row)));
  EXPECT_LE(std::abs(wobbly_->Blue(column, 0) - wobbly_->Blue(column, 255)), biggest);
}

TEST_F(WarpTextures, WobblyBandsBrightenOutwardAndDropAtTheirEdge) {
  // Row 0 lies in a light sector, row 16 in a dark one.
  for (int row : {0, 16}) {
    // Across a band the level only rises...
    for (int col = 0; col + 1 < 256; ++col) EXPECT_LE(wobbly_->Blue(col, row), wobbly_->Blue(col + 1, row));
    // ...and falls back at the next power of e: a visible ring (several
    // levels of blue / 15).
    EXPECT_GE(wobbly_->Blue(255, row) / 15 - wobbly_->Blue(0, row) / 15, row == 0 ? 10 : 3) << row;
  }
  EXPECT_GE(wobbly_->Blue(255, 0) / 15, 15);
  EXPECT_LE(wobbly_->Blue(255, 16) / 15, 6);
}

TEST_F(WarpTextures, WobblyStaysADimGround) {
  // Levels blue / 15 from 1 to 17, averaging well below the letters.
  long sum = 0;
  std::set<int> levels;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const int level = wobbly_->Blue(x, y) / 15;
      levels.insert(level);
      sum += level;
    }
  EXPECT_GE(levels.size(), 15u);
  EXPECT_LE(*levels.rbegin(), 17);
  EXPECT_GE(sum / 65536, 4);
  EXPECT_LE(sum / 65536, 9);
}

TEST_F(WarpTextures, CubeTextureIsDarkWithBrightSpokesAndRings) {
  // Mostly dark so that the bloom (about 4 x mean level - 30) does not wash
  // the frame out, with lines bright enough to glow.
  long sum = 0;
  int bright = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      sum += wobbly2_->Blue(x, y) / 3;
      bright += wobbly2_->Blue(x, y) >= 180;
    }
  EXPECT_LE(sum / 65536, 16);
  EXPECT_GE(bright, 65536 * 5 / 100);
  EXPECT_LE(bright, 65536 * 25 / 100);
  // The rings: the first and last rows (band edges) are lit all along.
  for (int x = 0; x < 256; ++x) {
    EXPECT_GE(wobbly2_->Blue(x, 0), 180) << x;
    EXPECT_GE(wobbly2_->Blue(x, 255), 180) << x;
  }
  // The spokes: 12 bright peaks across a row in the middle of the band,
  // and the angle wraps without a seam.
  int spokes = 0;
  for (int x = 0; x < 256; ++x) {
    const bool lit = wobbly2_->Blue(x, 100) >= 180;
    const bool before = wobbly2_->Blue((x + 255) % 256, 100) >= 180;
    spokes += lit && !before;
  }
  EXPECT_EQ(spokes, 12);
}

// ---------------------------------------------------------------------------
// uvtwist.png.

class TwisterMap : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { map_ = new DecodedImage(RoundTrip(showdata::MakeUvTwist())); }
  static void TearDownTestSuite() { delete map_; }
  static int Red(int x, int y) { return map_->Pixel(x, y)[0]; }
  static int Green(int x, int y) { return map_->Pixel(x, y)[1]; }
  static int Blue(int x, int y) { return map_->Pixel(x, y)[2]; }
  // First and last covered column of a row (red above 10).
  static std::pair<int, int> Span(int row) {
    int first = -1, last = -1;
    for (int x = 0; x < 75; ++x)
      if (Red(x, row) > 10) {
        if (first < 0) first = x;
        last = x;
      }
    return {first, last};
  }
  static DecodedImage* map_;
};

DecodedImage* TwisterMap::map_ = nullptr;

TEST_F(TwisterMap, SizeAndCoverage) {
  ASSERT_EQ(map_->width, 75);
  ASSERT_EQ(map_->height, 239);
  for (int y = 0; y < 239; ++y) {
    const auto [first, last] = Span(y);
    ASSERT_GE(first, 0) << y;
    // One solid bar: covered from first to last, black outside.
    for (int x = 0; x < 75; ++x) {
      if (x >= first && x <= last) {
        EXPECT_GE(Red(x, y), 11) << x << "," << y;
        EXPECT_LE(Red(x, y), 250) << x << "," << y;
      } else {
        EXPECT_EQ(Red(x, y), 0) << x << "," << y;
        EXPECT_EQ(Green(x, y), 0) << x << "," << y;
        EXPECT_EQ(Blue(x, y), 0) << x << "," << y;
      }
    }
    // Every silhouette has an edge the effect brightens (red below 70).
    EXPECT_LT(Red(first, y), 70) << y;
    EXPECT_LT(Red(last, y), 70) << y;
  }
}

TEST_F(TwisterMap, WidthFollowsTheTurnOfASquareBar) {
  // Facing (row 0): one face, the bar's side, 44 columns. Turned by 45
  // degrees: the diagonal, 44 x sqrt(2) = 62 columns. Never wider.
  const auto [f0, l0] = Span(0);
  EXPECT_NEAR(l0 - f0 + 1, 44, 1);
  int widest = 0;
  for (int y = 0; y < 239; ++y) widest = std::max(widest, Span(y).second - Span(y).first + 1);
  EXPECT_NEAR(widest, 62, 1);
  // Centred on the map's middle column.
  for (int y = 0; y < 239; ++y) {
    const auto [first, last] = Span(y);
    EXPECT_LE(std::abs((first + last) - 74), 2) << y;
  }
  // A quarter turn (59.75 rows) later it looks the same again.
  for (int y = 0; y + 60 < 239; ++y) {
    const int a = Span(y).second - Span(y).first, b = Span(y + 60).second - Span(y + 60).first;
    EXPECT_LE(std::abs(a - b), 2) << y;
  }
}

TEST_F(TwisterMap, ConsecutiveRowsAreConsecutiveAnglesAndTheLastRunsOnIntoTheFirst) {
  // The picture changes a little from row to row, and as little from row
  // 238 to row 0 as anywhere else.
  auto change = [](int a, int b) {
    int differ = 0;
    for (int x = 0; x < 75; ++x) differ += std::abs(Red(x, a) - Red(x, b)) > 8;
    return differ;
  };
  int biggest = 0;
  for (int y = 0; y + 1 < 239; ++y) biggest = std::max(biggest, change(y, y + 1));
  EXPECT_LE(change(238, 0), biggest);
  EXPECT_GT(change(0, 30), biggest);   // an eighth of a turn shows
  // The angles themselves: k / 239 of a turn.
  EXPECT_DOUBLE_EQ(showdata::TwisterMapAngle(0), 0.0);
  EXPECT_NEAR(showdata::TwisterMapAngle(239), 2 * std::numbers::pi, 1e-12);
}

TEST_F(TwisterMap, FacesAlternateTexturesAndAreShadedByTheirAngle) {
  for (int y = 0; y < 239; ++y) {
    int previousFace = -1;
    for (int x = 0; x < 75; ++x) {
      const showdata::TwisterMapPixel p = showdata::TwisterMapAt(y, x);
      EXPECT_EQ(p.red, Red(x, y));
      if (p.face < 0) continue;
      // Faces 0 and 2 take the second texture, 1 and 3 the first.
      EXPECT_EQ(Green(x, y) < 2, p.face % 2 == 0) << x << "," << y;
      if (previousFace >= 0 && previousFace != p.face) {
        EXPECT_EQ((previousFace + p.face) % 2, 1) << "neighbouring faces share a texture at " << x << "," << y;
      }
      previousFace = p.face;
    }
  }
  // Facing the viewer (row 0, the middle): fully lit; an eighth of a turn
  // round (45 degrees): cos 45 = 0.707, darkness 75.
  EXPECT_EQ(Blue(37, 0), 0);
  const double angle = showdata::TwisterMapAngle(30);   // 45.2 degrees
  EXPECT_NEAR(Blue(20, 30), 255.0 * (1.0 - std::cos(angle)), 1.5);
  EXPECT_NEAR(Blue(55, 30), 255.0 * (1.0 - std::cos(std::numbers::pi / 2 - angle)), 1.5);
}

TEST_F(TwisterMap, TextureColumnsRunAcrossEachFace) {
  // Inside a face the column grows from left to right through 70..250; the
  // face's one-pixel edges lie in the edge strip below 70.
  const auto [first, last] = Span(0);
  EXPECT_LT(Red(first, 0), 70);
  EXPECT_LT(Red(last, 0), 70);
  EXPECT_LE(Red(first + 1, 0), 80);
  EXPECT_GE(Red(last - 1, 0), 240);
  for (int x = first + 1; x < last - 1; ++x) {
    EXPECT_LT(Red(x, 0), Red(x + 1, 0)) << x;
    EXPECT_GE(Red(x, 0), 70);
  }
}

// ---------------------------------------------------------------------------
// twisttex.png and twisttex2.png.

class TwisterTextures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    a_ = new DecodedImage(RoundTrip(showdata::MakeTwistTexture()));
    b_ = new DecodedImage(RoundTrip(showdata::MakeTwistTexture2()));
  }
  static void TearDownTestSuite() {
    delete a_;
    delete b_;
  }
  static DecodedImage* a_;
  static DecodedImage* b_;
};

DecodedImage* TwisterTextures::a_ = nullptr;
DecodedImage* TwisterTextures::b_ = nullptr;

TEST_F(TwisterTextures, ScrollWithoutASeamModulo255) {
  // The rows are read modulo 255: a pattern repeating every 51 rows (five
  // times in 255) runs on from row 254 into row 0.
  for (const DecodedImage* t : {a_, b_}) {
    ASSERT_EQ(t->width, 256);
    ASSERT_EQ(t->height, 256);
    for (int y = 0; y + 51 < 255; ++y)
      for (int x = 0; x < 256; ++x) ASSERT_EQ(t->Blue(x, y), t->Blue(x, y + 51)) << x << "," << y;
    // ...and it does change down the rows, so the scroll shows.
    std::set<int> values;
    for (int y = 0; y < 51; ++y) values.insert(t->Blue(150, y));
    EXPECT_GE(values.size(), 3u);
  }
}

TEST_F(TwisterTextures, BrightestFacesStayBelowTheLevelCarry) {
  // A lit face multiplies the texel by up to 1.2, an edge by up to 1.5;
  // above 255 the level would wrap round to dark.
  for (const DecodedImage* t : {a_, b_}) {
    for (int y = 0; y < 255; ++y) {
      for (int x = 11; x <= 250; ++x) {
        const double most = x < 70 ? 1.5 : 1.2;
        ASSERT_LT(t->Blue(x, y) * most, 256.0) << x << "," << y;
      }
    }
  }
}

TEST_F(TwisterTextures, TheTwoFacePairsLookDifferent) {
  long differ = 0;
  for (int y = 0; y < 255; ++y)
    for (int x = 70; x <= 250; ++x) differ += std::abs(a_->Blue(x, y) - b_->Blue(x, y));
  EXPECT_GE(differ / (255 * 181), 10);
  // Both faces' edge strips carry bright dashes that scroll with them.
  for (const DecodedImage* t : {a_, b_}) {
    std::set<int> strip;
    for (int y = 0; y < 51; ++y) strip.insert(t->Blue(40, y));
    EXPECT_GE(*strip.rbegin(), 120);
    EXPECT_LE(*strip.begin(), 40);
  }
}

}  // namespace
