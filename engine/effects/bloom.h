// The bloom shared by the wobbler and the wobbly cube: the levels of a cell
// buffer blurred twice with a separable ten-tap box, brightened, and added
// back so that bright shapes glow.
#pragma once

#include "engine/core/cell.h"

// cells, blurA, blurB: 80 x 50 cell buffers (4000 cells, row-major). blurA and
// blurB are scratch, fully written before they are read. Each cell's level
// (bits 8-15) becomes min(level + bloom, 80); its other bits stay.
void BloomLevels(Cell* cells, Cell* blurA, Cell* blurB);
