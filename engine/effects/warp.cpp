#include "engine/effects/warp.h"

#include <cmath>
#include <limits>

#include "engine/core/cell.h"
#include "engine/core/exact_math.h"

namespace {

constexpr double kTurn = 6.283185307178;       // 2 pi as the angle wrap uses it
constexpr double kE = 2.718281828459045;       // band ratio

}  // namespace

WarpOffsets WobblyWarpOffsets(uint32_t localMs) {
  const double t = localMs * 0.5;
  WarpOffsets o;
  o.p1 = 2.4 * std::cos(t / 400) + 0.4;
  o.p2 = 2.1 * std::sin(t / 250);
  o.p3 = 3.7 * std::cos(t / 550);
  o.p4 = 3.8 * std::sin(t / 450) + 0.3;
  o.p5 = 2.75 * std::cos(t / 350) - 0.3;
  o.p6 = o.p2 - 0.1;
  return o;
}

WarpOffsets WobblyCubeWarpOffsets(uint32_t localMs) {
  const double t = localMs * 0.25;
  WarpOffsets o;
  o.p1 = 2.4 * std::cos(t / 200) + 0.4;
  o.p2 = 2.1 * std::sin(t / 150);
  o.p3 = 3.7 * std::cos(t / 350);
  o.p4 = 3.8 * std::sin(t / 250) + 0.3;
  o.p5 = 2.75 * std::cos(t / 250) - 0.3;
  o.p6 = 2.1 * std::sin(t / 450) - 0.1;
  return o;
}

namespace {

inline WarpComplex Divide(WarpComplex n, WarpComplex d) {
  const double p = d.re, q = d.im;
  if (!std::isfinite(p) || !std::isfinite(q) || (p == 0.0 && q == 0.0)) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    return {nan, nan};
  }
  if (std::fabs(p) > std::fabs(q)) {
    const double k = q / p;
    const double den = q * k + p;
    return {(n.re + n.im * k) / den, (n.im - n.re * k) / den};
  }
  const double k = p / q;
  const double den = p * k + q;
  return {(n.re * k + n.im) / den, (n.im * k - n.re) / den};
}

// The plane point of a column (x from 3 at the left to -3 at the right) and
// of a row (y from 2 at the top to -2 at the bottom).
inline double ColumnX(int column) { return 3.0 - column * 6.0 / 79.0; }
inline double RowY(int row) { return 2.0 - row * 4.0 / 49.0; }

inline WarpSample Sample(const WarpOffsets& o, double x, double y) {
  const WarpComplex z1 = {x + o.p1, y + o.p2};
  const WarpComplex z2 = {x + o.p3, y + o.p4};
  const WarpComplex z3 = {x + o.p5, y + o.p6};
  const WarpComplex w = Divide(Divide(z1, z2), z3);

  double theta = std::atan2(w.im, w.re);
  while (theta < 0.0) theta += kTurn;
  const double u = theta / kTurn;

  // Bands between successive powers of e, the first being 0..1. The bounds
  // come from repeated multiplication; an infinite magnitude ends with an
  // infinite bound and gives NaN.
  const double r = ExactHypot(w.re, w.im);
  double lower = 0.0, upper = 1.0;
  while (r > upper) {
    lower = upper;
    upper = upper * kE;
  }
  const double v = (r - lower) / (upper - lower);
  return {u, v};
}

inline uint32_t TextureByte(double t) {
  const double scaled = t * 255.0;
  // A NaN or out-of-range conversion is the integer minimum on the machines
  // the show was made for; its low byte is 0.
  if (!(scaled > -2147483649.0 && scaled < 2147483648.0)) return 0;
  return static_cast<uint32_t>(static_cast<int32_t>(scaled)) & 255u;
}

}  // namespace

WarpComplex SmithDivide(WarpComplex n, WarpComplex d) { return Divide(n, d); }

WarpSample WarpAt(const WarpOffsets& o, int column, int row) { return Sample(o, ColumnX(column), RowY(row)); }

uint32_t WarpTextureByte(double t) { return TextureByte(t); }

void WarpTexelIndices(const WarpOffsets& o, WarpAxes axes, uint32_t* indices) {
  double xs[kScreenWidth];
  for (int n = 0; n < kScreenWidth; ++n) xs[n] = ColumnX(n);
  for (int r = 0; r < kScreenHeight; ++r) {
    const double y = RowY(r);
    uint32_t* out = indices + r * kScreenWidth;
    for (int n = 0; n < kScreenWidth; ++n) {
      const WarpSample s = Sample(o, xs[n], y);
      const uint32_t angle = TextureByte(s.angle), band = TextureByte(s.band);
      out[n] = axes == WarpAxes::kAngleRows ? angle * 256 + band : band * 256 + angle;
    }
  }
}
