// The bloom shared by the wobbler and the wobbly cube: the levels of a cell
// buffer blurred twice with a separable ten-tap box, brightened, and added
// back so that bright shapes glow.
#pragma once

#include "engine/core/cell.h"

// cells, blurA, blurB: 80 x 50 cell buffers (4000 cells, row-major). blurA and
// blurB are scratch, fully written before they are read. Each cell's level
// (bits 8-15) becomes min(level + bloom, 80); its other bits stay.
void BloomLevels(Cell* cells, Cell* blurA, Cell* blurB);

// The passes of BloomLevels. Each writes every cell of dst: the cell of src at
// the same place with its level replaced; the sum of the ten taps (five
// before the cell, the cell, four after, clamped to the screen) is taken in
// float and divided by 11, then limited to 0..255 and truncated.
namespace bloom {
void BlurRowsPlain(const Cell* src, Cell* dst);
void BlurColumnsPlain(const Cell* src, Cell* dst);
// The last pass: sum / 11 x 6 - 30 before the limit.
void BlurColumnsBrightened(const Cell* src, Cell* dst);
}  // namespace bloom
