// The warp textures of the wobbler and the wobbly cube, 256 x 256 (blue
// read). The warp gives each cell an angle (a fraction of a turn, 0..1) and a
// band position (0..1 between successive powers of e of the magnitude); both
// become bytes 0..255 that address the texture.
//
// "wobbly.png" (row = angle, column = band) lies under the greetings and is
// read at texel / 15 (levels 1..17), so it is a dim pattern that the letters
// stand out from: 8 angular sectors alternating light and dark, each band
// brightening outward and falling back at its outer power of e, so that the
// spokes and the rings of the logarithmic bands both show.
//
// "wobbly2.png" (row = band, column = angle) is the wobbly cube's whole
// picture, read at texel / 3 (levels up to 75) and then bloomed. The bloom
// lifts a region by about 4 x its mean level - 30, so the texture is mostly
// dark with bright thin lines that the bloom turns into glowing strokes:
// 12 angular spokes and the ring at each band edge, over a faint checker of
// the 12 sectors and 4 quarters of each band.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/showdata/show_images.h"

namespace showdata {

namespace {

constexpr int kSize = 256;

uint8_t ToByte(double v) { return static_cast<uint8_t>(std::clamp<long>(std::lround(v), 0, 255)); }


}  // namespace

RgbImage MakeWobbly() {
  RgbImage image(kSize, kSize);
  for (int row = 0; row < kSize; ++row) {      // angle
    for (int col = 0; col < kSize; ++col) {    // band position
      const double angle = (row + 0.5) / kSize;
      const double band = (col + 0.5) / kSize;
      // Sectors: 8 per turn (seamless at the wrap), light and dark with
      // short soft edges.
      const double c = std::cos(2.0 * std::numbers::pi * 8.0 * angle);
      const double sector = std::clamp(0.5 + 1.5 * c, 0.0, 1.0);
      // Band ramp: rises across the band, drops to dark at its outer edge.
      const double ramp = std::pow(band, 0.8);
      const double v = 255.0 * (0.3 + 0.7 * sector) * (0.25 + 0.75 * ramp);
      image.SetGrey(col, row, ToByte(v));
    }
  }
  return image;
}

RgbImage MakeWobbly2() {
  RgbImage image(kSize, kSize);
  for (int row = 0; row < kSize; ++row) {      // band position
    for (int col = 0; col < kSize; ++col) {    // angle
      // Spokes: 12 per turn (256 / 12 is not whole: placed by angle).
      const double angle = (col + 0.5) / kSize * 12.0;
      const double spoke = std::fabs(angle - std::round(angle)) * (kSize / 12.0);   // pixels from a spoke
      const double ring = std::min(row, kSize - 1 - row);                            // pixels from a band edge
      const double line = std::max(std::exp(-spoke * spoke / 2.0), std::exp(-ring * ring / 6.0));
      const bool checker = ((static_cast<int>(angle) + row / 64) & 1) != 0;
      const double ground = checker ? 18.0 : 0.0;
      image.SetGrey(col, row, ToByte(ground + (225.0 - ground) * line));
    }
  }
  return image;
}

}  // namespace showdata
