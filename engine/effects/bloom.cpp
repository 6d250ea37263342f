#include "engine/effects/bloom.h"

#include <cstdint>

#include "engine/core/level_blur.h"

namespace {

constexpr uint32_t kMaxBloomedLevel = 80;

}  // namespace

// Three plain passes, then a vertical one brightened (x 6 - 30) so that a
// bright shape's halo stands out; the halo sits half a cell right of and
// below what casts it.
void BloomLevels(Cell* cells, Cell* blurA, Cell* blurB) {
  static const LevelBlur plain = LevelBlur::Make(1.0f, 0.0f);
  static const LevelBlur brightened = LevelBlur::Make(6.0f, 30.0f);
  BlurLevelRows(cells, blurA, plain);
  BlurLevelColumns(blurA, blurB, plain);
  BlurLevelRows(blurB, blurA, plain);
  BlurLevelColumns(blurA, blurB, brightened);
  for (int i = 0; i < kScreenCells; ++i) {
    uint32_t level = CellLevel(cells[i]) + CellLevel(blurB[i]);
    if (level > kMaxBloomedLevel) level = kMaxBloomedLevel;
    cells[i] = CellWithLevel(cells[i], level);
  }
}
