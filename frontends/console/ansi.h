// Code page 437 glyphs and text-mode colours as terminal output.
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/cell.h"
#include "engine/core/decode.h"

constexpr uint8_t kCp437UpperHalfBlock = 223;   // U+2580, two colour pixels in one cell

// A code page 437 character as Unicode, for the characters the show uses:
// the shading set, the shade blocks, the upper half block and ASCII; 0 and 255 (blanks) as a
// space, '?' for anything else. Two forms of the one mapping: the code point
// (UTF-16, for a Windows console) and its UTF-8 bytes (for a terminal).
uint16_t Cp437ToUnicode(uint8_t character);
const char* Cp437ToUtf8(uint8_t character);

// The code page 437 character a decoded cell shows.
inline uint8_t DecodedGlyph(const DecodedCell& d) {
  return static_cast<uint8_t>(d.literal ? d.character : ShadeGlyphs[d.shade & 15]);
}

// Text-mode colour 0..15 (bit 0 blue, 1 green, 2 red, 3 bright) as the ANSI
// colour number 0..15 (bit 0 red, 1 green, 2 blue, 3 bright).
inline constexpr int TextModeToAnsi(int colour) {
  return ((colour & 1) << 2) | (colour & 2) | ((colour & 4) >> 2) | (colour & 8);
}

// Text-mode colour 0..15 as 0xRRGGBB, each channel a PaletteByte.
uint32_t TextModeRgb(int colour);

// OSC 4 setting terminal colours 0..15 to the text-mode palette, each ANSI
// colour number to its text-mode colour's TextModeRgb; OSC 104 gives the
// terminal's own palette back.
void AppendPaletteSet(std::string& out);
constexpr const char* kPaletteReset = "\x1b]104\x07";

// Decimal digits of value.
void AppendDecimal(std::string& out, uint32_t value);

// One SGR parameter selecting a colour, without the CSI and the final 'm':
// trueColour: colour is 0xRRGGBB, giving "38;2;r;g;b" (background "48;2;r;g;b");
// otherwise colour is a text-mode colour 0..15, giving the ANSI "30".."37",
// "90".."97" (background "40".."47", "100".."107").
void AppendColourParameter(std::string& out, uint32_t colour, bool background, bool trueColour);

// SGR sequence selecting foreground and background of an attribute byte,
// as 24-bit colour or as the 16 ANSI colours.
void AppendAttributeSgr(std::string& out, uint32_t attribute, bool trueColour);

// The whole 80 x 50 screen as rows of coloured glyphs, each row ending in a
// colour reset and a newline.
void AppendAnsiScreen(std::string& out, const Cell* cells, bool trueColour);
