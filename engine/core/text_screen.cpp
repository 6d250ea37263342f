#include "engine/core/text_screen.h"

#include <cstring>

#include "engine/render3d/fixed_math.h"

namespace {
TextScreen* gScreen = nullptr;
}

TextScreen* TextScreen::Get() {
  if (gScreen == nullptr) {
    // Default-initialised: the buffers keep whatever the allocator gives, as
    // the frame driver clears the screen cells before anything reads them.
    gScreen = new TextScreen;
    gScreen->camera = new Camera();
    gScreen->cells = gScreen->mainCells;
  }
  return gScreen;
}

void TextScreen::Release() {
  if (gScreen == nullptr) return;
  delete gScreen->camera;
  delete gScreen;
  gScreen = nullptr;
}

void ClearScreenCells(TextScreen& screen) {
  std::memset(screen.mainCells, 0, sizeof(Cell) * kScreenCells);
}

uint32_t CellsDigest(const Cell* cells) {
  uint32_t h = 2166136261u;
  for (int i = 0; i < kScreenCells; ++i) {
    for (int k = 0; k < 4; ++k) h = (h ^ ((cells[i] >> (8 * k)) & 0xFF)) * 16777619u;
  }
  return h;
}
