#include "engine/core/exact_math.h"

#include <cmath>
#include <limits>
#include <utility>

namespace {

// A double-double: the unevaluated sum hi + lo with |lo| <= ulp(hi) / 2,
// about 106 bits. Every step below is an IEEE add, multiply, divide or
// square root of doubles (the build forbids contraction into fused
// multiply-adds), so it gives the same bits on every x86-64 C runtime.
struct Dd {
  double hi, lo;
};

// a + b exactly, for any a and b.
Dd TwoSum(double a, double b) {
  const double s = a + b;
  const double bb = s - a;
  return {s, (a - (s - bb)) + (b - bb)};
}

// a + b exactly, when |a| >= |b| or a is 0.
Dd FastTwoSum(double a, double b) {
  const double s = a + b;
  return {s, b - (s - a)};
}

// a * b exactly (Veltkamp split into 26-bit halves; |a|, |b| < 2^996).
Dd TwoProduct(double a, double b) {
  constexpr double kSplit = 134217729.0;   // 2^27 + 1
  const double p = a * b;
  const double ca = kSplit * a, cb = kSplit * b;
  const double ah = ca - (ca - a), al = a - ah;
  const double bh = cb - (cb - b), bl = b - bh;
  return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

Dd Add(Dd a, Dd b) {
  const Dd s = TwoSum(a.hi, b.hi);
  const Dd t = TwoSum(a.lo, b.lo);
  Dd r = FastTwoSum(s.hi, s.lo + t.hi);
  return FastTwoSum(r.hi, r.lo + t.lo);
}

Dd Negate(Dd a) { return {-a.hi, -a.lo}; }

Dd Multiply(Dd a, Dd b) {
  const Dd p = TwoProduct(a.hi, b.hi);
  return FastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

Dd Divide(Dd a, Dd b) {
  const double q1 = a.hi / b.hi;
  const Dd r1 = Add(a, Negate(Multiply(b, {q1, 0.0})));
  const double q2 = r1.hi / b.hi;
  const Dd r2 = Add(r1, Negate(Multiply(b, {q2, 0.0})));
  const double q3 = r2.hi / b.hi;
  return Add(FastTwoSum(q1, q2), {q3, 0.0});
}

// Square root of a >= 0: one Newton step from the double root.
Dd SquareRoot(Dd a) {
  if (a.hi <= 0.0) return {0.0, 0.0};
  const double r = std::sqrt(a.hi);
  const Dd residual = Add(a, Negate(TwoProduct(r, r)));
  return FastTwoSum(r, residual.hi / (2.0 * r));
}

constexpr Dd kHalfPi = {1.5707963267948966, 6.123233995736766e-17};

}  // namespace

double ExactAtan(double x) {
  if (std::isnan(x)) return x;
  if (x == 0.0) return x;   // keeps the sign of a zero
  const bool negative = x < 0.0;
  const double ax = std::fabs(x);
  if (std::isinf(ax)) return negative ? -kHalfPi.hi : kHalfPi.hi;
  // Beyond 1: atan(x) = pi/2 - atan(1/x). Far beyond, 1/x is below the
  // series' reach and the answer is pi/2 to double precision anyway.
  const bool reflected = ax > 1.0;
  if (reflected && ax > 1e300) return negative ? -kHalfPi.hi : kHalfPi.hi;
  Dd t = reflected ? Divide({1.0, 0.0}, {ax, 0.0}) : Dd{ax, 0.0};
  // Halve the angle until the series converges fast:
  // atan(t) = 2 atan(t / (1 + sqrt(1 + t^2))).
  double scale = 1.0;
  while (t.hi > 1.0 / 32) {
    const Dd root = SquareRoot(Add({1.0, 0.0}, Multiply(t, t)));
    t = Divide(t, Add({1.0, 0.0}, root));
    scale *= 2.0;
  }
  // t - t^3/3 + t^5/5 - ..., |t| <= 1/32: 12 terms reach 2^-120 of t.
  const Dd t2 = Multiply(t, t);
  Dd power = t;
  Dd sum = t;
  for (int k = 1; k <= 12; ++k) {
    power = Multiply(power, t2);
    const Dd term = Divide(power, {2.0 * k + 1.0, 0.0});
    sum = Add(sum, k % 2 == 1 ? Negate(term) : term);
  }
  sum = {sum.hi * scale, sum.lo * scale};   // powers of two: exact
  if (reflected) sum = Add(kHalfPi, Negate(sum));
  const double result = sum.hi + sum.lo;
  return negative ? -result : result;
}

double ExactHypot(double x, double y) {
  double big = std::fabs(x), small = std::fabs(y);
  if (std::isinf(big) || std::isinf(small)) return std::numeric_limits<double>::infinity();
  if (std::isnan(big) || std::isnan(small)) return std::numeric_limits<double>::quiet_NaN();
  if (big < small) std::swap(big, small);
  // small^2 below half an ulp of big^2: the root rounds to big.
  if (small == 0.0 || small < big * 0x1p-60) return big;
  // Powers of two keep the squares inside double's range, exactly.
  double scale = 1.0;
  if (big > 0x1p500) scale = 0x1p-600;
  else if (big < 0x1p-500) scale = 0x1p600;
  big *= scale;
  small *= scale;
  const Dd sum = Add(TwoProduct(big, big), TwoProduct(small, small));
  const Dd root = SquareRoot(sum);
  return (root.hi + root.lo) / scale;
}
