// What a terminal should show for a screen, worked out apart from the
// encoder: the glyphs of the shading set by their Unicode names, the palette
// and the ANSI numbers from their own tables here.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "engine/core/cell.h"
#include "engine/core/decode.h"
#include "tests/console/mini_terminal.h"

// Text-mode palette as 8-bit channels: half is 128, three quarters 191.
inline constexpr uint32_t kExpectedPalette[16] = {
    0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xBFBFBF,
    0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
// Text-mode colour to ANSI colour: blue and red trade places.
inline constexpr uint32_t kExpectedAnsi[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

inline std::string ExpectedGlyph(uint32_t cp437) {
  switch (cp437) {
    case 0: case 32: case 255: return " ";
    case 7: return "\xE2\x80\xA2";     // U+2022 bullet
    case 9: return "\xE2\x97\x8B";     // U+25CB white circle
    case 15: return "\xE2\x98\xBC";    // U+263C white sun with rays
    case 21: return "\xC2\xA7";        // U+00A7 section sign
    case 29: return "\xE2\x86\x94";    // U+2194 left right arrow
    case 250: return "\xC2\xB7";       // U+00B7 middle dot
    default: break;
  }
  if (cp437 > 32 && cp437 < 127) return std::string(1, static_cast<char>(cp437));
  return "?";
}

inline const char* kUpperHalfBlock = "\xE2\x96\x80";   // U+2580

inline TermColour ExpectedColour(uint32_t textModeColour, bool trueColour) {
  if (trueColour) return {TermColour::Rgb, kExpectedPalette[textModeColour & 15]};
  return {TermColour::Ansi, kExpectedAnsi[textModeColour & 15]};
}

// The cell a full-size terminal shows for screen cell c. A blank glyph shows
// no foreground, so its fg is left default and not compared.
inline TermCell ExpectedFullCell(Cell c, bool trueColour) {
  const DecodedCell d = DecodeCell(c);
  const uint32_t glyph = d.literal ? d.character : ShadeGlyphs[d.shade];
  TermCell out;
  out.glyph = ExpectedGlyph(glyph);
  out.bg = ExpectedColour(d.attribute >> 4 & 15, trueColour);
  if (out.glyph != " ") out.fg = ExpectedColour(d.attribute & 15, trueColour);
  return out;
}

// The colour a half block shows for screen cell c: foreground over
// background by the glyph's coverage (0..1, from coverage per slot; a
// literal character of the shading set as its slot, a blank as empty, any
// other 0.5), as 0xRRGGBB, channels rounded.
inline uint32_t ExpectedMixRgb(Cell c, const float coverage[16]) {
  const DecodedCell d = DecodeCell(c);
  float k = 0.5f;
  if (!d.literal) {
    k = coverage[d.shade];
  } else if (d.character == 32 || d.character == 0 || d.character == 255) {
    k = coverage[0];
  } else {
    for (int s = 15; s >= 0; --s) {
      if (ShadeGlyphs[s] == d.character) k = coverage[s];
    }
  }
  const uint32_t fg = kExpectedPalette[d.attribute & 15];
  const uint32_t bg = kExpectedPalette[d.attribute >> 4 & 15];
  uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const double v = ((fg >> shift) & 0xFF) * static_cast<double>(k) + ((bg >> shift) & 0xFF) * (1.0 - k);
    out |= static_cast<uint32_t>(std::lround(v)) << shift;
  }
  return out;
}

inline int64_t RgbDistance(uint32_t a, uint32_t b) {
  int64_t d = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const int64_t e = int64_t{(a >> shift) & 0xFF} - int64_t{(b >> shift) & 0xFF};
    d += e * e;
  }
  return d;
}

// Empty when shown is an acceptable rendering of the mixed colour want:
// in 24-bit mode within one step per channel (rounding of halves), in
// 16-colour mode the ANSI colour nearest to it or to a colour one step away
// (near ties fall either way with that rounding).
inline std::string CheckMixedColour(const TermColour& shown, uint32_t want, bool trueColour) {
  if (trueColour) {
    if (shown.kind != TermColour::Rgb) return "not 24-bit: " + Describe(shown);
    for (int shift = 16; shift >= 0; shift -= 8) {
      const int e = static_cast<int>((shown.value >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF);
      if (e < -1 || e > 1) return Describe(shown) + " for " + Describe({TermColour::Rgb, want});
    }
    return "";
  }
  if (shown.kind != TermColour::Ansi || shown.value > 15) return "not an ANSI colour: " + Describe(shown);
  uint32_t textMode = 0;
  while (kExpectedAnsi[textMode] != shown.value) ++textMode;
  for (int dr = -1; dr <= 1; ++dr) {
    for (int dg = -1; dg <= 1; ++dg) {
      for (int db = -1; db <= 1; ++db) {
        const int r = std::clamp(static_cast<int>(want >> 16 & 0xFF) + dr, 0, 255);
        const int g = std::clamp(static_cast<int>(want >> 8 & 0xFF) + dg, 0, 255);
        const int b = std::clamp(static_cast<int>(want & 0xFF) + db, 0, 255);
        const uint32_t near = static_cast<uint32_t>(r << 16 | g << 8 | b);
        int64_t best = INT64_MAX;
        for (uint32_t p : kExpectedPalette) best = std::min(best, RgbDistance(p, near));
        if (RgbDistance(kExpectedPalette[textMode], near) == best) return "";
      }
    }
  }
  return Describe(shown) + " is not nearest to " + Describe({TermColour::Rgb, want});
}

// Empty when terminal cell t shows upper and lower: an upper half block in
// their colours, or (when they render alike) a blank in the background.
inline std::string CheckHalfBlock(const TermCell& t, uint32_t upper, uint32_t lower, bool trueColour) {
  std::string e;
  if (t.glyph == kUpperHalfBlock) {
    e = CheckMixedColour(t.fg, upper, trueColour);
    if (e.empty()) e = CheckMixedColour(t.bg, lower, trueColour);
  } else if (t.glyph == " ") {
    e = CheckMixedColour(t.bg, upper, trueColour);
    if (e.empty()) e = CheckMixedColour(t.bg, lower, trueColour);
  } else {
    e = "glyph " + t.glyph;
  }
  return e;
}

// Screen row under the middle of half row v of 2 * terminalRows half rows,
// and screen column under the middle of column x of columns.
inline int SampledRow(int v, int areaRows) {
  return static_cast<int>(std::floor((v + 0.5) * kScreenHeight / (2.0 * areaRows)));
}
inline int SampledColumn(int x, int areaColumns) {
  return static_cast<int>(std::floor((x + 0.5) * kScreenWidth / static_cast<double>(areaColumns)));
}
