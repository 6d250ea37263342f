// Bitmaps made in memory for tests, released with ReleaseBitmap.
#pragma once

#include <cstdint>

#include "engine/resources/bitmap.h"

inline Bitmap* MakeFilledBitmap(uint32_t width, uint32_t height, uint32_t pixel) {
  Bitmap* b = new Bitmap;
  b->width = width;
  b->height = height;
  b->pixelCount = static_cast<int32_t>(width * height);
  b->pixels = new uint32_t[width * height];
  for (uint32_t i = 0; i < width * height; ++i) b->pixels[i] = pixel;
  return b;
}
