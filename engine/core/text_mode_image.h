// Text mode as the window front-end draws it: every cell an 8 x 8 pixel block
// of its background colour with its glyph drawn over it in the foreground
// colour. Shared by the headless renderer and the tests of the window renderer.
#pragma once

#include <cstdint>

#include "engine/core/cell.h"

struct Bitmap;

constexpr int kGlyphPixels = 8;                                   // cell edge in pixels
constexpr int kTextModeWidth = kScreenWidth * kGlyphPixels;       // 640
constexpr int kTextModeHeight = kScreenHeight * kGlyphPixels;     // 400
constexpr int kGlyphImageEdge = 256;                              // "textmodechars.png"

// The 16 text-mode colours, red, green, blue in 0..1.
inline constexpr float Palette16[16][3] = {
    {0, 0, 0},       {0, 0, 0.5f},       {0, 0.5f, 0},    {0, 0.5f, 0.5f},
    {0.5f, 0, 0},    {0.5f, 0, 0.5f},    {0.5f, 0.5f, 0}, {0.75f, 0.75f, 0.75f},
    {0.5f, 0.5f, 0.5f}, {0, 0, 1},       {0, 1, 0},       {0, 1, 1},
    {1, 0, 0},       {1, 0, 1},          {1, 1, 0},       {1, 1, 1},
};

// A palette channel as an 8-bit framebuffer stores it (round to nearest even).
uint8_t PaletteByte(int colour, int channel);

// One decoded cell as the window renderer keeps it.
struct GlyphCell {
  uint32_t attribute;   // RampTable entry: bits 0-3 foreground, 4-7 background
  int32_t slot;         // glyph slot 0..15 in the glyph image
};

// Decodes 4000 cells; a literal cell leaves its glyph cell as it was.
void DecodeToGlyphCells(const Cell* cells, GlyphCell* glyphs);

// Left and top pixel of glyph slot 0..15 in the glyph image.
inline constexpr int GlyphSlotX(int slot) { return kGlyphPixels * (2 * slot + 1); }
inline constexpr int GlyphSlotY() { return kGlyphPixels; }

// Draws 4000 glyph cells into rgb (640 x 400 x 3 bytes, row-major). Glyph
// pixels outside the image read as black.
void RasteriseTextMode(const GlyphCell* glyphs, const Bitmap& glyphImage, uint8_t* rgb);
