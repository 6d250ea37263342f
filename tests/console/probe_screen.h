// The known screens the console tests encode: every kind of cell word, all
// shading glyphs and many attributes, and a band that changes from one frame
// to the next while the rest stays.
#pragma once

#include "engine/core/cell.h"

constexpr int kProbeBandLeft = 20;    // columns 20..59 change with the frame
constexpr int kProbeBandRight = 60;

inline Cell ProbeCell(int frame, int x, int y) {
  const int f = (x >= kProbeBandLeft && x < kProbeBandRight) ? frame : 0;
  if (y == 0 && x < 26) {
    // Letters, each with its own attribute.
    return MakeLiteralCell(static_cast<uint32_t>('A' + x), static_cast<uint32_t>((x * 37 + f * 11) & 0xFF));
  }
  if ((x + y) % 7 == 0) {
    return MakeRgbCell(static_cast<uint32_t>(x * 3 + f * 5) & 0xFF, static_cast<uint32_t>(y * 5) & 0xFF,
                       static_cast<uint32_t>(x * y + f) & 0xFF);
  }
  const uint32_t hue = static_cast<uint32_t>((x / 10 + y / 7) % 24) * 10;
  const uint32_t level = static_cast<uint32_t>(x + 2 * y + 3 * f) % 81;
  const uint32_t saturation = (y % 3 == 0) ? 8 : 100;   // grey ramp on every third row
  return MakeRampCell(hue, level, saturation);
}

inline void ProbeScreen(int frame, Cell* cells) {
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) cells[y * kScreenWidth + x] = ProbeCell(frame, x, y);
  }
}
