// The twister's per-frame and per-row geometry: which row of the bar's map
// each screen row shows and how far its texture is shifted.
#pragma once

#include <cstdint>

constexpr int kTwisterMapWidth = 75;    // map columns = screen columns 3..77
constexpr int kTwisterMapRows = 239;    // one full turn of the bar

struct TwisterFrame {
  uint32_t scroll;   // texture rows scrolled: local ms / 8
  int32_t base;      // map row of the top screen row before the twist
  float twist;       // m: map rows added per screen row, -5.5..5.5
  float rowShift;    // o: texture rows per screen row, 2.25..7.75
};

// The frame's parameters for the twister's local time in ms.
TwisterFrame TwisterFrameAt(uint32_t localMs);
// Map row (0..238) shown by screen row r (0..49).
int32_t TwisterMapRow(const TwisterFrame& frame, int r);
// Texture rows screen row r is shifted by: trunc(o x r).
int32_t TwisterRowShift(const TwisterFrame& frame, int r);
// Light of screen row r: 1.2 sin(r / 16), 0 at the top, 1.2 near the middle.
float TwisterRowLight(int r);
// Level of a bar cell: trunc(texel x shade), where the shade is the map's
// lightness (255 - blue) / 255 times the row light, plus 0.3 on face edges
// (red below 70 or above 250), never below 0. Not clamped: up to 382.
uint32_t TwisterLevel(uint32_t texel, uint32_t mapRed, uint32_t mapBlue, float rowLight);
