// "crud.png": the grain that breaks up the enlarged glow of every frame. Cell i
// multiplies its glow sample by blue(i) / n, so the image is mostly bright
// (light through a dusty lens) with dark specks, blotches and a few scratches.

#include <algorithm>
#include <cmath>

#include "tools/common/prng.h"
#include "tools/showdata/show_images.h"

namespace showdata {

namespace {

constexpr int kWidth = 80;   // one pixel per screen cell
constexpr int kHeight = 50;

// Darkens pixel (x, y) to at most v (0..255); outside the image does nothing.
void Darken(std::vector<int>& grain, int x, int y, int v) {
  if (x < 0 || y < 0 || x >= kWidth || y >= kHeight) return;
  int& g = grain[y * kWidth + x];
  g = std::min(g, v);
}

}  // namespace

RgbImage MakeCrud() {
  tools::Prng rng(0x6C756D656E637275ull);
  std::vector<int> grain(kWidth * kHeight);

  // Base: bright, with a fine per-cell jitter of 222..252.
  for (int& g : grain) g = rng.Range(222, 252);

  // Specks: single dark cells. One draw per statement: the order of a
  // call's arguments is the compiler's choice, the numbers' order is ours.
  for (int i = 0; i < 70; ++i) {
    const int level = rng.Range(70, 160);
    const int y = rng.Range(0, kHeight - 1);
    const int x = rng.Range(0, kWidth - 1);
    Darken(grain, x, y, level);
  }

  // Blotches: a dark core with a half-dark rim, a few cells across.
  for (int i = 0; i < 9; ++i) {
    const int cx = rng.Range(0, kWidth - 1);
    const int cy = rng.Range(0, kHeight - 1);
    const int core = rng.Range(40, 110);
    Darken(grain, cx, cy, core);
    const int rim = (core + 230) / 2;
    Darken(grain, cx + 1, cy, rim);
    Darken(grain, cx - 1, cy, rim);
    Darken(grain, cx, cy + 1, rim);
    Darken(grain, cx, cy - 1, rim);
    if (rng.Range(0, 1) != 0) Darken(grain, cx + 1, cy + 1, (core + rim) / 2);
  }

  // Scratches: thin, mostly vertical strokes 6..18 cells long, like hairs and
  // marks on film, drawn as a walk that drifts sideways now and then.
  for (int i = 0; i < 6; ++i) {
    double x = rng.Range(0, kWidth - 1);
    int y = rng.Range(0, kHeight - 1);
    const int length = rng.Range(6, 18);
    const double drift = (rng.Unit() - 0.5) * 0.8;  // columns per row, -0.4..0.4
    const int shade = rng.Range(110, 170);
    for (int k = 0; k < length; ++k, ++y) {
      Darken(grain, static_cast<int>(std::floor(x)), y, shade);
      x += drift;
    }
  }

  RgbImage image(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) image.SetGrey(x, y, static_cast<uint8_t>(grain[y * kWidth + x]));
  return image;
}

}  // namespace showdata
