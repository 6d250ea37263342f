// The window's text mode: the 80 x 50 screen drawn with OpenGL 1.1 as 8 x 8
// virtual-pixel quads, first the background colour of every cell, then its
// glyph from the glyph texture in the foreground colour. The 640 x 400
// virtual screen is scaled uniformly to the client area and centred, with
// black bars where the aspect ratios differ.
//
// Every call needs the window's GL context current. One renderer exists per
// program; its vertex arrays live for the whole run.
#pragma once

#include <cstdint>

#include "engine/core/text_mode_image.h"

struct Bitmap;

constexpr int kVerticesPerCell = 6;                             // two triangles
constexpr int kScreenVertices = kScreenCells * kVerticesPerCell;  // 24000 per draw
constexpr int kGlyphTexels = kGlyphImageEdge * kGlyphImageEdge;   // 65536
// Width of one glyph slot in texture coordinates: just under 8 / 256, so that
// nearest sampling never reaches the next 8-texel block.
constexpr float kGlyphSlotSpan = 0.03124f;

// The 4000 glyph records, laid over the screen's front-end area.
struct GlyphScreen {
  GlyphCell cells[kScreenCells];
};
GlyphCell* GlyphCells();
// Black on black, slot 0, for every cell: what shows before the first frame.
void ClearGlyphCells();

// Where the virtual screen lands in a client area of width x height pixels.
struct ViewFit {
  float scale;     // window pixels per virtual pixel: the smaller of w / 640 and h / 400
  float offsetX;   // left bar, pixels
  float offsetY;   // top bar, pixels
  float cell;      // cell edge, pixels (8 x scale)
};
ViewFit FitTextScreen(int width, int height);

// Viewport and projection for a client area: one unit per pixel, y down.
// A width or height of 0 (a minimised window) counts as 1.
void ResizeView(int width, int height);

// GL state and the glyph texture of "textmodechars.png" in the current
// context; false when GL reported an error.
bool SetUpGL();
// The same with a glyph image already loaded (any size: see BuildGlyphTexels).
bool SetUpGLWithImage(const Bitmap& glyphImage);

// The 256 x 256 RGBA texels of a glyph image, 4 bytes each: blue, green, red,
// blue of the pixel at the same (x, y), so colour and alpha of a grey image
// both carry its brightness. Texels outside the image, or the whole texture
// when the image has no pixels, are black with alpha 0.
void BuildGlyphTexels(const Bitmap& glyphImage, uint8_t* texels /* kGlyphTexels * 4 */);

// Decodes the screen's cells into the glyph records (literal cells keep theirs).
void PrepareGlyphCells();

// Clears the back buffer and draws the glyph records into a client area of
// width x height pixels: two draws of 24000 vertices.
void DrawTextScreen(int width, int height);
