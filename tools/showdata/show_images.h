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

// Warp textures, 256x256, blue read. wobbly.png: row = warp angle, column =
// band position, read at blue / 15 under the greetings. wobbly2.png: row =
// band position, column = angle, read at blue / 3 and bloomed.
RgbImage MakeWobbly();
RgbImage MakeWobbly2();

// The twister's bar map, 75x239: row k = the bar turned by k / 239 of a turn
// about its vertical axis. Per pixel: red = texture column (interior 70..250,
// a face's one-pixel edge 11..69, 0 uncovered), green = twice the face's
// texture row offset (below 2: the second texture), blue = darkness from the
// face's angle to the viewer (0 facing).
RgbImage MakeUvTwist();
struct TwisterMapPixel {
  int red = 0, green = 0, blue = 0;
  int face = -1;   // 0..3 (0 and 2 take the second texture), -1 uncovered
};
// The map pixel at (row 0..238, column 0..74), with the face it shows.
TwisterMapPixel TwisterMapAt(int row, int column);
// Turn of the bar shown by map row, radians (row / 239 of a full turn).
double TwisterMapAngle(int row);
// The twister's textures, 256x256, blue read, rows used modulo 255:
// twisttex.png for faces 1 and 3 (raised tiles), twisttex2.png for faces 0
// and 2 (slanted stripes). Columns 11..69 are the faces' edge strip.
RgbImage MakeTwistTexture();
RgbImage MakeTwistTexture2();

struct ShowImage {
  const char* fileName;
  RgbImage (*generate)();
};

// Every image make_show_data writes, in writing order.
std::span<const ShowImage> ShowImages();

// Generates every image of ShowImages, then every mesh of ShowMeshes
// (show_meshes.h), into the existing directory dir.
// Returns false at the first failure, with a one-line reason in error.
bool WriteShowImages(const std::string& dir, std::string& error);

}  // namespace showdata
