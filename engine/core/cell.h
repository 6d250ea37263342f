// The Cell word: one screen cell as an unsigned 32-bit colour word.
//
// This header is the only place that spells out the word's masks; everything
// else goes through the accessors below.
//
//   bits 24-31  kind
//   kind 1 (and any kind other than 0 and 2): ramp colour, the effects' form
//     bits 16-23  hue          ramp row x 10 (230 = row 23 almost everywhere)
//     bits  8-15  level        brightness, 0..80 after frame finishing
//     bits  0- 7  saturation   0..15 grey ramp, 16+ the hue's ramp
//   kind 0: RGB colour (a Bitmap pixel word is such a cell)
//     bits 16-23 red, 8-15 green, 0-7 blue
//   kind 2: literal text-mode character
//     bits  8-15  attribute    bits 0-3 foreground, 4-7 background
//     bits  0- 7  character    code page 437
//
// A screen is 80 x 50 cells, row-major: cell (x, y) at index y * 80 + x.
#pragma once

#include <cstdint>

using Cell = uint32_t;

constexpr int kScreenWidth = 80;                              // cells
constexpr int kScreenHeight = 50;                             // cells
constexpr int kScreenCells = kScreenWidth * kScreenHeight;    // 4000

constexpr uint32_t kCellKindRgb = 0;
constexpr uint32_t kCellKindRamp = 1;
constexpr uint32_t kCellKindLiteral = 2;

constexpr uint32_t kHueDefault = 230;        // ramp row 23
constexpr uint32_t kSaturationFull = 100;    // 0x64: the hue's ramp
constexpr uint32_t kSaturationHalf = 50;     // 0x32: still the hue's ramp
constexpr uint32_t kGreySaturationLimit = 16;  // below: grey ramp

// Fixed-role words.
constexpr Cell kCellDark = 0x01E60064;     // kind 1, hue 230, level 0, sat 100
constexpr Cell kCellNoEffect = 0x00780000; // RGB (120, 0, 0): no effect active

inline constexpr uint32_t CellKind(Cell c) { return c >> 24; }
inline constexpr uint32_t CellHue(Cell c) { return (c >> 16) & 0xFF; }
inline constexpr uint32_t CellLevel(Cell c) { return (c >> 8) & 0xFF; }
inline constexpr uint32_t CellSaturation(Cell c) { return c & 0xFF; }

// Kind-0 components.
inline constexpr uint32_t CellRed(Cell c) { return (c >> 16) & 0xFF; }
inline constexpr uint32_t CellGreen(Cell c) { return (c >> 8) & 0xFF; }
inline constexpr uint32_t CellBlue(Cell c) { return c & 0xFF; }

// Kind-2 fields.
inline constexpr uint32_t CellAttribute(Cell c) { return (c >> 8) & 0xFF; }
inline constexpr uint32_t CellCharacter(Cell c) { return c & 0xFF; }

// Replaces bits 8-15 whatever the kind; level is taken modulo 256.
inline constexpr Cell CellWithLevel(Cell c, uint32_t level) {
  return (c & 0xFFFF00FFu) | ((level & 0xFF) << 8);
}

// Bits 16-31 of a word: kind and hue of a ramp cell.
inline constexpr Cell CellKindAndHue(Cell c) { return c & 0xFFFF0000u; }

inline constexpr Cell MakeRampCell(uint32_t hue, uint32_t level, uint32_t saturation) {
  return (kCellKindRamp << 24) | ((hue & 0xFF) << 16) | ((level & 0xFF) << 8) | (saturation & 0xFF);
}
inline constexpr Cell MakeRgbCell(uint32_t red, uint32_t green, uint32_t blue) {
  return ((red & 0xFF) << 16) | ((green & 0xFF) << 8) | (blue & 0xFF);
}
inline constexpr Cell MakeLiteralCell(uint32_t character, uint32_t attribute) {
  return (kCellKindLiteral << 24) | ((attribute & 0xFF) << 8) | (character & 0xFF);
}

// The word every effect of the default hue writes: 0x01E60064 | level << 8.
inline constexpr Cell DarkCellAtLevel(uint32_t level) { return CellWithLevel(kCellDark, level); }

// ORs an unmasked level into a word whose level bits are 0. Levels of 256 and
// more carry into bit 16: hue 230 becomes 231, the same ramp row when decoded.
// For effects whose sums are not clamped (greetings letters, twister shading).
inline constexpr Cell CellOrCarriedLevel(Cell levelFree, uint32_t level) { return levelFree | (level << 8); }
