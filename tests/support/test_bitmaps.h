// Bitmaps made in memory for tests, released with ReleaseBitmap; and the
// text-mode palette their pictures are checked in.
#pragma once

#include <algorithm>
#include <cstdint>

#include "engine/resources/bitmap.h"

inline Bitmap* MakeFilledBitmap(uint32_t width, uint32_t height, uint32_t pixel) {
  Bitmap* b = new Bitmap{static_cast<int32_t>(width * height), new uint32_t[width * height], width, height};
  std::fill_n(b->pixels, width * height, pixel);
  return b;
}

// The text-mode palette as 0xRRGGBB: half a channel is 128, three quarters 191.
inline constexpr uint32_t kTextModePalette[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                                  0x808000, 0xBFBFBF, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                                                  0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
