#pragma once
// The show's generated images: one generator per file, and the table that
// make_show_data walks to write them all.

#include <span>
#include <string>

#include "tools/showdata/image.h"

namespace showdata {

// 80x50, blue = grain multiplying the frame's enlarged glow (0..255).
RgbImage MakeCrud();
// 80x50, blue = factor/255 on each cell's own level (255 in the middle).
RgbImage MakeVignette();
// 336x416 letter font: letter k in rows 16k..16k+15, turn frame f in columns
// 16f..16f+15; blue >= 4 marks a lit pixel, the background is 0.
RgbImage Make3dFont();
// Turn of font frame 0..20 about the vertical axis, radians: asin((f-10)/10),
// so frame 10 faces the viewer and frames 0 and 20 are edge-on.
double FontFrameAngle(int frame);
// 256x256 glyph image: shading glyph slot g (0..15) at x = 8(2g+1), y = 8.
RgbImage MakeTextModeChars();

struct ShowImage {
  const char* fileName;
  RgbImage (*generate)();
};

// Every image make_show_data writes, in writing order.
std::span<const ShowImage> ShowImages();

// Generates every image of ShowImages into the existing directory dir.
// Returns false at the first failure, with a one-line reason in error.
bool WriteShowImages(const std::string& dir, std::string& error);

}  // namespace showdata
