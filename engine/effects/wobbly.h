// The wobbler's own layers beyond the warp (warp.h) and the bloom (bloom.h):
// the greetings, a line of 3D letters scrolling right to left, each letter
// bobbing and turning, drawn from the letter font with a hard shadow.
#pragma once

#include <cstdint>

#include "engine/core/cell.h"

// The text, 110 characters; only a..z draw.
extern const char kGreetingsText[];
constexpr int kGreetingsLength = 110;

// Screen column of the first letter's left edge for the wobbler's local time
// (ms): enters at 120 and moves left one column per 30 ms.
int32_t GreetingsStartColumn(uint32_t localMs);
// Top row of letter j (0..109): 17 plus two bobbing sines of up to 8 rows each.
int32_t GreetingsLetterRow(int j, uint32_t localMs);
// Font frame (0..20, 10 facing) of letter j, given the start column.
int32_t GreetingsLetterFrame(int j, uint32_t localMs, int32_t startColumn);

// Draws every letter of the greetings into cells (80 x 50) for localMs.
void DrawGreetings(Cell* cells, uint32_t localMs);

// Draws one 16 x 16 letter of the font with its shadow into cells (80 x 50).
// x, y: screen column and row of the letter's top-left cell, may lie off
// screen; frame: font frame 0..20; letter: only 'a'..'z' draw. A font pixel
// adds blue / 2 (when that exceeds 1) to its cell's level, unclamped, after
// writing level 0 three rows down and four columns right. Reads the loaded
// LetterFont; draws nothing without one. Font pixels past the end of the
// font's pixel array read as 0.
void DrawFontLetter(int32_t x, int32_t y, int32_t frame, Cell* cells, uint8_t letter);
