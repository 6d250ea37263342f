#include "engine/render3d/noise.h"

namespace {

// 256 entries, written out once and repeated by the table definition below.
#define LUMEN_NOISE_PERMUTATION                                                                \
  151, 160, 137, 91, 90, 15, 131, 13, 201, 95, 96, 53, 194, 233, 7, 225, 140, 36, 103, 30, 69,   \
      142, 8, 99, 37, 240, 21, 10, 23, 190, 6, 148, 247, 120, 234, 75, 0, 26, 197, 62, 94, 252,  \
      219, 203, 117, 35, 11, 32, 57, 177, 33, 88, 237, 149, 56, 87, 174, 20, 125, 136, 171, 168, \
      68, 175, 74, 165, 71, 134, 139, 48, 27, 166, 77, 146, 158, 231, 83, 111, 229, 122, 60, 211,  \
      133, 230, 220, 105, 92, 41, 55, 46, 245, 40, 244, 102, 143, 54, 65, 25, 63, 161, 1, 216, 80, \
      73, 209, 76, 132, 187, 208, 89, 18, 169, 200, 196, 135, 130, 116, 188, 159, 86, 164, 100,    \
      109, 198, 173, 186, 3, 64, 52, 217, 226, 250, 124, 123, 5, 202, 38, 147, 118, 126, 255, 82,  \
      85, 212, 207, 206, 59, 227, 47, 16, 58, 17, 182, 189, 28, 42, 223, 183, 170, 213, 119, 248,  \
      152, 2, 44, 154, 163, 70, 221, 153, 101, 155, 167, 43, 172, 9, 129, 22, 39, 253, 19, 98,     \
      108, 110, 79, 113, 224, 232, 178, 185, 112, 104, 218, 246, 97, 228, 251, 34, 242, 193, 238,  \
      210, 144, 12, 191, 179, 162, 241, 81, 51, 145, 235, 249, 14, 239, 107, 49, 192, 214, 31,     \
      181, 199, 106, 157, 184, 84, 204, 176, 115, 121, 50, 45, 127, 4, 150, 254, 138, 236, 205,    \
      93, 222, 114, 67, 29, 24, 72, 243, 141, 128, 195, 78, 66, 215, 61, 156, 180

// Cell below v: whole numbers and 0 fall in the cell below, so their
// fraction is 1.0 rather than 0.0 (the result is the same 0 either way).
inline int32_t LatticeCell(float v) {
  const int32_t t = static_cast<int32_t>(v);
  return v > 0.0f ? t : t - 1;
}

// Quintic fade, 0 at 0 and 1 at 1, evaluated in exactly this order.
inline float Fade(float t) { return ((t * 6.0f - 15.0f) * t + 10.0f) * (t * t * t); }

inline float Lerp(float t, float a, float b) { return (b - a) * t + a; }

// One of 12 edge directions (4 repeated) picked by the low 4 hash bits,
// dotted with the offset (a, b, c) from the corner.
inline float Grad(uint32_t hash, float a, float b, float c) {
  const uint32_t h = hash & 15;
  const float p = h < 8 ? a : b;
  const float q = h < 4 ? b : (h == 12 || h == 14 ? a : c);
  return ((h & 1) ? -p : p) + ((h & 2) ? -q : q);
}

}  // namespace

const uint8_t NoisePermutation[512] = {LUMEN_NOISE_PERMUTATION, LUMEN_NOISE_PERMUTATION};

#undef LUMEN_NOISE_PERMUTATION

float Noise3(float x, float y, float z) {
  const int32_t xi = LatticeCell(x);
  const int32_t yi = LatticeCell(y);
  const int32_t zi = LatticeCell(z);
  const float xf = x - static_cast<float>(xi);
  const float yf = y - static_cast<float>(yi);
  const float zf = z - static_cast<float>(zi);
  const float xm = xf - 1.0f;
  const float ym = yf - 1.0f;
  const float zm = zf - 1.0f;
  const float u = Fade(xf);
  const float v = Fade(yf);
  const float w = Fade(zf);

  // Hash nested z first: P[P[P[z] + y] + x]; every index stays below 512.
  const uint8_t* P = NoisePermutation;
  const uint32_t z0 = P[zi & 255];
  const uint32_t z1 = P[(zi + 1) & 255];
  const uint32_t z0y0 = P[z0 + (yi & 255)];
  const uint32_t z0y1 = P[z0 + ((yi + 1) & 255)];
  const uint32_t z1y0 = P[z1 + (yi & 255)];
  const uint32_t z1y1 = P[z1 + ((yi + 1) & 255)];
  const uint32_t x0 = static_cast<uint32_t>(xi & 255);
  const uint32_t x1 = static_cast<uint32_t>((xi + 1) & 255);

  // Corner values g(i, j, k) for offsets i, j, k in {0, 1}.
  const float g000 = Grad(P[z0y0 + x0], xf, yf, zf);
  const float g001 = Grad(P[z1y0 + x0], xf, yf, zm);
  const float g010 = Grad(P[z0y1 + x0], xf, ym, zf);
  const float g011 = Grad(P[z1y1 + x0], xf, ym, zm);
  const float g100 = Grad(P[z0y0 + x1], xm, yf, zf);
  const float g101 = Grad(P[z1y0 + x1], xm, yf, zm);
  const float g110 = Grad(P[z0y1 + x1], xm, ym, zf);
  const float g111 = Grad(P[z1y1 + x1], xm, ym, zm);

  // Along z, then y, then x.
  const float l00 = Lerp(w, g000, g001);
  const float l01 = Lerp(w, g010, g011);
  const float l10 = Lerp(w, g100, g101);
  const float l11 = Lerp(w, g110, g111);
  const float l0 = Lerp(v, l00, l01);
  const float l1 = Lerp(v, l10, l11);
  // A fixed damping of the amplitude by 6.4%: sampled densely, |result|
  // peaks near 0.75, which the effects' weights (x 10, x 20) are tuned to.
  return Lerp(u, l0, l1) * 0.936f;
}
