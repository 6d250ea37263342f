#include <gtest/gtest.h>

#include <vector>

#include "engine/core/decode.h"
#include "engine/core/text_mode_image.h"
#include "tests/support/test_bitmaps.h"

namespace {

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

Rgb PixelAt(const std::vector<uint8_t>& rgb, int x, int y) {
  const uint8_t* p = &rgb[(y * kTextModeWidth + x) * 3];
  return {p[0], p[1], p[2]};
}

Rgb PaletteRgb(int colour) {
  return {PaletteByte(colour, 0), PaletteByte(colour, 1), PaletteByte(colour, 2)};
}

TEST(TextModeImage, PaletteBytes) {
  EXPECT_EQ(PaletteRgb(0), (Rgb{0, 0, 0}));
  EXPECT_EQ(PaletteRgb(4), (Rgb{128, 0, 0}));
  EXPECT_EQ(PaletteRgb(7), (Rgb{191, 191, 191}));
  EXPECT_EQ(PaletteRgb(9), (Rgb{0, 0, 255}));
  EXPECT_EQ(PaletteRgb(14), (Rgb{255, 255, 0}));
  EXPECT_EQ(PaletteRgb(15), (Rgb{255, 255, 255}));
}

TEST(TextModeImage, GlyphPixelsTakeForegroundOthersBackground) {
  // A glyph image whose slot 3 has only its top-left and bottom-right pixels lit.
  Bitmap* image = MakeFilledBitmap(256, 256, 0);
  image->pixels[GlyphSlotY() * 256 + GlyphSlotX(3)] = 0xFFFFFF;
  image->pixels[(GlyphSlotY() + 7) * 256 + GlyphSlotX(3) + 7] = 0xFFFFFF;
  std::vector<GlyphCell> glyphs(kScreenCells, GlyphCell{0x4C, 3});   // light red on dark red
  glyphs[1] = GlyphCell{0x4C, 0};
  std::vector<uint8_t> rgb(kTextModeWidth * kTextModeHeight * 3);
  RasteriseTextMode(glyphs.data(), *image, rgb.data());

  EXPECT_EQ(PixelAt(rgb, 0, 0), PaletteRgb(12));
  EXPECT_EQ(PixelAt(rgb, 1, 0), PaletteRgb(4));
  EXPECT_EQ(PixelAt(rgb, 7, 7), PaletteRgb(12));
  EXPECT_EQ(PixelAt(rgb, 6, 7), PaletteRgb(4));
  EXPECT_EQ(PixelAt(rgb, 8, 0), PaletteRgb(4));    // cell 1 has the empty slot 0
  EXPECT_EQ(PixelAt(rgb, 639, 399), PaletteRgb(12));
  EXPECT_EQ(PixelAt(rgb, 632, 392), PaletteRgb(12));
  ReleaseBitmap(image);
}

TEST(TextModeImage, EqualColoursGiveASolidBlock) {
  Bitmap* image = MakeFilledBitmap(256, 256, 0xFFFFFF);
  std::vector<GlyphCell> glyphs(kScreenCells, GlyphCell{0x22, 7});
  std::vector<uint8_t> rgb(kTextModeWidth * kTextModeHeight * 3);
  RasteriseTextMode(glyphs.data(), *image, rgb.data());
  for (int y = 0; y < kTextModeHeight; y += 13)
    for (int x = 0; x < kTextModeWidth; x += 7) ASSERT_EQ(PixelAt(rgb, x, y), PaletteRgb(2));
  ReleaseBitmap(image);
}

TEST(TextModeImage, SmallGlyphImageIsNeverReadPastItsEnd) {
  // 16 x 16: slot 0 lies inside (lit), every other slot outside and reads black.
  Bitmap* image = MakeFilledBitmap(16, 16, 0xFFFFFF);
  std::vector<GlyphCell> glyphs(kScreenCells, GlyphCell{0x1E, 5});
  glyphs[0].slot = 0;
  std::vector<uint8_t> rgb(kTextModeWidth * kTextModeHeight * 3);
  RasteriseTextMode(glyphs.data(), *image, rgb.data());
  EXPECT_EQ(PixelAt(rgb, 3, 3), PaletteRgb(14));
  EXPECT_EQ(PixelAt(rgb, 11, 3), PaletteRgb(1));
  ReleaseBitmap(image);
}

TEST(TextModeImage, DecodingKeepsLiteralCellsAsTheyWere) {
  std::vector<Cell> cells(kScreenCells, kCellNoEffect);
  cells[5] = MakeLiteralCell('A', 0x1F);
  std::vector<GlyphCell> glyphs(kScreenCells, GlyphCell{0x77, 9});
  DecodeToGlyphCells(cells.data(), glyphs.data());
  EXPECT_EQ(glyphs[0].attribute, 0x4Cu);
  EXPECT_EQ(glyphs[0].slot, 0);
  EXPECT_EQ(glyphs[5].attribute, 0x77u);
  EXPECT_EQ(glyphs[5].slot, 9);
}

}  // namespace
