// The wobbler and the wobbly cube: the complex warp, the greetings' layout and
// letters (the levels each takes from its texture: broken_images_test.cpp).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "engine/effects/warp.h"
#include "engine/effects/wobbly.h"
#include "engine/resources/bitmap.h"
#include "tests/support/test_bitmaps.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(Warp, OffsetsAtLocalTimeZero) {
  for (const WarpOffsets& o : {WobblyWarpOffsets(0), WobblyCubeWarpOffsets(0)}) {
    const double got[] = {o.p1, o.p2, o.p3, o.p4, o.p5, o.p6}, want[] = {2.8, 0.0, 3.7, 0.3, 2.45, -0.1};
    for (int k = 0; k < 6; ++k) EXPECT_DOUBLE_EQ(got[k], want[k]) << "p" << k + 1;
  }
}

TEST(Warp, SmithDivision) {
  // Dividend, divisor, quotient: |q| > |p|; |p| > |q|; equal parts (second
  // branch); a tiny divisor the textbook formula would underflow on.
  const WarpComplex cases[][3] = {{{1, 2}, {3, 4}, {0.44, 0.08}}, {{1, 2}, {4, 3}, {0.4, 0.2}},
                                  {{2, 0}, {1, 1}, {1.0, -1.0}}, {{1e-300, 0}, {1e-300, 1e-300}, {0.5, -0.5}}};
  for (const auto& c : cases) {
    const WarpComplex q = SmithDivide(c[0], c[1]);
    EXPECT_NEAR(q.re, c[2].re, 1e-15) << c[1].re << "," << c[1].im;
    EXPECT_NEAR(q.im, c[2].im, 1e-15) << c[1].re << "," << c[1].im;
  }
  // A zero or non-finite divisor gives NaN.
  const double inf = std::numeric_limits<double>::infinity();
  for (WarpComplex d : std::initializer_list<WarpComplex>{{0, 0}, {-0.0, 0}, {inf, 1}, {1, inf}, {kNaN, 0}}) {
    const WarpComplex q = SmithDivide({1, 1}, d);
    EXPECT_TRUE(std::isnan(q.re) && std::isnan(q.im)) << d.re << "," << d.im;
  }
}

TEST(Warp, AngleBandAndTextureBytes) {
  // Offsets that make z + a equal z + b, so W = 1 / (z + c); at cell (0, 0)
  // (x = 3, y = 2) c makes z + c a given value. z + c = 0.5: W = 2, angle 0,
  // in the band 1..e. -4i: W = 0.25i, a quarter turn, first band 0..1. 0.1i:
  // W = -10i, three quarters, band e^2..e^3. -1: W = -1, half a turn; R = 1
  // is not above the first bound.
  const double e = 2.718281828459045;
  const double cases[][4] = {{0.5, 0.0, 0.0, (2.0 - 1.0) / (e - 1.0)}, {0.0, -4.0, 0.25, 0.25},
                             {0.0, 0.1, 0.75, (10.0 - e * e) / (e * e * e - e * e)}, {-1.0, 0.0, 0.5, 1.0}};
  for (const auto& [re, im, angle, band] : cases) {
    const WarpSample s = WarpAt({0.0, 0.0, 0.0, 0.0, re - 3.0, im - 2.0}, 0, 0);
    EXPECT_NEAR(s.angle, angle, 1e-12) << re << "," << im;
    EXPECT_NEAR(s.band, band, 1e-12) << re << "," << im;
  }
  // z + c = 0: no angle, no band, texel 0.
  const WarpSample s = WarpAt({0.0, 0.0, 0.0, 0.0, -3.0, -2.0}, 0, 0);
  EXPECT_TRUE(std::isnan(s.angle) && std::isnan(s.band));
  // 0.5 -> 127.5 truncated; -0.003 -> -0.765 truncates toward zero; -0.01 ->
  // -2 AND 255; 2.0 -> 510 AND 255; NaN and out-of-range values are the
  // integer minimum, low byte 0.
  const std::pair<double, uint32_t> bytes[] = {{0.0, 0},    {1.0, 255},  {0.5, 127}, {0.999, 254}, {-0.003, 0},
                                               {-0.01, 254}, {2.0, 254}, {kNaN, 0},  {1e300, 0},   {-1e300, 0}};
  for (const auto& [x, byte] : bytes) EXPECT_EQ(WarpTextureByte(x), byte) << x;
}

// From column 120 one column to the left every 30 ms. The letters' rows and
// frames, worked in single precision and truncated toward zero, are pinned
// by the whole-show digests.
TEST(Greetings, ScrollColumns) {
  const std::pair<uint32_t, int32_t> columns[] = {{0, 120}, {29, 120}, {30, 119}, {1230, 79}, {30000, -880}};
  for (const auto& [ms, column] : columns) EXPECT_EQ(GreetingsStartColumn(ms), column) << ms;
}

TEST(LetterDrawing, PixelsShadowsAndTheLeftEdge) {
  Bitmap* font = MakeFilledBitmap(336, 416, 0);
  auto set = [font](char letter, int frame, int gx, int gy, uint32_t pixel) {
    font->pixels[((letter - 'a') * 16 + gy) * 336 + frame * 16 + gx] = pixel;
  };
  ReleaseBitmap(std::exchange(LoadLetterFont()->bitmap, font));
  std::vector<Cell> cells(kScreenCells, DarkCellAtLevel(10));
  auto at = [&cells](int x, int y) { return cells[y * kScreenWidth + x]; };

  set('c', 5, 2, 3, 0x00FFFF51);   // only blue counts: 0x51 / 2 = 40
  set('c', 5, 0, 0, 3);            // 3 / 2 = 1: too faint to draw or cast a shadow
  set('c', 5, 6, 6, 100);          // lands on the shadow of (2, 3), three down and four right
  for (uint8_t other : {' ', 'C', '`', '{', '\xE3'}) DrawFontLetter(30, 20, 5, cells.data(), other);
  EXPECT_EQ(std::count(cells.begin(), cells.end(), DarkCellAtLevel(10)), kScreenCells);   // only a..z draw
  DrawFontLetter(30, 20, 5, cells.data(), 'c');
  EXPECT_EQ(at(32, 23), DarkCellAtLevel(50));
  EXPECT_EQ(at(36, 26), DarkCellAtLevel(50));   // shadowed, then lit from level 0
  EXPECT_EQ(at(40, 29), kCellDark);
  EXPECT_EQ(std::count(cells.begin(), cells.end(), DarkCellAtLevel(10)), kScreenCells - 3);

  // Sums are not limited: 200 + 127 = 256 + 71 carries into the hue.
  set('e', 0, 0, 0, 255);
  cells[0] = DarkCellAtLevel(200);
  DrawFontLetter(0, 0, 0, cells.data(), 'e');
  EXPECT_EQ(cells[0], 0x01E74764u);

  // Glyph columns at screen columns -4..-1 only cast their shadows.
  for (int gx = 0; gx < 8; ++gx) set('j', 0, gx, 0, 40);
  DrawFontLetter(-8, 40, 0, cells.data(), 'j');
  for (int x = 0; x < 6; ++x) EXPECT_EQ(at(x, 43), x < 4 ? kCellDark : DarkCellAtLevel(10)) << x;
  EXPECT_EQ(at(0, 40), DarkCellAtLevel(10));
  ReleaseLetterFont();
}

}  // namespace
