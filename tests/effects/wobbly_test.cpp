// The wobbler and the wobbly cube: the complex warp, the greetings layout and
// letter drawing, the bloom, and both renders over made-up textures.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "engine/core/effect.h"
#include "engine/core/frame_finisher.h"
#include "engine/core/timeline.h"
#include "engine/effects/bloom.h"
#include "engine/effects/effects.h"
#include "engine/effects/warp.h"
#include "engine/effects/wobbly.h"
#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"
#include "tests/support/test_bitmaps.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---------------------------------------------------------------------------
// The warp.

TEST(Warp, OffsetsAtLocalTimeZero) {
  for (const WarpOffsets& o : {WobblyWarpOffsets(0), WobblyCubeWarpOffsets(0)}) {
    EXPECT_DOUBLE_EQ(o.p1, 2.8);
    EXPECT_DOUBLE_EQ(o.p2, 0.0);
    EXPECT_DOUBLE_EQ(o.p3, 3.7);
    EXPECT_DOUBLE_EQ(o.p4, 0.3);
    EXPECT_DOUBLE_EQ(o.p5, 2.45);
    EXPECT_DOUBLE_EQ(o.p6, -0.1);
  }
}

TEST(Warp, TheCubeRunsAtHalfSpeedWithItsOwnSixthOffset) {
  // T = 1000 ms x 0.5 for the wobbler, 2000 ms x 0.25 for the cube: the same
  // T, but the cube's periods are shorter and P6 has its own sine.
  const WarpOffsets w = WobblyWarpOffsets(1000);
  EXPECT_DOUBLE_EQ(w.p1, 2.4 * std::cos(500.0 / 400) + 0.4);
  EXPECT_DOUBLE_EQ(w.p2, 2.1 * std::sin(500.0 / 250));
  EXPECT_DOUBLE_EQ(w.p6, w.p2 - 0.1);
  const WarpOffsets c = WobblyCubeWarpOffsets(2000);
  EXPECT_DOUBLE_EQ(c.p1, 2.4 * std::cos(500.0 / 200) + 0.4);
  EXPECT_DOUBLE_EQ(c.p3, 3.7 * std::cos(500.0 / 350));
  EXPECT_DOUBLE_EQ(c.p4, 3.8 * std::sin(500.0 / 250) + 0.3);
  EXPECT_DOUBLE_EQ(c.p5, 2.75 * std::cos(500.0 / 250) - 0.3);
  EXPECT_DOUBLE_EQ(c.p6, 2.1 * std::sin(500.0 / 450) - 0.1);
}

TEST(Warp, SmithDivisionOnBothBranches) {
  // (1 + 2i) / (3 + 4i) = (11 + 2i) / 25; |q| > |p| takes the second branch.
  WarpComplex q = SmithDivide({1, 2}, {3, 4});
  EXPECT_NEAR(q.re, 0.44, 1e-15);
  EXPECT_NEAR(q.im, 0.08, 1e-15);
  // (1 + 2i) / (4 + 3i) = (10 + 5i) / 25; |p| > |q|.
  q = SmithDivide({1, 2}, {4, 3});
  EXPECT_NEAR(q.re, 0.4, 1e-15);
  EXPECT_NEAR(q.im, 0.2, 1e-15);
  // Equal parts take the second branch: (2 + 0i) / (1 + i) = 1 - i.
  q = SmithDivide({2, 0}, {1, 1});
  EXPECT_DOUBLE_EQ(q.re, 1.0);
  EXPECT_DOUBLE_EQ(q.im, -1.0);
  // Tiny and huge divisors stay in range where the textbook formula would not.
  q = SmithDivide({1e-300, 0}, {1e-300, 1e-300});
  EXPECT_DOUBLE_EQ(q.re, 0.5);
  EXPECT_DOUBLE_EQ(q.im, -0.5);
}

TEST(Warp, ZeroOrNonFiniteDivisorGivesNaN) {
  const double inf = std::numeric_limits<double>::infinity();
  for (WarpComplex d : {WarpComplex{0, 0}, WarpComplex{-0.0, 0}, WarpComplex{inf, 1}, WarpComplex{1, inf}, WarpComplex{kNaN, 0}}) {
    const WarpComplex q = SmithDivide({1, 1}, d);
    EXPECT_TRUE(std::isnan(q.re));
    EXPECT_TRUE(std::isnan(q.im));
  }
}

TEST(Warp, TextureBytes) {
  EXPECT_EQ(WarpTextureByte(0.0), 0u);
  EXPECT_EQ(WarpTextureByte(1.0), 255u);
  EXPECT_EQ(WarpTextureByte(0.5), 127u);        // 127.5 truncated
  EXPECT_EQ(WarpTextureByte(0.999), 254u);
  EXPECT_EQ(WarpTextureByte(-0.003), 0u);       // -0.765 truncates toward zero
  EXPECT_EQ(WarpTextureByte(-0.01), 254u);      // -2 AND 255
  EXPECT_EQ(WarpTextureByte(2.0), 254u);        // 510 AND 255
  // NaN and out-of-range values are the integer minimum, low byte 0.
  EXPECT_EQ(WarpTextureByte(kNaN), 0u);
  EXPECT_EQ(WarpTextureByte(1e300), 0u);
  EXPECT_EQ(WarpTextureByte(-1e300), 0u);
}

// Offsets that make z + a equal z + b, so W = 1 / (z + c); at cell (0, 0)
// (x = 3, y = 2) c is chosen to make z + c a given value.
WarpOffsets OneOver(WarpComplex zc) { return {0.0, 0.0, 0.0, 0.0, zc.re - 3.0, zc.im - 2.0}; }

TEST(Warp, AngleAndBandOfKnownPoints) {
  // z + c = 0.5: W = 2, angle 0, in the band 1..e.
  WarpSample s = WarpAt(OneOver({0.5, 0.0}), 0, 0);
  EXPECT_DOUBLE_EQ(s.angle, 0.0);
  EXPECT_NEAR(s.band, (2.0 - 1.0) / (2.718281828459045 - 1.0), 1e-15);
  // z + c = -4i: W = 0.25i, a quarter turn, first band 0..1.
  s = WarpAt(OneOver({0.0, -4.0}), 0, 0);
  EXPECT_NEAR(s.angle, 0.25, 1e-12);
  EXPECT_NEAR(s.band, 0.25, 1e-15);
  // z + c = 0.1i: W = -10i, three quarters of a turn, band e^2..e^3.
  s = WarpAt(OneOver({0.0, 0.1}), 0, 0);
  EXPECT_NEAR(s.angle, 0.75, 1e-12);
  const double e = 2.718281828459045;
  EXPECT_NEAR(s.band, (10.0 - e * e) / (e * e * e - e * e), 1e-12);
  // z + c = -1: W = -1, half a turn; R = 1 is not above the first bound.
  s = WarpAt(OneOver({-1.0, 0.0}), 0, 0);
  EXPECT_NEAR(s.angle, 0.5, 1e-12);
  EXPECT_DOUBLE_EQ(s.band, 1.0);
}

TEST(Warp, ZeroDivisorSelectsTexelZero) {
  const WarpSample s = WarpAt(OneOver({0.0, 0.0}), 0, 0);
  EXPECT_TRUE(std::isnan(s.angle));
  EXPECT_TRUE(std::isnan(s.band));
  EXPECT_EQ(WarpTextureByte(s.angle) * 256 + WarpTextureByte(s.band), 0u);
}

// ---------------------------------------------------------------------------
// The greetings layout.

TEST(Greetings, TextIsTheShowsLine) {
  EXPECT_EQ(std::strlen(kGreetingsText), 110u);
  EXPECT_EQ(std::strncmp(kGreetingsText, "greets to  krumb  delta vortex  ", 32), 0);
  EXPECT_STREQ(kGreetingsText + 80, "and all other text mode freaks");
}

TEST(Greetings, ScrollFromTheRightOneColumnPer30Ms) {
  EXPECT_EQ(GreetingsStartColumn(0), 120);          // first letter off screen
  EXPECT_EQ(GreetingsStartColumn(29), 120);
  EXPECT_EQ(GreetingsStartColumn(30), 119);
  EXPECT_EQ(GreetingsStartColumn(1229), 80);
  EXPECT_EQ(GreetingsStartColumn(1230), 79);        // reaches the last column
  EXPECT_EQ(GreetingsStartColumn(30000), -880);
  EXPECT_EQ(GreetingsStartColumn(30000) + 8 * 109, -8);   // the last letter, half visible
}

TEST(Greetings, RowsAndFramesAtTheStartAndEnd) {
  // Worked out by hand in single precision; the truncation is toward zero
  // (-0.78 gives row 17, -1.69 row 16).
  struct Case {
    int j;
    uint32_t localMs;
    int32_t row, frame;
  };
  const Case cases[] = {
      {0, 0, 17, 1},       {1, 0, 29, 1},       {2, 0, 31, 3},       {50, 0, 32, 19},
      {108, 0, 13, 19},    {109, 0, 16, 19},    {0, 30000, 19, 19},  {1, 30000, 17, 19},
      {2, 30000, 16, 18},  {50, 30000, 23, 1},  {108, 30000, 30, 1}, {109, 30000, 23, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "j " << c.j << " at " << c.localMs);
    EXPECT_EQ(GreetingsLetterRow(c.j, c.localMs), c.row);
    EXPECT_EQ(GreetingsLetterFrame(c.j, c.localMs, GreetingsStartColumn(c.localMs)), c.frame);
  }
}

TEST(Greetings, RowsStayNearTheMiddleAndFramesInRange) {
  for (uint32_t t = 0; t <= 30000; t += 10) {
    const int32_t x0 = GreetingsStartColumn(t);
    for (int j = 0; j < kGreetingsLength; ++j) {
      const int32_t row = GreetingsLetterRow(j, t);
      ASSERT_GE(row, 17 - 16);
      ASSERT_LE(row, 17 + 16);
      const int32_t frame = GreetingsLetterFrame(j, t, x0);
      ASSERT_GE(frame, 0);
      ASSERT_LE(frame, 20);
    }
  }
}

// ---------------------------------------------------------------------------
// Letter drawing, with a made-up font.

constexpr uint32_t kFontWidth = 336;
constexpr uint32_t kFontHeight = 416;

class LetterDrawing : public ::testing::Test {
 protected:
  void SetUp() override {
    font_ = MakeFilledBitmap(kFontWidth, kFontHeight, 0);
    Install(font_);
    for (Cell& c : cells_) c = DarkCellAtLevel(10);
  }
  void TearDown() override { ReleaseLetterFont(); }

  // Makes bitmap the loaded letter font (the holder keeps and releases it).
  static void Install(Bitmap* bitmap) {
    LetterFont* font = LoadLetterFont();
    ReleaseBitmap(font->bitmap);
    font->bitmap = bitmap;
  }
  // Blue of glyph pixel (gx, gy) of letter, frame.
  void SetGlyph(char letter, int frame, int gx, int gy, uint32_t blue) {
    font_->pixels[((letter - 'a') * 16 + gy) * kFontWidth + frame * 16 + gx] = blue;
  }
  Cell At(int x, int y) const { return cells_[y * kScreenWidth + x]; }
  // Lights every pixel of a glyph with blue.
  void FillGlyph(char letter, int frame, uint32_t blue) {
    for (int gy = 0; gy < 16; ++gy)
      for (int gx = 0; gx < 16; ++gx) SetGlyph(letter, frame, gx, gy, blue);
  }

  Bitmap* font_ = nullptr;
  Cell cells_[kScreenCells];
};

TEST_F(LetterDrawing, PixelAddsHalfItsBlueAndCastsAShadow) {
  SetGlyph('c', 5, 2, 3, 0x00FFFF51);   // only blue counts: 0x51 / 2 = 40
  DrawFontLetter(30, 20, 5, cells_, 'c');
  EXPECT_EQ(At(32, 23), DarkCellAtLevel(50));
  EXPECT_EQ(At(36, 26), kCellDark);           // three rows down, four right
  int changed = 0;
  for (Cell c : cells_) changed += c != DarkCellAtLevel(10);
  EXPECT_EQ(changed, 2);
  // Another frame or letter of the font reads other pixels.
  DrawFontLetter(30, 20, 6, cells_, 'c');
  DrawFontLetter(30, 20, 5, cells_, 'd');
  EXPECT_EQ(At(32, 23), DarkCellAtLevel(50));
}

TEST_F(LetterDrawing, BlueBelowFourDrawsNothing) {
  SetGlyph('a', 0, 0, 0, 2);
  SetGlyph('a', 0, 1, 0, 3);
  SetGlyph('a', 0, 2, 0, 4);
  DrawFontLetter(0, 0, 0, cells_, 'a');
  EXPECT_EQ(At(0, 0), DarkCellAtLevel(10));
  EXPECT_EQ(At(1, 0), DarkCellAtLevel(10));
  EXPECT_EQ(At(2, 0), DarkCellAtLevel(12));   // 4 / 2 = 2
  EXPECT_EQ(At(6, 3), kCellDark);
  EXPECT_EQ(At(4, 3), DarkCellAtLevel(10));
}

TEST_F(LetterDrawing, OnlyLowerCaseLettersDraw) {
  for (char letter = 'a'; letter <= 'z'; ++letter) FillGlyph(letter, 10, 200);
  for (uint8_t c : {' ', 'A', 'Z', '`', '{', '0', '\0', '\xE1'}) DrawFontLetter(10, 10, 10, cells_, c);
  for (Cell c : cells_) ASSERT_EQ(c, DarkCellAtLevel(10));
  DrawFontLetter(10, 10, 10, cells_, 'z');
  EXPECT_EQ(At(10, 10), DarkCellAtLevel(110));
}

TEST_F(LetterDrawing, LaterPixelsStartAgainOnShadows) {
  // Pixel (0, 0) shadows cell (4, 3); pixel (4, 3) of the same glyph then
  // lands on that shadow and starts from level 0.
  SetGlyph('b', 0, 0, 0, 100);
  SetGlyph('b', 0, 4, 3, 60);
  DrawFontLetter(0, 0, 0, cells_, 'b');
  EXPECT_EQ(At(0, 0), DarkCellAtLevel(60));
  EXPECT_EQ(At(4, 3), DarkCellAtLevel(30));
  EXPECT_EQ(At(8, 6), kCellDark);
  // A second letter adds onto the first.
  DrawFontLetter(0, 0, 0, cells_, 'b');
  EXPECT_EQ(At(0, 0), DarkCellAtLevel(110));
}

TEST_F(LetterDrawing, SumsAreNotClampedAndCarryIntoTheHue) {
  SetGlyph('e', 0, 0, 0, 255);   // adds 127
  cells_[0] = DarkCellAtLevel(200);
  DrawFontLetter(0, 0, 0, cells_, 'e');
  // 327 = 256 + 71: hue 231, level 71.
  EXPECT_EQ(cells_[0], 0x01E74764u);
  EXPECT_EQ(CellHue(cells_[0]), 231u);
  EXPECT_EQ(CellLevel(cells_[0]), 71u);
}

TEST_F(LetterDrawing, ClippedAtTheTopAndBottom) {
  FillGlyph('h', 3, 40);   // adds 20 everywhere
  DrawFontLetter(20, -10, 3, cells_, 'h');
  // Glyph rows 10..15 land on rows 0..5; shadows on rows 3..8 from column 24.
  for (int y = 0; y < 6; ++y) EXPECT_EQ(CellLevel(At(20, y)), 30u) << y;
  EXPECT_EQ(At(20, 6), DarkCellAtLevel(10));
  EXPECT_EQ(At(36, 8), kCellDark);    // the shadow of glyph (12, 15), on row 5 + 3
  EXPECT_EQ(At(36, 9), DarkCellAtLevel(10));

  for (Cell& c : cells_) c = DarkCellAtLevel(10);
  DrawFontLetter(50, 46, 3, cells_, 'h');
  // Rows 0..3 of the glyph land on rows 46..49; no shadow beyond row 49.
  for (int y = 46; y < 50; ++y) EXPECT_EQ(CellLevel(At(50, y)), 30u) << y;
  // Only glyph row 0 casts shadows (onto row 49, columns 54..69); glyph row 3
  // then lights columns 54..65 of row 49 again from 0.
  EXPECT_EQ(At(54, 49), DarkCellAtLevel(20));
  EXPECT_EQ(At(53, 49), DarkCellAtLevel(30));
  EXPECT_EQ(At(66, 49), kCellDark);
  EXPECT_EQ(At(69, 49), kCellDark);
  EXPECT_EQ(At(70, 49), DarkCellAtLevel(10));
  EXPECT_EQ(At(54, 45), DarkCellAtLevel(10));
}

TEST_F(LetterDrawing, LeftOfTheScreenOnlyShadowsRightEdgeClips) {
  FillGlyph('i', 0, 40);
  DrawFontLetter(-8, 0, 0, cells_, 'i');
  // Columns -4..-1 cast shadows at columns 0..3 (rows 3..15 of the screen);
  // columns -8..-5 draw nothing.
  EXPECT_EQ(At(0, 3), DarkCellAtLevel(20));   // shadowed, then lit by glyph column 8
  EXPECT_EQ(CellLevel(At(0, 0)), 30u);        // glyph column 8 lit over level 10
  for (Cell& c : cells_) c = DarkCellAtLevel(10);
  // Only the four leftmost glyph columns: shadows only.
  Bitmap* narrow = MakeFilledBitmap(kFontWidth, kFontHeight, 0);
  for (int gy = 0; gy < 16; ++gy)
    for (int gx = 0; gx < 8; ++gx) narrow->pixels[(('j' - 'a') * 16 + gy) * kFontWidth + gx] = 40;
  Install(narrow);
  DrawFontLetter(-8, 10, 0, cells_, 'j');
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      const bool shadow = x <= 3 && y >= 13 && y <= 28;   // columns -4..-1 shifted by 4, rows +3
      EXPECT_EQ(At(x, y), shadow ? kCellDark : DarkCellAtLevel(10)) << x << "," << y;
    }
  }
  font_ = narrow;

  // The right edge: columns 80 and beyond draw nothing, shadows stop at 79.
  for (Cell& c : cells_) c = DarkCellAtLevel(10);
  Bitmap* full = MakeFilledBitmap(kFontWidth, kFontHeight, 40);
  Install(full);
  font_ = full;
  DrawFontLetter(72, 0, 0, cells_, 'k');
  EXPECT_EQ(CellLevel(At(79, 0)), 30u);
  EXPECT_EQ(At(79, 15), DarkCellAtLevel(20));   // shadowed from (75, 12), then lit from 0
  EXPECT_EQ(At(79, 17), kCellDark);             // shadow only
  EXPECT_EQ(At(75, 15), DarkCellAtLevel(30));   // no shadow lands left of column 76
  EXPECT_EQ(At(79, 19), DarkCellAtLevel(10));
  EXPECT_EQ(At(71, 5), DarkCellAtLevel(10));
}

TEST_F(LetterDrawing, FontOfTheWrongSizeReadsZeroPastItsEnd) {
  // The replacement image of an undecodable font: 80 x 50, here all lit.
  Bitmap* small = MakeFilledBitmap(80, 50, 255);
  Install(small);
  font_ = small;
  // Letter a, frame 0: pixel (gy x 80 + gx) lies inside the 4000 pixels.
  DrawFontLetter(0, 0, 0, cells_, 'a');
  EXPECT_EQ(At(0, 0), DarkCellAtLevel(10 + 127));
  // Letter z starts at pixel 400 x 80: past the end, nothing draws.
  for (Cell& c : cells_) c = DarkCellAtLevel(10);
  DrawFontLetter(0, 0, 20, cells_, 'z');
  DrawFontLetter(0, 0, 0, cells_, 'e');   // from pixel 64 x 80: past the end
  for (Cell c : cells_) ASSERT_EQ(c, DarkCellAtLevel(10));
  // No font at all: nothing draws.
  ReleaseLetterFont();
  DrawFontLetter(0, 0, 0, cells_, 'a');
  for (Cell c : cells_) ASSERT_EQ(c, DarkCellAtLevel(10));
}

// ---------------------------------------------------------------------------
// The bloom.

TEST(Bloom, UniformFramesGainTheirBrightenedBlur) {
  // Level 11 everywhere: the passes give 10, 9, 8, then 80 / 11 x 6 - 30 = 13.6.
  Cell cells[kScreenCells], a[kScreenCells], b[kScreenCells];
  for (Cell& c : cells) c = MakeRampCell(100, 11, 7);
  BloomLevels(cells, a, b);
  for (Cell c : cells) ASSERT_EQ(c, MakeRampCell(100, 24, 7));
  // Level 44 everywhere gains more than 80 allows.
  for (Cell& c : cells) c = DarkCellAtLevel(44);
  BloomLevels(cells, a, b);
  for (Cell c : cells) ASSERT_EQ(c, DarkCellAtLevel(80));
  // Dark stays dark: the -30 keeps faint blur away.
  for (Cell& c : cells) c = DarkCellAtLevel(5);
  BloomLevels(cells, a, b);
  for (Cell c : cells) ASSERT_EQ(c, DarkCellAtLevel(5));
}

TEST(Bloom, OnlyTheLevelChanges) {
  Cell cells[kScreenCells], a[kScreenCells], b[kScreenCells];
  for (int i = 0; i < kScreenCells; ++i) cells[i] = i % 2 ? 0x01E71464u : 0x00AB1ECDu;   // level 20 or 30
  BloomLevels(cells, a, b);
  for (int i = 0; i < kScreenCells; ++i) {
    ASSERT_EQ(cells[i] & 0xFFFF00FFu, i % 2 ? 0x01E70064u : 0x00AB00CDu);
    ASSERT_GT(CellLevel(cells[i]), 20u);
  }
}

// Level at (x, y) after blooming a frame whose only lit cells are the given
// column (or row) at level 30.
class BloomBorders : public ::testing::Test {
 protected:
  void LightColumn(int column) {
    for (int i = 0; i < kScreenCells; ++i) cells_[i] = DarkCellAtLevel(i % kScreenWidth == column ? 30 : 0);
    BloomLevels(cells_, a_, b_);
  }
  void LightRow(int row) {
    for (int i = 0; i < kScreenCells; ++i) cells_[i] = DarkCellAtLevel(i / kScreenWidth == row ? 30 : 0);
    BloomLevels(cells_, a_, b_);
  }
  uint32_t Level(int x, int y) const { return CellLevel(cells_[y * kScreenWidth + x]); }
  Cell cells_[kScreenCells], a_[kScreenCells], b_[kScreenCells];
};

TEST_F(BloomBorders, ColumnZeroCountsSixTimesColumn79FiveTimes) {
  // Worked by hand through the four passes. At column 0 the taps -5..0 all
  // read column 0; at column 79 the taps 80..83 read column 79.
  LightColumn(0);
  const uint32_t left[] = {54, 19, 13, 2, 0};
  for (int x = 0; x < 5; ++x) EXPECT_EQ(Level(x, 25), left[x]) << x;
  EXPECT_EQ(Level(0, 0), 54u);    // every row alike: the rows clamp onto themselves
  EXPECT_EQ(Level(0, 49), 54u);
  LightColumn(79);
  EXPECT_EQ(Level(79, 25), 32u);
  for (int x = 0; x < 79; ++x) EXPECT_EQ(Level(x, 25), 0u) << x;
}

TEST_F(BloomBorders, RowZeroCountsSixTimesRow49FiveTimes) {
  // The vertical passes meet the lit row at other stages than the
  // horizontal ones met the lit column, so the truncations differ a little.
  LightRow(0);
  const uint32_t top[] = {54, 18, 11, 4, 0};
  for (int y = 0; y < 5; ++y) EXPECT_EQ(Level(40, y), top[y]) << y;
  EXPECT_EQ(Level(0, 0), 54u);
  EXPECT_EQ(Level(79, 0), 54u);
  LightRow(49);
  EXPECT_EQ(Level(40, 49), 37u);
  EXPECT_EQ(Level(40, 48), 1u);
  for (int y = 0; y < 48; ++y) EXPECT_EQ(Level(40, y), 0u) << y;
}

TEST(Bloom, RunningSumPassesMatchTheTenTapDefinition) {
  // The bloom's passes keep running sums; the frame finishing's blur passes
  // add up the ten clamped taps of every cell one by one.
  Cell src[kScreenCells], mine[kScreenCells], direct[kScreenCells];
  uint32_t state = 12345;
  for (Cell& c : src) {
    state = state * 1664525u + 1013904223u;
    c = MakeRampCell(state >> 24, (state >> 8) & 0xFF, state & 0x7F);
  }
  bloom::BlurRowsPlain(src, mine);
  finishing::BlurRows(src, direct);
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(mine[i], direct[i]) << i;
  bloom::BlurColumnsPlain(src, mine);
  finishing::BlurColumns(src, direct);
  for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(mine[i], direct[i]) << i;
  // The brightened pass against the same sums worked cell by cell.
  bloom::BlurColumnsBrightened(src, mine);
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      float s = 0.0f;
      for (int k = y - 5; k <= y + 4; ++k) s += static_cast<float>(CellLevel(src[std::clamp(k, 0, 49) * 80 + x]));
      const float v = std::clamp(s / 11.0f * 6.0f - 30.0f, 0.0f, 255.0f);
      ASSERT_EQ(mine[y * 80 + x], CellWithLevel(src[y * 80 + x], static_cast<uint32_t>(v))) << x << "," << y;
    }
  }
}

TEST(Bloom, BrightenedPassTakesSixEleventhsLessThirty) {
  Cell src[kScreenCells], dst[kScreenCells];
  for (Cell& c : src) c = DarkCellAtLevel(0);
  src[0] = DarkCellAtLevel(22);   // row 0 counted six times at row 0, five at row 1
  bloom::BlurColumnsBrightened(src, dst);
  EXPECT_EQ(CellLevel(dst[0]), 42u);                  // 132 / 11 x 6 - 30
  EXPECT_EQ(CellLevel(dst[kScreenWidth]), 30u);       // 110 / 11 x 6 - 30
  EXPECT_EQ(CellLevel(dst[4 * kScreenWidth]), 0u);    // 44 / 11 x 6 - 30 < 0
  EXPECT_EQ(CellLevel(dst[1]), 0u);
  for (Cell& c : src) c = DarkCellAtLevel(255);
  bloom::BlurColumnsBrightened(src, dst);
  EXPECT_EQ(CellLevel(dst[1234]), 255u);              // limited to 255
}

// ---------------------------------------------------------------------------
// The two renders over made-up textures.

class WarpEffects : public ::testing::Test {
 protected:
  void SetUp() override {
    DemoClock::Get();
    LoadLetterFont();
  }
  void TearDown() override {
    ReleaseLetterFont();
    DemoClock::Release();
    ResourceTable::Release();
  }
  static void Replace(Bitmap*& slot, Bitmap* with) {
    ReleaseBitmap(slot);
    slot = with;
  }
  Cell cells_[kScreenCells];
};

TEST_F(WarpEffects, CubeLevelIsATexelThirdCappedAt80) {
  EffectWobblyCube cube("Wobbler", 100000, 131000);
  cube.target = cells_;
  DemoClock::Get()->nowMs = 100000;
  for (uint32_t texel : {240u, 255u}) {
    Replace(cube.texture, MakeFilledBitmap(256, 256, texel));
    cube.Render();
    for (Cell c : cells_) ASSERT_EQ(c, DarkCellAtLevel(80));
  }
  // 17 / 3 = 5: too faint for the bloom, so the level shows unchanged.
  Replace(cube.texture, MakeFilledBitmap(256, 256, 0x00FFFF11));
  cube.Render();
  for (Cell c : cells_) ASSERT_EQ(c, DarkCellAtLevel(5));
}

TEST_F(WarpEffects, WobblerGroundIsATexelFifteenth) {
  EffectWobbly wobbly("Wobbler", 71000, 101000);
  wobbly.target = cells_;
  DemoClock::Get()->nowMs = 71000;   // the first letter is still off screen
  Replace(wobbly.texture, MakeFilledBitmap(256, 256, 0x0000FFFF));
  wobbly.Render();
  // 255 / 15 = 17 everywhere; the passes give 15, 13, 11, then 110 / 11 x 6 - 30 = 30.
  for (Cell c : cells_) ASSERT_EQ(c, DarkCellAtLevel(17 + 30));
}

TEST_F(WarpEffects, TextureAxesAreExchangedBetweenTheTwo) {
  // A texture lit in its lower half of rows: the wobbler takes the row from
  // the angle, the cube from the band position.
  Bitmap* rows = MakeFilledBitmap(256, 256, 0);
  // Texel 15: level 1 for the wobbler, 5 for the cube, both too faint for
  // the bloom to add anything.
  for (uint32_t i = 0; i < 256 * 256; ++i) rows->pixels[i] = i / 256 < 128 ? 0 : 15;   // rows >= 128 lit
  EffectWobbly wobbly("Wobbler", 71000, 101000);
  EffectWobblyCube cube("Wobbler", 100000, 131000);
  Replace(wobbly.texture, rows);
  Replace(cube.texture, MakeFilledBitmap(256, 256, 0));
  for (uint32_t i = 0; i < 256 * 256; ++i) cube.texture->pixels[i] = rows->pixels[i];

  Cell w[kScreenCells], c[kScreenCells];
  wobbly.target = w;
  cube.target = c;
  DemoClock::Get()->nowMs = 71000;
  wobbly.Render();
  DemoClock::Get()->nowMs = 100000;
  cube.Render();
  // Same offsets at local time 0: a cell's angle and band are the same in
  // both, and each picks its texture row from a different one.
  const WarpOffsets o = WobblyWarpOffsets(0);
  int checked = 0;
  for (int r = 0; r < kScreenHeight; r += 7) {
    for (int n = 0; n < kScreenWidth; n += 9) {
      const WarpSample s = WarpAt(o, n, r);
      const bool angleRowLit = WarpTextureByte(s.angle) >= 128;
      const bool bandRowLit = WarpTextureByte(s.band) >= 128;
      // Lit rows give level 1 (15 / 15) to the wobbler and 5 (15 / 3) to the cube.
      EXPECT_EQ(w[r * kScreenWidth + n], DarkCellAtLevel(angleRowLit ? 1 : 0)) << n << "," << r;
      EXPECT_EQ(c[r * kScreenWidth + n], DarkCellAtLevel(bandRowLit ? 5 : 0)) << n << "," << r;
      ++checked;
    }
  }
  EXPECT_GT(checked, 50);
}

TEST_F(WarpEffects, TexturesOfTheWrongSizeReadZeroPastTheirEnd) {
  // The 80 x 50 replacement of an undecodable texture, here all lit: the
  // warp addresses up to pixel 65535, and everything past 3999 reads 0.
  EffectWobblyCube cube("Wobbler", 100000, 131000);
  Replace(cube.texture, MakeFilledBitmap(80, 50, 255));
  cube.target = cells_;
  for (uint32_t t : {100000u, 107000u, 118500u, 131000u}) {
    DemoClock::Get()->nowMs = t;
    cube.Render();
    int lit = 0, dark = 0;
    for (Cell c : cells_) {
      ASSERT_EQ(c & 0xFFFF00FFu, kCellDark);
      ASSERT_LE(CellLevel(c), 80u);
      if (CellLevel(c) == 80) ++lit; else if (CellLevel(c) == 0) ++dark;
    }
    // Bytes 0..15 of the band row (cube rows come from the band) land inside.
    EXPECT_GT(dark, 0) << t;
  }
  EffectWobbly wobbly("Wobbler", 71000, 101000);
  Replace(wobbly.texture, MakeFilledBitmap(80, 50, 255));
  wobbly.target = cells_;
  DemoClock::Get()->nowMs = 71000;
  wobbly.Render();
  for (Cell c : cells_) ASSERT_LE(CellLevel(c), 80u);
}

}  // namespace
