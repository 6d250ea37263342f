#pragma once
// Outlines of the 3D letter font: each letter a..z is a bold capital drawn as
// a union (and difference) of rectangles, rounded-rectangle rings and slanted
// bars, evaluated as a signed distance in font pixels. The font generator
// extrudes these outlines into solids.

namespace showdata {

constexpr double kLetterHeight = 12.0;  // font pixels: rows 0 (top) .. 12 (bottom)

struct LetterShape {
  double width;  // font pixels: columns 0 .. width (about 8.5, M and W 10.6, I 3)
  char letter;   // 'a'..'z'
};

// Width and identity of letter 'a'..'z'; any other character gives 'a'.
LetterShape GetLetterShape(char letter);

// Signed distance (font pixels) from point (x, y) (font pixels, x 0..width to
// the right, y 0..12 downwards) to the outline of the letter: negative inside, positive outside. A lower bound of
// the true distance, so it can be used to step along rays.
double LetterDistance(const LetterShape& shape, double x, double y);

}  // namespace showdata
