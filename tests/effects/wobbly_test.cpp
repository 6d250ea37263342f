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

TEST(Warp, SmithDivisionOnBothBranches) {
  // Dividend, divisor, quotient: |q| > |p|; |p| > |q|; equal parts (second
  // branch); a tiny divisor the textbook formula would underflow on.
  const WarpComplex cases[][3] = {{{1, 2}, {3, 4}, {0.44, 0.08}},
                                  {{1, 2}, {4, 3}, {0.4, 0.2}},
                                  {{2, 0}, {1, 1}, {1.0, -1.0}},
                                  {{1e-300, 0}, {1e-300, 1e-300}, {0.5, -0.5}}};
  for (const auto& c : cases) {
    const WarpComplex q = SmithDivide(c[0], c[1]);
    EXPECT_NEAR(q.re, c[2].re, 1e-15) << c[1].re << "," << c[1].im;
    EXPECT_NEAR(q.im, c[2].im, 1e-15) << c[1].re << "," << c[1].im;
  }
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
  // 0.5 -> 127.5 truncated; -0.003 -> -0.765 truncates toward zero; -0.01 ->
  // -2 AND 255; 2.0 -> 510 AND 255; NaN and out-of-range values are the
  // integer minimum, low byte 0.
  const std::pair<double, uint32_t> cases[] = {{0.0, 0},   {1.0, 255},  {0.5, 127}, {0.999, 254}, {-0.003, 0}, {-0.01, 254},
                                               {2.0, 254}, {kNaN, 0},   {1e300, 0}, {-1e300, 0}};
  for (const auto& [x, byte] : cases) EXPECT_EQ(WarpTextureByte(x), byte) << x;
}

// Offsets that make z + a equal z + b, so W = 1 / (z + c); at cell (0, 0)
// (x = 3, y = 2) c is chosen to make z + c a given value.
WarpOffsets OneOver(WarpComplex zc) { return {0.0, 0.0, 0.0, 0.0, zc.re - 3.0, zc.im - 2.0}; }

TEST(Warp, AngleAndBandOfKnownPoints) {
  // z + c = 0.5: W = 2, angle 0, in the band 1..e. z + c = -4i: W = 0.25i, a
  // quarter turn, first band 0..1. z + c = 0.1i: W = -10i, three quarters,
  // band e^2..e^3. z + c = -1: W = -1, half a turn; R = 1 is not above the
  // first bound.
  const double e = 2.718281828459045;
  struct Case {
    WarpComplex zc;
    double angle, band;
  };
  const Case cases[] = {{{0.5, 0.0}, 0.0, (2.0 - 1.0) / (e - 1.0)},
                        {{0.0, -4.0}, 0.25, 0.25},
                        {{0.0, 0.1}, 0.75, (10.0 - e * e) / (e * e * e - e * e)},
                        {{-1.0, 0.0}, 0.5, 1.0}};
  for (const Case& c : cases) {
    const WarpSample s = WarpAt(OneOver(c.zc), 0, 0);
    EXPECT_NEAR(s.angle, c.angle, 1e-12) << c.zc.re << "," << c.zc.im;
    EXPECT_NEAR(s.band, c.band, 1e-12) << c.zc.re << "," << c.zc.im;
  }
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
    Reset();
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
  void Reset() {
    for (Cell& c : cells_) c = DarkCellAtLevel(10);
  }
  void ExpectUntouched() const {
    for (Cell c : cells_) ASSERT_EQ(c, DarkCellAtLevel(10));
  }
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
  EXPECT_EQ(std::count(std::begin(cells_), std::end(cells_), DarkCellAtLevel(10)), kScreenCells - 2);
  // Another frame or letter of the font reads other pixels.
  DrawFontLetter(30, 20, 6, cells_, 'c');
  DrawFontLetter(30, 20, 5, cells_, 'd');
  EXPECT_EQ(At(32, 23), DarkCellAtLevel(50));
}

TEST_F(LetterDrawing, BlueBelowFourDrawsNothing) {
  for (int gx = 0; gx < 3; ++gx) SetGlyph('a', 0, gx, 0, 2 + gx);
  DrawFontLetter(0, 0, 0, cells_, 'a');
  for (int x = 0; x < 3; ++x) EXPECT_EQ(At(x, 0), DarkCellAtLevel(x < 2 ? 10 : 12)) << x;   // 4 / 2 = 2
  EXPECT_EQ(At(6, 3), kCellDark);
  EXPECT_EQ(At(4, 3), DarkCellAtLevel(10));
}

TEST_F(LetterDrawing, OnlyLowerCaseLettersDraw) {
  for (char letter = 'a'; letter <= 'z'; ++letter) FillGlyph(letter, 10, 200);
  for (uint8_t c : {' ', 'A', 'Z', '`', '{', '0', '\0', '\xE1'}) DrawFontLetter(10, 10, 10, cells_, c);
  ExpectUntouched();
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
}

TEST_F(LetterDrawing, ClippedAtTheTopAndBottom) {
  FillGlyph('h', 3, 40);   // adds 20 everywhere
  DrawFontLetter(20, -10, 3, cells_, 'h');
  // Glyph rows 10..15 land on rows 0..5; shadows on rows 3..8 from column 24.
  for (int y = 0; y < 6; ++y) EXPECT_EQ(CellLevel(At(20, y)), 30u) << y;
  EXPECT_EQ(At(20, 6), DarkCellAtLevel(10));
  EXPECT_EQ(At(36, 8), kCellDark);    // the shadow of glyph (12, 15), on row 5 + 3
  EXPECT_EQ(At(36, 9), DarkCellAtLevel(10));

  Reset();
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
  Reset();
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
  Reset();
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
  Reset();
  DrawFontLetter(0, 0, 20, cells_, 'z');
  DrawFontLetter(0, 0, 0, cells_, 'e');   // from pixel 64 x 80: past the end
  ExpectUntouched();
  // No font at all: nothing draws.
  ReleaseLetterFont();
  DrawFontLetter(0, 0, 0, cells_, 'a');
  ExpectUntouched();
}

// ---------------------------------------------------------------------------
// The bloom.

TEST(Bloom, UniformFramesGainTheirBrightenedBlur) {
  // Level 11 everywhere: the passes give 10, 9, 8, then 80 / 11 x 6 - 30 = 13.6.
  // Level 44 gains more than 80 allows; dark stays dark, the -30 keeps faint
  // blur away.
  Cell cells[kScreenCells], a[kScreenCells], b[kScreenCells];
  const std::pair<Cell, Cell> cases[] = {{MakeRampCell(100, 11, 7), MakeRampCell(100, 24, 7)},
                                         {DarkCellAtLevel(44), DarkCellAtLevel(80)},
                                         {DarkCellAtLevel(5), DarkCellAtLevel(5)}};
  for (const auto& [before, after] : cases) {
    for (Cell& c : cells) c = before;
    BloomLevels(cells, a, b);
    for (Cell c : cells) ASSERT_EQ(c, after) << before;
  }
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
  void LightColumn(int column) { Light(column, -1); }
  void LightRow(int row) { Light(-1, row); }
  void Light(int column, int row) {
    for (int i = 0; i < kScreenCells; ++i)
      cells_[i] = DarkCellAtLevel(i % kScreenWidth == column || i / kScreenWidth == row ? 30 : 0);
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
  for (bool rows : {true, false}) {
    (rows ? bloom::BlurRowsPlain : bloom::BlurColumnsPlain)(src, mine);
    (rows ? finishing::BlurRows : finishing::BlurColumns)(src, direct);
    for (int i = 0; i < kScreenCells; ++i) ASSERT_EQ(mine[i], direct[i]) << i << (rows ? " rows" : " columns");
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
