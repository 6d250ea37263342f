// The generated images, checked for what a viewer would see go wrong: seams
// where a texture wraps, letters cut off or run together, glyphs in the wrong
// slots, levels that would wash a frame out or wrap round to dark. The
// readers use the blue byte.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <vector>

#include "engine/core/decode.h"
#include "engine/core/text_mode_image.h"
#include "tools/showdata/cp437_glyphs.h"
#include "tools/showdata/env_maps.h"
#include "tools/showdata/show_images.h"
#include "tools/showdata/tunnel_images.h"

namespace {

using showdata::RgbImage;

TEST(ShowImages, GrainSpecksTheGlowAndTheVignetteDimsTowardsTheEdges) {
  const RgbImage crud = showdata::MakeCrud(), v = showdata::MakeVignette();
  int bright = 0, dark = 0;
  for (size_t i = 2; i < crud.rgb.size(); i += 3) bright += crud.rgb[i] >= 200, dark += crud.rgb[i] < 160;
  EXPECT_GE(bright, 4000 * 85 / 100);              // the glow survives almost everywhere...
  EXPECT_TRUE(dark >= 40 && dark <= 400) << dark;  // ...broken up by specks, not a flat field
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 80; ++x) {
      ASSERT_EQ(v.Blue(x, y), v.Blue(79 - x, 49 - y)) << x << "," << y;
      if (x >= 30 && x < 50 && y >= 20 && y < 30) { EXPECT_EQ(v.Blue(x, y), 255) << x << "," << y; }
      // Never brighter further out (the other half by the symmetry).
      if (x >= 40 && x < 79) { EXPECT_LE(v.Blue(x + 1, y), v.Blue(x, y)) << x << "," << y; }
      if (y >= 25 && y < 49) { EXPECT_LE(v.Blue(x, y + 1), v.Blue(x, y)) << x << "," << y; }
    }
  EXPECT_TRUE(v.Blue(0, 0) >= 90 && v.Blue(0, 0) <= 120) << int(v.Blue(0, 0));  // corners keep some light
}

// 3dfont.png: letter k in rows 16k.., frame f in columns 16f..; blue >= 4 lit.
TEST(ShowImages, FontLettersAreCleanWholeAndUpright) {
  const RgbImage font = showdata::Make3dFont();
  // No faint pixels that the letter drawing would half-draw (blue 2..3 add nothing, 4 adds a level).
  for (size_t i = 2; i < font.rgb.size(); i += 3) ASSERT_TRUE(font.rgb[i] == 0 || font.rgb[i] >= 4) << i / 3;
  const auto lit = [&](char c, int f, int x, int y) { return font.Blue(16 * f + x, 16 * (c - 'a') + y) >= 4; };
  for (char c = 'a'; c <= 'z'; ++c) {
    for (int f = 0; f < 21; ++f) {
      // Something in every frame, nothing on a cell's border (it would
      // touch the neighbouring frame or letter and look cut off).
      int count = 0, border = 0;
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) (x % 15 && y % 15 ? count : border) += lit(c, f, x, y);
      EXPECT_TRUE(count > 0 && border == 0) << c << " frame " << f;
    }
  }
  // Facing (frame 10), upright and unmirrored: the L's stem on the left and
  // foot at the bottom right, the F's arms at the top right only.
  EXPECT_TRUE(lit('l', 10, 4, 3) && !lit('l', 10, 11, 3) && lit('l', 10, 11, 13));
  EXPECT_TRUE(lit('f', 10, 11, 2) && !lit('f', 10, 11, 12));
}

// textmodechars.png: shading glyph g white on black, bit 7 leftmost, in the
// block the window renderer reads; everything else black.
TEST(ShowImages, GlyphSheetHoldsTheShadingGlyphsWhereTheRendererReadsThem) {
  RgbImage want(256, 256);
  for (int g = 0; g < kShadeCount; ++g) {
    bool found = false;
    const showdata::Glyph8x8 glyph = showdata::Cp437Glyph(ShadeGlyphs[g], &found);
    ASSERT_TRUE(found) << "character " << int(ShadeGlyphs[g]);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x)
        if ((glyph.rows[y] >> (7 - x)) & 1) want.SetGrey(GlyphSlotX(g) + x, GlyphSlotY() + y, 255);
  }
  EXPECT_TRUE(showdata::MakeTextModeChars().rgb == want.rgb);
}

// 4-connected groups of at least 8 dark pixels: the letters as the tunnel shows them.
int DarkGroups(const RgbImage& im) {
  std::vector<bool> seen(im.rgb.size() / 3);
  const std::function<int(int, int)> fill = [&](int x, int y) -> int {
    if (x < 0 || y < 0 || x >= im.width || y >= im.height || seen[y * im.width + x] || im.Blue(x, y) >= 128) return 0;
    seen[y * im.width + x] = true;
    return 1 + fill(x - 1, y) + fill(x + 1, y) + fill(x, y - 1) + fill(x, y + 1);
  };
  int groups = 0;
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x) groups += fill(x, y) >= 8;
  return groups;
}

TEST(ShowImages, TunnelWallIsSeamlessAndCreditsAreWholeDarkLettersOnWhite) {
  // The tunnel reads texel ((d & 127) << 9) | ((a & 127) << 4) for depth d
  // and angle a; the angle's octant lands in the low row bits, so the wall
  // must read the same in all eight.
  const RgbImage wall = showdata::MakeTunnelTexture();
  const auto texel = [&](int d, int a) {
    const int i = ((d & 127) << 9) | ((a & 127) << 4);
    return wall.Blue(i % 256, i / 256);
  };
  long sum = 0;
  for (int d = 0; d < 128; ++d)
    for (int a = 0; a < 128; ++a) {
      ASSERT_EQ(texel(d, a), texel(d, a & 15)) << d << "," << a;
      sum += texel(d, a);
    }
  EXPECT_TRUE(sum / 16384 >= 70 && sum / 16384 <= 170) << sum / 16384;  // neither washed out nor drowned
  // A credit's blue / 2 weighs the tunnel's level: white keeps it.
  const std::pair<RgbImage (*)(), int> credits[] = {{showdata::MakeCreditPelkora, 7 + 8},
                                                    {showdata::MakeCreditQx3, 5 + 6},
                                                    {showdata::MakeCreditTovrik, 6},
                                                    {showdata::MakeCreditSambral, 7}};
  for (const auto& [make, letters] : credits) {
    const RgbImage image = make();
    int white = 0, edge = 0;
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 80; ++x)
        white += image.Blue(x, y) >= 254, edge += (x < 2 || y < 2 || x >= 78 || y >= 48) && image.Blue(x, y) < 254;
    EXPECT_GE(white, 4000 * 55 / 100) << letters;
    EXPECT_EQ(edge, 0) << letters;                // no letter cut off by the screen's edge
    EXPECT_EQ(DarkGroups(image), letters);  // none falls apart, none runs into its neighbour
  }
}

// True when the change across the wrap, from row (or column) count - 1 back
// to 0, is no bigger than the largest between neighbours inside.
bool WrapsSmoothly(const RgbImage& image, bool rows, int count) {
  const auto at = [&](int k, int i) { return rows ? image.Blue(i, k) : image.Blue(k, i); };
  int inside = 0, wrap = 0;
  for (int i = 0; i < (rows ? image.width : image.height); ++i) {
    for (int k = 0; k + 1 < count; ++k) inside = std::max(inside, std::abs(at(k + 1, i) - at(k, i)));
    wrap = std::max(wrap, std::abs(at(0, i) - at(count - 1, i)));
  }
  return wrap <= inside;
}

TEST(ShowImages, WarpAndTwisterTexturesWrapWithoutASeam) {
  // wobbly.png: row = angle. wobbly2.png: column = angle, read at blue / 3 and bloomed.
  // uvtwist.png: row k = the bar turned k / 239 of a turn; red 0 uncovered.
  // twisttex*.png: rows read modulo 255.
  const RgbImage wobbly = showdata::MakeWobbly(), wobbly2 = showdata::MakeWobbly2(), map = showdata::MakeUvTwist();
  EXPECT_TRUE(WrapsSmoothly(wobbly, true, 256));
  EXPECT_TRUE(WrapsSmoothly(wobbly2, false, 256));
  EXPECT_TRUE(WrapsSmoothly(map, true, 239));
  long wobbly2Sum = 0;  // dark, so that the bloom does not wash the frame out
  for (size_t i = 2; i < wobbly2.rgb.size(); i += 3) wobbly2Sum += wobbly2.rgb[i] / 3;
  EXPECT_LE(wobbly2Sum / 65536, 16);
  for (int y = 0; y < 239; ++y) {
    // One solid bar, centred, at most the square's diagonal (44 x sqrt 2) wide.
    int first = -1, last = -1, gaps = 0;
    for (int x = 0; x < 75; ++x)
      if (map.rgb[(y * 75 + x) * 3] > 10) last = x, first = first < 0 ? x : first;
    for (int x = 0; x < 75; ++x) gaps += (x >= first && x <= last) != (map.rgb[(y * 75 + x) * 3] > 10);
    EXPECT_TRUE(first >= 0 && gaps == 0 && std::abs(first + last - 74) <= 2 && last - first + 1 <= 63) << y;
  }
  for (const RgbImage& t : {showdata::MakeTwistTexture(), showdata::MakeTwistTexture2()}) {
    for (int y = 0; y + 51 < 255; ++y)
      for (int x = 0; x < 256; ++x) ASSERT_EQ(t.Blue(x, y), t.Blue(x, y + 51)) << x << "," << y;
    // A lit face multiplies the texel by up to 1.2, an edge (columns below
    // 70) by up to 1.5: above 255 the level would wrap round to dark.
    for (int y = 0; y < 255; ++y)
      for (int x = 11; x <= 250; ++x) ASSERT_LT(t.Blue(x, y) * (x < 70 ? 1.5 : 1.2), 256.0) << x << "," << y;
  }
}

// The sphere maps: blue is three times a cell level 0..80 for the normal
// (nx, ny) at ((n + 1) x 128).
TEST(ShowImages, EnvironmentMapsHoldLevelsWithoutSeamsAndAreNotGlaring) {
  for (const RgbImage& map : {showdata::MakeEnvRed(), showdata::MakeEnvRed2(), showdata::MakeEnvRed3()}) {
    int step = 0, brightest = 0, brightestRow = 0;
    for (int y = 0; y < 256; ++y) {
      for (int x = 0; x < 256; ++x) {
        ASSERT_TRUE(map.Blue(x, y) % 3 == 0 && map.Blue(x, y) <= 240) << x << "," << y;
        if (x + 1 < 256) step = std::max(step, std::abs(map.Blue(x + 1, y) - map.Blue(x, y)));
        if (y + 1 < 256) step = std::max(step, std::abs(map.Blue(x, y + 1) - map.Blue(x, y)));
        if (map.Blue(x, y) > brightest) brightest = map.Blue(x, y), brightestRow = y;
      }
    }
    // No seams, out into the corners beyond the disc too; a face turned to
    // the viewer low in the ramp, so that the glow does not wash it out; lit
    // from above, up to the ramp's upper steps.
    EXPECT_LE(step, 8 * 3);
    EXPECT_TRUE(map.Blue(128, 128) / 3 >= 10 && map.Blue(128, 128) / 3 <= 25) << map.Blue(128, 128) / 3;
    EXPECT_GE(brightest / 3, 60);
    EXPECT_LT(brightestRow, 128);
  }
}

}  // namespace
