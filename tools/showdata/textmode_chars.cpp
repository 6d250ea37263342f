// "textmodechars.png": the glyph sheet of the window renderer. Slot g (0..15)
// is the 8x8 block at x = 8(2g+1), y = 8 and shows the glyph of shading
// character g, white on black; everything else is black.

#include "engine/core/decode.h"
#include "tools/showdata/cp437_glyphs.h"
#include "tools/showdata/show_images.h"

namespace showdata {

RgbImage MakeTextModeChars() {
  constexpr int kEdge = 256;  // pixels
  RgbImage image(kEdge, kEdge);
  for (int slot = 0; slot < kShadeCount; ++slot) {
    const Glyph8x8 glyph = Cp437Glyph(ShadeGlyphs[slot]);
    const int left = 8 * (2 * slot + 1);
    const int top = 8;
    for (int row = 0; row < 8; ++row)
      for (int col = 0; col < 8; ++col)
        if (glyph.rows[row] & (0x80 >> col)) image.SetGrey(left + col, top + row, 255);
  }
  return image;
}

}  // namespace showdata
