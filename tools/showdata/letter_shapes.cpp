#include "tools/showdata/letter_shapes.h"

#include <algorithm>
#include <cmath>

namespace showdata {

namespace {

// The designs below are drawn on a grid 1/kNarrow times wider than the font:
// the greetings place letters only 8 columns apart, so narrower letters
// overlap their neighbours less. Stems thin with it (3 -> 2.55 pixels).
constexpr double kNarrow = 0.85;

// Bar thicknesses, design units (font pixels before narrowing): stems are a little heavier than bars, as in
// most bold faces, so that E and S keep open counters at 12 pixels.
constexpr double kStem = 3.0;
constexpr double kBar = 2.5;

enum class PrimKind { kRect, kRing, kSlant };

// One building block. Rect: box (x0,y0)-(x1,y1) with corner radius r.
// Ring: box outline with outer corner radius r and thickness t. Slant: bar of
// half-width r from (x0,y0) to (x1,y1) with square ends.
struct Prim {
  PrimKind kind;
  bool subtract;  // true: carves the block out of everything before it
  double x0, y0, x1, y1, r, t;
};

constexpr Prim Rect(double x0, double y0, double x1, double y1, double r = 0.0) {
  return {PrimKind::kRect, false, x0, y0, x1, y1, r, 0.0};
}
constexpr Prim Cut(double x0, double y0, double x1, double y1) {
  return {PrimKind::kRect, true, x0, y0, x1, y1, 0.0, 0.0};
}
constexpr Prim Ring(double x0, double y0, double x1, double y1, double r, double t) {
  return {PrimKind::kRing, false, x0, y0, x1, y1, r, t};
}
constexpr Prim Slant(double x0, double y0, double x1, double y1, double halfWidth) {
  return {PrimKind::kSlant, false, x0, y0, x1, y1, halfWidth, 0.0};
}

constexpr int kMaxPrims = 6;

struct Design {
  double width;
  int count;
  Prim prims[kMaxPrims];
};

constexpr double H = kLetterHeight;
constexpr double kMid0 = (H - kBar) / 2.0;  // top of a middle bar
constexpr double kMid1 = (H + kBar) / 2.0;  // bottom of a middle bar

// Letters a..z. Slanted bars run past the top and bottom rows; every letter
// is cut to rows 0..12 afterwards, which squares their ends.
constexpr Design kDesigns[26] = {
    // A: two slanted legs meeting in a flat apex, and a crossbar.
    {11.0, 3, {Slant(1.1, 12.6, 5.0, -0.6, 1.55), Slant(9.9, 12.6, 6.0, -0.6, 1.55),
               Rect(2.4, 7.0, 8.6, 9.3)}},
    // B: stem with two bowls, the lower one wider.
    {10.0, 3, {Rect(0, 0, kStem, H), Ring(0, 0, 9.2, kMid1, 3.0, kBar),
               Ring(0, kMid0, 10.0, H, 3.2, kBar)}},
    // C: ring opened on the right.
    {10.0, 2, {Ring(0, 0, 10.0, H, 4.2, kStem), Cut(5.0, 4.4, 11.0, 7.6)}},
    // D: stem and a round-cornered bowl.
    {10.0, 2, {Rect(0, 0, kStem, H), Ring(0, 0, 10.0, H, 4.2, kStem)}},
    // E
    {9.5, 4, {Rect(0, 0, kStem, H), Rect(0, 0, 9.5, kBar), Rect(0, kMid0, 8.0, kMid1),
              Rect(0, H - kBar, 9.5, H)}},
    // F
    {9.5, 3, {Rect(0, 0, kStem, H), Rect(0, 0, 9.5, kBar), Rect(0, kMid0, 8.0, kMid1)}},
    // G: C with an inward bar on the right.
    {10.0, 3, {Ring(0, 0, 10.0, H, 4.2, kStem), Cut(5.0, 3.2, 11.0, 6.2),
               Rect(5.2, 6.2, 10.0, 8.6)}},
    // H
    {10.0, 3, {Rect(0, 0, kStem, H), Rect(10.0 - kStem, 0, 10.0, H), Rect(0, kMid0, 10.0, kMid1)}},
    // I
    {3.5, 1, {Rect(0, 0, 3.5, H)}},
    // J: right stem hooking down and left.
    {9.5, 3, {Rect(9.5 - kStem, 0, 9.5, 8.0), Ring(0, 0, 9.5, H, 4.0, kStem),
              Cut(-1.0, -1.0, 6.5, 7.0)}},
    // K: stem, upper arm, lower leg.
    {10.5, 3, {Rect(0, 0, kStem, H), Slant(2.0, 8.2, 10.6, -1.2, 1.55),
               Slant(4.2, 5.2, 10.7, 13.2, 1.6)}},
    // L
    {9.0, 2, {Rect(0, 0, kStem, H), Rect(0, H - kBar, 9.0, H)}},
    // M: two stems and a V reaching down to two thirds of the height.
    {12.5, 4, {Rect(0, 0, kStem, H), Rect(12.5 - kStem, 0, 12.5, H),
               Slant(1.4, -0.4, 6.25, 8.6, 1.45), Slant(11.1, -0.4, 6.25, 8.6, 1.45)}},
    // N
    {10.5, 3, {Rect(0, 0, kStem, H), Rect(10.5 - kStem, 0, 10.5, H),
               Slant(1.3, -0.8, 9.2, 12.8, 1.55)}},
    // O
    {10.5, 1, {Ring(0, 0, 10.5, H, 4.3, kStem)}},
    // P
    {10.0, 2, {Rect(0, 0, kStem, H), Ring(0, 0, 10.0, kMid1 + 0.4, 3.2, kBar)}},
    // Q: O with a tail across the lower right.
    {10.5, 2, {Ring(0, 0, 10.5, H, 4.3, kStem), Slant(6.0, 7.6, 10.8, 12.6, 1.5)}},
    // R: P with a slanted leg.
    {10.0, 3, {Rect(0, 0, kStem, H), Ring(0, 0, 10.0, kMid1 + 0.4, 3.2, kBar),
               Slant(4.4, 6.0, 9.6, 12.8, 1.6)}},
    // S: an upper ring open at the lower right, a lower ring open at the upper
    // left, sharing the middle bar.
    {10.0, 4, {Ring(0, 0, 10.0, kMid1, 3.4, kBar), Cut(5.0, kBar, 11.0, kMid0),
               Ring(0, kMid0, 10.0, H, 3.4, kBar), Cut(-1.0, kMid1, 5.0, H - kBar)}},
    // T
    {10.5, 2, {Rect(0, 0, 10.5, kBar), Rect(3.75, 0, 6.75, H)}},
    // U: a ring whose top is cut away.
    {10.0, 1, {Ring(0, -8.0, 10.0, H, 4.2, kStem)}},
    // V
    {11.0, 2, {Slant(0.9, -0.6, 5.0, 12.6, 1.6), Slant(10.1, -0.6, 6.0, 12.6, 1.6)}},
    // W: two stems and an inverted V rising to a third of the height.
    {12.5, 4, {Rect(0, 0, kStem, H), Rect(12.5 - kStem, 0, 12.5, H),
               Slant(1.4, 12.4, 6.25, 3.4, 1.45), Slant(11.1, 12.4, 6.25, 3.4, 1.45)}},
    // X
    {11.0, 2, {Slant(0.9, -0.6, 10.1, 12.6, 1.6), Slant(10.1, -0.6, 0.9, 12.6, 1.6)}},
    // Y: two arms meeting above a short stem.
    {11.0, 3, {Slant(0.8, -0.8, 5.9, 6.8, 1.55), Slant(10.2, -0.8, 5.1, 6.8, 1.55),
               Rect(4.0, 6.0, 7.0, H)}},
    // Z
    {10.0, 3, {Rect(0, 0, 10.0, kBar), Rect(0, H - kBar, 10.0, H),
               Slant(8.6, 1.6, 1.4, 10.4, 1.6)}},
};

// Signed distance to an axis-aligned box with rounded corners (radius r).
double BoxDistance(double px, double py, double x0, double y0, double x1, double y1, double r) {
  const double cx = (x0 + x1) * 0.5, cy = (y0 + y1) * 0.5;
  const double hx = (x1 - x0) * 0.5, hy = (y1 - y0) * 0.5;
  r = std::min(r, std::min(hx, hy));
  const double qx = std::fabs(px - cx) - hx + r;
  const double qy = std::fabs(py - cy) - hy + r;
  const double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
}

double PrimDistance(const Prim& p, double x, double y) {
  switch (p.kind) {
    case PrimKind::kRect:
      return BoxDistance(x, y, p.x0, p.y0, p.x1, p.y1, p.r);
    case PrimKind::kRing: {
      const double outer = BoxDistance(x, y, p.x0, p.y0, p.x1, p.y1, p.r);
      const double inner = BoxDistance(x, y, p.x0 + p.t, p.y0 + p.t, p.x1 - p.t, p.y1 - p.t,
                                       std::max(p.r - p.t, 0.0));
      return std::max(outer, -inner);
    }
    case PrimKind::kSlant: {
      const double dx = p.x1 - p.x0, dy = p.y1 - p.y0;
      const double len = std::sqrt(dx * dx + dy * dy);
      const double ux = dx / len, uy = dy / len;
      const double rx = x - p.x0, ry = y - p.y0;
      const double along = rx * ux + ry * uy - len * 0.5;
      const double across = -rx * uy + ry * ux;
      return BoxDistance(along, across, -len * 0.5, -p.r, len * 0.5, p.r, 0.0);
    }
  }
  return 1e9;
}

}  // namespace

LetterShape GetLetterShape(char letter) {
  if (letter < 'a' || letter > 'z') letter = 'a';
  return {kDesigns[letter - 'a'].width * kNarrow, letter};
}

double LetterDistance(const LetterShape& shape, double x, double y) {
  const Design& design = kDesigns[shape.letter - 'a'];
  const double dx = x / kNarrow;  // design units
  double d = 1e9;
  for (int i = 0; i < design.count; ++i) {
    const Prim& p = design.prims[i];
    const double pd = PrimDistance(p, dx, y);
    d = p.subtract ? std::max(d, -pd) : std::min(d, pd);
  }
  // Narrowing shortens horizontal distances by kNarrow, never more: scaling
  // keeps the result a lower bound.
  d *= kNarrow;
  // Every letter stands on rows 0..12: slanted bars end square on them.
  return std::max(d, std::max(-y, y - kLetterHeight));
}

}  // namespace showdata
