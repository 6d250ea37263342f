// Helpers of the effect tests: test bitmaps, a frame digest, and the real
// show built from the embedded pack.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/cell.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"

namespace effects_test {

// A width x height bitmap whose pixel i is grey with blue = value(i).
template <typename F>
Bitmap* MakeGreyBitmap(uint32_t width, uint32_t height, F value) {
  Bitmap* b = new Bitmap;
  b->width = width;
  b->height = height;
  b->pixelCount = static_cast<int32_t>(width * height);
  b->pixels = new uint32_t[width * height];
  for (uint32_t i = 0; i < width * height; ++i) {
    const uint32_t v = static_cast<uint32_t>(value(i)) & 0xFF;
    b->pixels[i] = (v << 16) | (v << 8) | v;
  }
  return b;
}

// FNV-1a over the 4000 cells, each as four little-endian bytes.
inline uint32_t FrameDigest(const Cell* cells) {
  uint32_t h = 2166136261u;
  for (int i = 0; i < kScreenCells; ++i) {
    for (int k = 0; k < 4; ++k) {
      h ^= (cells[i] >> (8 * k)) & 0xFF;
      h *= 16777619u;
    }
  }
  return h;
}

// The whole show as the programs build it; torn down with everything it made.
struct RealShow {
  RealShow() {
    screen = TextScreen::Get();
    BuildShow();
  }
  ~RealShow() {
    TearDownShow();
    ResourceTable::Release();
    TextScreen::Release();
  }
  // The finished frame at demo time ms.
  const Cell* Frame(uint32_t ms) {
    RenderFrame(ms);
    return screen->cells;
  }
  TextScreen* screen;
};

}  // namespace effects_test
