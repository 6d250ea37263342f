#include "engine/core/decode.h"

#include <algorithm>

Hls RgbToHls(int32_t red, int32_t green, int32_t blue) {
  const int32_t max = std::max({red, green, blue});
  const int32_t min = std::min({red, green, blue});
  Hls out;
  out.lightness = (66 * (max + min) + 255) / 510;
  if (max == min) {
    out.saturation = 0;
    out.hue = 44;
    return out;
  }
  const int32_t sum = out.lightness <= 33 ? max + min : 510 - max - min;
  const int32_t delta = max - min;
  out.saturation = (66 * delta + sum / 2) / sum;
  const int32_t rd = (11 * (max - red) + delta / 2) / delta;
  const int32_t gd = (11 * (max - green) + delta / 2) / delta;
  const int32_t bd = (11 * (max - blue) + delta / 2) / delta;
  if (red == max) {
    out.hue = bd - gd;
  } else if (green == max) {
    out.hue = 22 + rd - bd;
  } else {
    out.hue = 44 + gd - rd;
  }
  if (out.hue < 0) out.hue += 66;
  if (out.hue > 66) out.hue -= 66;
  return out;
}

DecodedCell DecodeCell(Cell cell) {
  const uint32_t kind = CellKind(cell);
  if (kind == kCellKindLiteral) {
    return DecodedCell{true, CellAttribute(cell), 0, CellCharacter(cell)};
  }
  int32_t hue, lightness, saturation;
  if (kind == kCellKindRgb) {
    const Hls hls = RgbToHls(CellRed(cell), CellGreen(cell), CellBlue(cell));
    hue = hls.hue;
    lightness = hls.lightness;
    saturation = hls.saturation;
    // Halve the upper half so white (66) lands in the bright column 5, not 8.
    if (lightness > 32) lightness = lightness / 2 + 14;
  } else {
    hue = static_cast<int32_t>(CellHue(cell));
    lightness = static_cast<int32_t>(CellLevel(cell));
    saturation = static_cast<int32_t>(CellSaturation(cell));
  }
  if (lightness < 0) lightness = 0;
  const int32_t column = std::min(lightness / 8, kRampColumns - 1);
  int32_t row;
  if (saturation < static_cast<int32_t>(kGreySaturationLimit)) {
    row = kGreyRampRow;
  } else if (kind == kCellKindRgb) {
    row = (hue + 5) / 11;
    if (row > 5) row = 0;  // hues near 66 wrap round to red
  } else {
    row = std::clamp(hue / 10, 0, kRampRows - 1);
  }
  return DecodedCell{false, RampTable[row][column], static_cast<uint32_t>(lightness & 15), 0};
}
