// Bounds-checked pixel reads for the effects. Every texture, map and font
// lookup goes through here, so that an image of the wrong size (or the 80 x 50
// zero image that replaces an undecodable resource) is never read past its
// end: a pixel outside the array reads as 0.
#pragma once

#include <cstdint>

#include "engine/core/cell.h"
#include "engine/resources/bitmap.h"

// Pixel word (0x00RRGGBB) number index of bitmap; 0 outside 0..pixelCount-1
// or when there is no bitmap.
inline uint32_t PixelOrZero(const Bitmap* bitmap, int64_t index) {
  if (bitmap == nullptr || bitmap->pixels == nullptr || index < 0 || index >= bitmap->pixelCount) return 0;
  return bitmap->pixels[index];
}

// Blue component (0..255) of pixel number index; 0 outside the array.
inline uint32_t BlueOrZero(const Bitmap* bitmap, int64_t index) { return CellBlue(PixelOrZero(bitmap, index)); }
