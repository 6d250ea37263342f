#include "engine/core/text_mode_image.h"

#include <cmath>

#include "engine/core/decode.h"
#include "engine/resources/bitmap.h"

uint8_t PaletteByte(int colour, int channel) {
  return static_cast<uint8_t>(std::lrintf(Palette16[colour & 15][channel] * 255.0f));
}

void DecodeToGlyphCells(const Cell* cells, GlyphCell* glyphs) {
  for (int i = 0; i < kScreenCells; ++i) {
    const DecodedCell d = DecodeCell(cells[i]);
    if (d.literal) continue;
    glyphs[i].attribute = d.attribute;
    glyphs[i].slot = static_cast<int32_t>(d.shade);
  }
}

void RasteriseTextMode(const GlyphCell* glyphs, const Bitmap& glyphImage, uint8_t* rgb) {
  for (int cy = 0; cy < kScreenHeight; ++cy) {
    for (int cx = 0; cx < kScreenWidth; ++cx) {
      const GlyphCell& glyph = glyphs[cy * kScreenWidth + cx];
      const int fg = static_cast<int>(glyph.attribute & 15);
      const int bg = static_cast<int>((glyph.attribute >> 4) & 15);
      const int slot = glyph.slot & 15;
      for (int py = 0; py < kGlyphPixels; ++py) {
        const uint32_t iy = static_cast<uint32_t>(GlyphSlotY() + py);
        uint8_t* out = rgb + ((cy * kGlyphPixels + py) * kTextModeWidth + cx * kGlyphPixels) * 3;
        for (int px = 0; px < kGlyphPixels; ++px, out += 3) {
          const uint32_t ix = static_cast<uint32_t>(GlyphSlotX(slot) + px);
          uint32_t p = 0;
          if (ix < glyphImage.width && iy < glyphImage.height && glyphImage.pixels != nullptr &&
              static_cast<int64_t>(iy) * glyphImage.width + ix < static_cast<int64_t>(glyphImage.pixelCount)) {
            p = glyphImage.pixels[iy * glyphImage.width + ix];
          }
          // The texture holds (blue, green, red, blue) of the image pixel:
          // colour times texel, blended by alpha = blue over the background.
          const float texel[3] = {static_cast<float>(p & 0xFF) / 255.0f,
                                  static_cast<float>((p >> 8) & 0xFF) / 255.0f,
                                  static_cast<float>((p >> 16) & 0xFF) / 255.0f};
          const float alpha = texel[0];
          for (int c = 0; c < 3; ++c) {
            if (alpha == 0.0f) {
              out[c] = PaletteByte(bg, c);
            } else if (alpha == 1.0f && texel[c] == 1.0f) {
              out[c] = PaletteByte(fg, c);
            } else {
              const float v = Palette16[fg][c] * texel[c] * alpha + Palette16[bg][c] * (1.0f - alpha);
              out[c] = static_cast<uint8_t>(std::lrintf(v * 255.0f));
            }
          }
        }
      }
    }
  }
}
