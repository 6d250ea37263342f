// The complex-plane warp of the wobbler and the wobbly cube. Each screen cell
// is a point z of the plane (x from 3 at the left to -3 at the right, y from 2
// at the top to -2 at the bottom); W = ((z + a) / (z + b)) / (z + c) for three
// moving offsets a, b, c. The angle of W and the position of |W| inside its
// band between successive powers of e address a 256 x 256 texture. All in
// double precision.
#pragma once

#include <cstdint>

// The moving offsets: a = P1 + i P2, b = P3 + i P4, c = P5 + i P6.
struct WarpOffsets {
  double p1, p2, p3, p4, p5, p6;
};

// Offsets of the wobbler for its local time in ms (T = local x 0.5).
WarpOffsets WobblyWarpOffsets(uint32_t localMs);
// Offsets of the wobbly cube for its local time in ms (T = local x 0.25).
WarpOffsets WobblyCubeWarpOffsets(uint32_t localMs);

struct WarpComplex {
  double re, im;
};

// Smith's division of n by d (the ratio of the smaller to the larger part of
// d keeps the intermediate values in range). A divisor with both parts zero
// or a non-finite part gives NaN in both parts.
WarpComplex SmithDivide(WarpComplex n, WarpComplex d);

struct WarpSample {
  double angle;  // u: angle of W as a fraction of a turn, 0..1 (NaN for a NaN W)
  double band;   // v: where |W| lies between the powers of e below and above it, 0..1
};

// The warp at cell (column 0..79, row 0..49).
WarpSample WarpAt(const WarpOffsets& offsets, int column, int row);

// A 0..1 texture coordinate as a byte: trunc(t x 255) AND 255. NaN and values
// beyond the int32 range give 0, the byte of the integer minimum.
uint32_t WarpTextureByte(double t);

// Which warp coordinate picks the texture row: the wobbler reads row = angle,
// column = band; the cube the other way round.
enum class WarpAxes { kAngleRows, kBandRows };

// The texture pixel number (row byte x 256 + column byte, 0..65535) of every
// cell of the frame, row-major, into indices[4000]; the same values as
// WarpAt and WarpTextureByte give cell by cell.
void WarpTexelIndices(const WarpOffsets& offsets, WarpAxes axes, uint32_t* indices);
