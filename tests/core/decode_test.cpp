#include <gtest/gtest.h>

#include "engine/core/decode.h"

namespace {

TEST(RgbToHls, GreysHaveNoSaturation) {
  for (int v : {0, 1, 77, 128, 254, 255}) {
    const Hls h = RgbToHls(v, v, v);
    EXPECT_EQ(h.saturation, 0) << v;
    EXPECT_EQ(h.hue, 44) << v;
  }
  EXPECT_EQ(RgbToHls(0, 0, 0).lightness, 0);
  EXPECT_EQ(RgbToHls(255, 255, 255).lightness, 66);
}

TEST(RgbToHls, PrimaryHuesSitInTheirSectors) {
  EXPECT_EQ(RgbToHls(255, 0, 0).hue, 0);
  EXPECT_EQ(RgbToHls(0, 255, 0).hue, 22);
  EXPECT_EQ(RgbToHls(0, 0, 255).hue, 44);
  EXPECT_EQ(RgbToHls(255, 255, 0).hue, 11);
  EXPECT_EQ(RgbToHls(0, 255, 255).hue, 33);
  EXPECT_EQ(RgbToHls(255, 0, 255).hue, 55);
  EXPECT_EQ(RgbToHls(255, 0, 0).saturation, 66);
  EXPECT_EQ(RgbToHls(255, 0, 0).lightness, 33);
}

TEST(RgbToHls, StaysInRangeForAllColours) {
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 15)
      for (int b = 0; b < 256; b += 15) {
        const Hls h = RgbToHls(r, g, b);
        ASSERT_GE(h.hue, 0);
        ASSERT_LE(h.hue, 66);
        ASSERT_GE(h.lightness, 0);
        ASSERT_LE(h.lightness, 66);
        ASSERT_GE(h.saturation, 0);
        ASSERT_LE(h.saturation, 66);
      }
}

TEST(DecodeCell, NoEffectRedIsASpaceOnRed) {
  const DecodedCell d = DecodeCell(kCellNoEffect);
  EXPECT_FALSE(d.literal);
  EXPECT_EQ(d.attribute, 0x4Cu);
  EXPECT_EQ(d.shade, 0u);
  EXPECT_EQ(ShadeGlyphs[d.shade], 32);
}

TEST(DecodeCell, RgbBlackAndWhite) {
  const DecodedCell black = DecodeCell(MakeRgbCell(0, 0, 0));
  EXPECT_EQ(black.attribute, 0x08u);
  EXPECT_EQ(black.shade, 0u);
  const DecodedCell white = DecodeCell(MakeRgbCell(255, 255, 255));
  EXPECT_EQ(white.attribute, 0xF7u);   // lightness 66 compressed to 47: column 5
  EXPECT_EQ(white.shade, 15u);
}

TEST(DecodeCell, GreysUseTheGreyRamp) {
  for (int v = 0; v < 256; v += 5) {
    const DecodedCell d = DecodeCell(MakeRgbCell(v, v, v));
    bool inGreyRow = false;
    for (uint32_t a : RampTable[kGreyRampRow]) inGreyRow |= a == d.attribute;
    EXPECT_TRUE(inGreyRow) << v;
  }
}

TEST(DecodeCell, RgbHueNearTopWrapsToRed) {
  // Hue 61..66 gives (hue + 5) / 11 = 6: taken as red, not grey.
  const Hls h = RgbToHls(255, 0, 40);
  ASSERT_GE(h.hue, 61);
  const DecodedCell d = DecodeCell(MakeRgbCell(255, 0, 40));
  EXPECT_EQ(d.attribute, RampTable[0][h.lightness > 32 ? (h.lightness / 2 + 14) / 8 : h.lightness / 8]);
}

TEST(DecodeCell, SaturationSelectsGreyOrHueRamp) {
  EXPECT_EQ(DecodeCell(MakeRampCell(230, 20, 15)).attribute, RampTable[6][2]);
  EXPECT_EQ(DecodeCell(MakeRampCell(230, 20, 16)).attribute, RampTable[23][2]);
  EXPECT_EQ(DecodeCell(MakeRampCell(70, 20, 16)).attribute, RampTable[7][2]);
  for (uint32_t hue = 230; hue <= 255; ++hue) {
    EXPECT_EQ(DecodeCell(MakeRampCell(hue, 0, 100)).attribute, RampTable[23][0]) << hue;
  }
}

TEST(DecodeCell, LevelPicksColumnAndShade) {
  EXPECT_EQ(DecodeCell(MakeRampCell(230, 72, 100)).attribute, RampTable[23][9]);
  EXPECT_EQ(DecodeCell(MakeRampCell(230, 255, 100)).attribute, RampTable[23][9]);
  EXPECT_EQ(DecodeCell(MakeRampCell(230, 71, 100)).attribute, RampTable[23][8]);
  // The shade follows the level itself, not its column.
  EXPECT_EQ(DecodeCell(MakeRampCell(230, 7, 100)).shade, 7u);
  EXPECT_EQ(DecodeCell(MakeRampCell(230, 8, 100)).shade, 8u);
  EXPECT_EQ(DecodeCell(MakeRampCell(230, 17, 100)).shade, 1u);
  EXPECT_EQ(DecodeCell(MakeRampCell(230, 17, 100)).attribute, RampTable[23][2]);
}

TEST(DecodeCell, OtherKindsDecodeAsRampColours) {
  const Cell kind7 = (7u << 24) | (100u << 16) | (40u << 8) | 100u;
  EXPECT_EQ(DecodeCell(kind7).attribute, RampTable[10][5]);
  EXPECT_EQ(DecodeCell(kind7).shade, 40u & 15u);
}

TEST(DecodeCell, LiteralPassesThrough) {
  const DecodedCell d = DecodeCell(MakeLiteralCell('A', 0x1E) | (0x77u << 16));
  EXPECT_TRUE(d.literal);
  EXPECT_EQ(d.character, static_cast<uint32_t>('A'));
  EXPECT_EQ(d.attribute, 0x1Eu);
}

TEST(ShadeGlyphs, MirrorAroundTheMiddle) {
  for (int g = 0; g < 16; ++g) {
    if (g == 7 || g == 8) continue;   // sun and section sign are the two densest
    EXPECT_EQ(ShadeGlyphs[g], ShadeGlyphs[15 - g]) << g;
  }
  EXPECT_EQ(ShadeGlyphs[0], 32);
  EXPECT_EQ(ShadeGlyphs[15], 32);
}

}  // namespace
