// "vignette.png": the mask that scales every cell's own level by blue / 255.
// Full strength (255) inside an ellipse covering about half of the screen,
// then a smooth fall to about 185 at the middle of each edge and about 105 in
// the corners.

#include <cmath>

#include "tools/showdata/show_images.h"

namespace showdata {

namespace {

constexpr int kWidth = 80;   // one pixel per screen cell
constexpr int kHeight = 50;

constexpr double kFlatRadius = 0.8;  // ellipse radius of the 255 plateau, in half-extents
                                     // (pi * 0.8^2 / 4: about half of the screen)
constexpr double kFallWidth = 0.2546;  // half-extents for the fall to reach ~63%
constexpr double kFallDepth = 152.0;   // total fall, 255 -> 103 far outside

// Mask value 0..255 for radius r (0 at the centre, 1 at the edge centres).
int VignetteAt(double r) {
  const double d = r > kFlatRadius ? r - kFlatRadius : 0.0;
  const double q = d / kFallWidth;
  const double v = 255.0 - kFallDepth * (1.0 - std::exp(-q * q));
  return static_cast<int>(std::lround(v));
}

}  // namespace

RgbImage MakeVignette() {
  RgbImage image(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      // Pixel centre in half-extents: -1..1 across and down.
      const double u = (x + 0.5 - kWidth / 2.0) / (kWidth / 2.0);
      const double v = (y + 0.5 - kHeight / 2.0) / (kHeight / 2.0);
      image.SetGrey(x, y, static_cast<uint8_t>(VignetteAt(std::sqrt(u * u + v * v))));
    }
  }
  return image;
}

}  // namespace showdata
