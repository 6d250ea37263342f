// Glow, grain and vignette over every cell's level (bits 8-15), ending with
// every level in 0..80. Kind, hue and saturation pass through untouched.
#pragma once

#include "engine/core/cell.h"

struct Bitmap;

struct FrameFinisher {
  Cell glowA[kScreenCells];   // scratch, rewritten every call
  Cell glowB[kScreenCells];
  Bitmap* crud;               // "crud.png": blue byte of pixel i is cell i's grain
  Bitmap* vignette;           // "vignette.png": blue byte of pixel i scales cell i

  // Loads "crud.png", then "vignette.png".
  static FrameFinisher* Create();
  // Releases crud, vignette, then the finisher.
  static void Destroy(FrameFinisher* finisher);

  // Reworks the levels of the given 4000 cells (the screen's by default).
  void Apply();
  void ApplyTo(Cell* cells);
};

// The passes of Apply, exposed so that their border and sampling rules can be
// checked on their own.
namespace finishing {
// Ten-tap box blur along rows / columns (five before, the cell, four after,
// clamped to the screen, divided by 11); other bits copied from src.
void BlurRows(const Cell* src, Cell* dst);
void BlurColumns(const Cell* src, Cell* dst);
// BlurColumns with levels stretched to 6 s / 11 - 40; returns the float sum
// of the stretched levels, added column by column.
float BlurColumnsWithContrast(const Cell* src, Cell* dst);
// Glow column (20..63) sampled by screen column x, glow row (20..42) by row y.
int GlowSampleColumn(int x);
int GlowSampleRow(int y);
}  // namespace finishing
