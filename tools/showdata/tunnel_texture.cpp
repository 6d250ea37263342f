// "tunnel.png": the wall of the tunnel flight, designed for how the tunnel
// addresses it (see tunnel_images.h). Coordinates used below:
//   cell  = row >> 3, 0..31: depth in steps of 4 units; 8 cells per segment,
//           4 segments per 128-unit repeat (a repeat flies past in 1.28 s)
//   s     = column / 16, 0..16: angle units within one 16-unit repeat; the
//           tunnel samples whole s only, the columns between interpolate so
//           that the image also reads as a picture.
// Brightness is the blue byte (all three components equal). The tunnel adds
// roughly 30..90 of noise to it and scales the sum by 0.19..0.32 (weight and
// pulse); the frame's glow adds more on top. So panels (100..150) sit in the
// middle of the ramp, where the credits' dark letters still stand out, ribs
// and light strips reach its bright end, and the seams (0) show the noise
// alone.

#include <cmath>
#include <numbers>

#include "tools/showdata/tunnel_images.h"

namespace showdata {

namespace {

constexpr int kSize = 256;
constexpr int kCellRows = 8;          // rows per depth cell (the OR with the octant stays inside)
constexpr int kSegmentCells = 8;      // depth cells per segment (32 depth units)
constexpr double kColumnsPerUnit = 16.0;
constexpr double kPanelUnits = 8.0;   // angle units per panel: 16 panels around

constexpr double kRib = 230.0;        // lit face of a ring rib
constexpr double kRibUnderside = 150.0;
constexpr double kRibShadow = 30.0;   // the gap behind a rib
constexpr double kSeam = 0.0;         // between panels
constexpr double kRivet = 215.0;
constexpr double kStrip = 240.0;      // light strips of segment 1
constexpr double kGrilleShade = 0.45;  // slots of segment 3, times the panel

// Distance in angle units from s to the nearest multiple of period shifted by
// offset.
double PeriodicDistance(double s, double period, double offset) {
  const double u = std::fmod(s - offset, period);
  const double w = u < 0.0 ? u + period : u;
  return std::fmin(w, period - w);
}

// Wall brightness 0..255 at depth cell 0..31 and angle position s (units).
double WallAt(int cell, double s) {
  const int segment = cell / kSegmentCells;
  const int inSegment = cell % kSegmentCells;
  if (inSegment == 0) return kRib;
  if (inSegment == 1) return kRibUnderside;
  if (inSegment == 2) return kRibShadow;

  // Panels: a dark seam at every 8th unit, brighter towards the panel's middle,
  // a little darker next to the rib shadow.
  const double fromSeam = PeriodicDistance(s, kPanelUnits, 0.0);   // 0..4
  if (fromSeam < 0.5) return kSeam;
  const double curve = std::sin(std::numbers::pi * fromSeam / kPanelUnits);   // 0 at a seam, 1 mid-panel
  const double nearShadow = inSegment == 3 ? 0.82 : 1.0;
  double body = (100.0 + 50.0 * curve) * nearShadow;

  switch (segment) {
    case 1:
      // A light strip along the middle of every panel.
      if (PeriodicDistance(s, kPanelUnits, 4.0) < 0.5) return kStrip;
      break;
    case 3:
      // A grille: the wall alternates slots and bars along the depth.
      if (inSegment % 2 == 0) body *= kGrilleShade;
      break;
    default:
      break;
  }
  // Rivets two units in from each seam, on the first and last panel cells.
  if ((inSegment == 3 || inSegment == 7) && PeriodicDistance(s, kPanelUnits / 2.0, 2.0) < 0.5 &&
      segment != 3) {
    return kRivet;
  }
  return body;
}

}  // namespace

RgbImage MakeTunnelTexture() {
  RgbImage image(kSize, kSize);
  for (int row = 0; row < kSize; ++row) {
    const int cell = row / kCellRows;
    for (int column = 0; column < kSize; ++column) {
      const double s = column / kColumnsPerUnit;
      const double v = std::fmin(std::fmax(WallAt(cell, s), 0.0), 255.0);
      image.SetGrey(column, row, static_cast<uint8_t>(std::lround(v)));
    }
  }
  return image;
}

}  // namespace showdata
