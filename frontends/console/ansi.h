// Code page 437 glyphs and text-mode colours as terminal output.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/cell.h"

// UTF-8 form of a code page 437 character (the shading set, ASCII, and '?'
// for anything else).
const char* Cp437ToUtf8(uint8_t character);

// Text-mode colour 0..15 (bit 0 blue, 1 green, 2 red, 3 bright) as the ANSI
// colour number 0..15 (bit 0 red, 1 green, 2 blue, 3 bright).
inline constexpr int TextModeToAnsi(int colour) {
  return ((colour & 1) << 2) | (colour & 2) | ((colour & 4) >> 2) | (colour & 8);
}

// SGR sequence selecting foreground and background of an attribute byte,
// as 24-bit colour or as the 16 ANSI colours.
void AppendAttributeSgr(std::string& out, uint32_t attribute, bool trueColour);

// The whole 80 x 50 screen as rows of coloured glyphs, each row ending in a
// colour reset and a newline.
void AppendAnsiScreen(std::string& out, const Cell* cells, bool trueColour);
