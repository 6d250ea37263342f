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
