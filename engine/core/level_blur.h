// The ten-tap box blur over cell levels (bits 8-15) that the frame finishing,
// the bloom and the skull's glow all use, pass by pass. Each tap window holds
// five cells before the cell, the cell and four after (clamped to the
// screen), so a blur shifts a shape half a cell right and down; the window's
// sum is divided by 11, so a flat level keeps 10/11 of itself per pass.
#pragma once

#include <cstdint>

#include "engine/core/cell.h"

// A pass's result for every possible sum of ten levels (0..2550): the float
// sum / 11 x scale - offset, limited to 0..255. The sum is an integer below
// 2^24, exact in float whatever the order of its additions, so the table
// gives exactly the per-cell float arithmetic.
struct LevelBlur {
  static constexpr int kMaxTapSum = 10 * 255;
  uint8_t level[kMaxTapSum + 1];   // the limited value truncated toward zero
  float value[kMaxTapSum + 1];     // the limited value itself

  // scale 1 and offset 0 give the plain blur (x 1 and - 0 are exact).
  static LevelBlur Make(float scale, float offset);
};

// Each writes every cell of dst (80 x 50, row-major): the cell of src at the
// same place with its level replaced by the table's entry for its window's
// sum. src and dst must not overlap.
void BlurLevelRows(const Cell* src, Cell* dst, const LevelBlur& blur);
// Walks column by column, top to bottom, and returns the float sum of the
// values written in that order (the finishing's normaliser depends on it).
float BlurLevelColumns(const Cell* src, Cell* dst, const LevelBlur& blur);
