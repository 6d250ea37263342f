// The twister's images.
//
// "uvtwist.png", 75 x 239: a square bar, 44 columns across, turning about its
// vertical axis, seen from the front without perspective. Map row k shows the
// bar turned by k / 239 of a full turn, so row 238 runs on into row 0. Column
// j covers x = j - 37.5 .. j - 36.5 columns from the axis and shows the face
// under its centre. Each covered pixel: red = texture column (a face's
// interior 70..250 from its left corner to its right; the outermost pixels of
// the silhouette and the pixel a crease runs through 30 or 50, in the edge
// strip below 70 that the effect brightens), green = twice the face's texture
// row offset (0 and 1 on faces 0 and 2, which take the second texture; 50 and
// 152 on faces 1 and 3), blue = darkness 255 (1 - cos) from the angle between
// the face's normal and the viewer. Uncovered pixels are black (red 0: the
// effect leaves its ground there).
//
// "twisttex.png" and "twisttex2.png", 256 x 256 (blue read): the textures of
// the two face pairs. The effect reads texture rows modulo 255 and steps
// about five texture rows per screen row, so the patterns repeat every 51
// rows (five times in 255) and are drawn large. The face's own light scales
// a texel by up to 1.2 (1.5 on edges) and levels above 255 would wrap to
// dark, so the faces stay dark to mid (the ground around the bar is bright)
// and only the rims and edges are bright. Columns 11..69 are the edge strip:
// bright dashes that scroll with the faces.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/showdata/show_images.h"

namespace showdata {

namespace {

constexpr int kMapWidth = 75;
constexpr int kMapRows = 239;
constexpr double kHalfSide = 22.0;     // bar half-width in columns; the diagonal (62.2) fits in 75
constexpr double kAxis = 37.5;         // turning axis, in map columns from the left edge
constexpr int kInteriorFirst = 70;     // texture columns of a face's interior
constexpr int kInteriorLast = 250;
constexpr int kEdgeColumnLeft = 30;    // texture columns of a face's left and right edge pixels
constexpr int kEdgeColumnRight = 50;
// Twice the texture row offset of faces 0..3; faces 0 and 2 take the second texture.
constexpr int kFaceGreen[4] = {0, 50, 1, 152};

constexpr int kTexSize = 256;
constexpr int kTexPeriod = 51;         // texture rows per pattern repeat (255 / 5)
constexpr int kEdgeStripFirst = 11;
constexpr int kEdgeStripLast = 69;

uint8_t ToByte(double v) { return static_cast<uint8_t>(std::clamp<long>(std::lround(v), 0, 255)); }

}  // namespace

double TwisterMapAngle(int row) { return row * 2.0 * std::numbers::pi / kMapRows; }

namespace {

// The face (0..3) under point x (columns from the axis) of the bar turned by
// phi, or -1 if the bar does not cover x; its corners' x in x0, x1.
int FaceUnder(double phi, double x, double& x0, double& x1) {
  const double radius = kHalfSide * std::sqrt(2.0);
  for (int k = 0; k < 4; ++k) {
    const double normal = phi + k * std::numbers::pi / 2.0;
    if (std::cos(normal) <= 0.0) continue;   // turned away from the viewer
    x0 = radius * std::sin(normal - std::numbers::pi / 4.0);
    x1 = radius * std::sin(normal + std::numbers::pi / 4.0);
    if (x >= x0 && x < x1) return k;
  }
  return -1;
}

}  // namespace

TwisterMapPixel TwisterMapAt(int row, int column) {
  const double phi = TwisterMapAngle(row);
  const double left = column - kAxis, right = left + 1.0, centre = left + 0.5;
  double x0 = 0.0, x1 = 0.0, unused0 = 0.0, unused1 = 0.0;
  const int k = FaceUnder(phi, centre, x0, x1);
  if (k < 0) return {};
  TwisterMapPixel p;
  const double pos = (centre - x0) / (x1 - x0);   // 0 at the face's left corner
  // Edges: the outermost covered pixels of the silhouette, and the pixel a
  // crease between two faces runs through.
  const bool leftEdge = FaceUnder(phi, centre - 1.0, unused0, unused1) < 0 || (x0 >= left && x0 < right);
  const bool rightEdge = FaceUnder(phi, centre + 1.0, unused0, unused1) < 0 || (x1 >= left && x1 < right);
  if (leftEdge) {
    p.red = kEdgeColumnLeft;
  } else if (rightEdge) {
    p.red = kEdgeColumnRight;
  } else {
    p.red = kInteriorFirst + static_cast<int>(pos * (kInteriorLast - kInteriorFirst) + 0.5);
  }
  p.green = kFaceGreen[k];
  p.blue = ToByte(255.0 * (1.0 - std::cos(phi + k * std::numbers::pi / 2.0)));
  p.face = k;
  return p;
}

RgbImage MakeUvTwist() {
  RgbImage image(kMapWidth, kMapRows);
  for (int row = 0; row < kMapRows; ++row)
    for (int j = 0; j < kMapWidth; ++j) {
      const TwisterMapPixel p = TwisterMapAt(row, j);
      image.SetRgb(j, row, static_cast<uint8_t>(p.red), static_cast<uint8_t>(p.green), static_cast<uint8_t>(p.blue));
    }
  return image;
}

namespace {

// Edge strip: bright dashes, 30 rows lit in every 51, so the edges show the
// scroll even where the row light leaves the faces dark. At most 170 so that
// the brightened edge (shade up to 1.5) stays below 256.
uint8_t EdgeStrip(int row) { return (row % kTexPeriod) < 30 ? 140 : 20; }

}  // namespace

// Tiles: 3 across the face, one per 51 rows, each a raised block lit from the
// upper left (bright top and left rims, dark lower and right rims) on dark
// mortar.
RgbImage MakeTwistTexture() {
  RgbImage image(kTexSize, kTexSize);
  constexpr int kTileWidth = 60;
  for (int y = 0; y < kTexSize; ++y) {
    for (int x = 0; x < kTexSize; ++x) {
      double v;
      if (x >= kEdgeStripFirst && x <= kEdgeStripLast) {
        v = EdgeStrip(y);
      } else {
        const int tx = (x - kInteriorFirst + kTileWidth * 4) % kTileWidth;   // 0..59 inside a tile
        const int ty = y % kTexPeriod;                                       // 0..50
        if (tx < 6 || ty < 8) {
          v = 0.0;                                    // mortar
        } else if (ty < 16 || tx < 14) {
          v = 60.0;                                   // lit rims
        } else if (ty > 44 || tx > 52) {
          v = 6.0;                                    // shaded rims
        } else {
          v = 24.0;                                   // face of the tile
        }
      }
      image.SetGrey(x, y, ToByte(v));
    }
  }
  return image;
}

// Diagonal stripes, two per 51 rows across the face, so that the second
// pair of faces reads as a different material and the scroll direction shows.
RgbImage MakeTwistTexture2() {
  RgbImage image(kTexSize, kTexSize);
  for (int y = 0; y < kTexSize; ++y) {
    for (int x = 0; x < kTexSize; ++x) {
      double v;
      if (x >= kEdgeStripFirst && x <= kEdgeStripLast) {
        v = EdgeStrip(y);
      } else {
        // Phase along the stripe normal: 1 per 51 rows downwards plus a slant
        // of one period across 180 columns.
        const double phase = (y % kTexPeriod) / double(kTexPeriod) + (x - kInteriorFirst) / 180.0;
        const double s = 0.5 + 0.5 * std::cos(2.0 * std::numbers::pi * phase);
        v = 45.0 * s * s;
      }
      image.SetGrey(x, y, ToByte(v));
    }
  }
  return image;
}

}  // namespace showdata
