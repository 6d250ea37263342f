// "pineapple3.ase.bin": a skull in relief.
//
// The skull is laid out in a flat frame of its own, (s, h) across and up,
// d out of its face, in outline units: the outline spans h = -1 (chin) to
// 1 (crown) and s = -0.67..0.67. It is a closed surface of two sheets that
// meet at the outline:
//   front: a grid of kGrid x kGrid points, the square mapped onto the disc
//          (elliptical grid mapping) and the disc stretched radially onto the
//          outline; height d = (dome + relief) x rim(rho);
//   back:  rings at fixed fractions rho of the outline, height -kBack x rim,
//          closed by a fan around the middle.
// rim(rho) = sqrt(1 - rho^8) stands vertical at the outline, so the two
// sheets join smoothly into a rounded edge.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "tools/showdata/show_meshes.h"

namespace showdata {

namespace {


// 12000 steps about X, as the skull logo tilts the object, carry this axis
// onto the axis it spins about.
constexpr double kTiltRadians = 2.0 * std::numbers::pi * 12000.0 / 65536.0;

constexpr int kGrid = 44;                 // front grid points per side
constexpr double kFrontThickness = 0.2;   // outline units, front face above the mid-plane
constexpr double kBack = 0.1;             // outline units, back face below it
constexpr double kOutlineCentreH = -0.05; // the radial stretch's centre
// Socket measure (1 on the bowl's rim, its wall reaching out to 1.1) within
// which faces take texture coordinates: a little beyond the wall, so that no
// environment-mapped face borders on it.
constexpr double kSocketEdge = 1.3;

double Smoothstep(double e0, double e1, double x) {
  const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

// Polynomial smooth minimum of two distances, blending within k.
double SmoothMin(double a, double b, double k) {
  const double h = std::clamp(0.5 + 0.5 * (b - a) / k, 0.0, 1.0);
  return b + (a - b) * h - k * h * (1.0 - h);
}

// Approximate distance to an axis-aligned ellipse, negative inside.
double EllipseDistance(double s, double h, double cs, double ch, double rs, double rh) {
  const double ds = (s - cs) / rs;
  const double dh = (h - ch) / rh;
  return (std::sqrt(ds * ds + dh * dh) - 1.0) * std::min(rs, rh);
}

// The silhouette: cranium, face, jaw and cheekbones blended together.
double OutlineDistance(double s, double h) {
  double d = EllipseDistance(s, h, 0.0, 0.27, 0.66, 0.73);
  d = SmoothMin(d, EllipseDistance(s, h, 0.0, -0.36, 0.5, 0.5), 0.12);
  d = SmoothMin(d, EllipseDistance(s, h, 0.0, -0.72, 0.34, 0.28), 0.12);
  d = SmoothMin(d, EllipseDistance(s, h, -0.5, -0.14, 0.17, 0.13), 0.1);
  d = SmoothMin(d, EllipseDistance(s, h, 0.5, -0.14, 0.17, 0.13), 0.1);
  return d;
}

// Distance from the stretch centre to the outline in direction theta.
double OutlineRadius(double theta) {
  const double cs = std::cos(theta);
  const double sn = std::sin(theta);
  double inside = 0.0;
  double outside = 0.0;
  for (double r = 0.02; r < 3.0; r += 0.02) {
    if (OutlineDistance(r * cs, kOutlineCentreH + r * sn) >= 0.0) {
      outside = r;
      break;
    }
    inside = r;
  }
  for (int i = 0; i < 50; ++i) {
    const double mid = 0.5 * (inside + outside);
    (OutlineDistance(mid * cs, kOutlineCentreH + mid * sn) < 0.0 ? inside : outside) = mid;
  }
  return 0.5 * (inside + outside);
}

// Superellipse measure: below 1 inside the socket, 1 on its edge.
double SocketMeasure(double s, double h, double cs, double ch, double rs, double rh) {
  return std::pow(std::fabs((s - cs) / rs), 2.6) + std::pow(std::fabs((h - ch) / rh), 2.6);
}

double EyeMeasure(double s, double h) {
  // Slightly slanted: the outer corners sit a little lower.
  const double side = s < 0 ? -1.0 : 1.0;
  const double cs = 0.27 * side;
  const double ch = -0.02 - 0.06 * (std::fabs(s) - 0.27);
  return SocketMeasure(s, h, cs, ch, 0.2, 0.165);
}

// Inverted heart of the nose: wide at the bottom, pointed at the top.
double NoseMeasure(double s, double h) {
  const double t = (h + 0.46) / 0.28;   // 0 at the bottom, 1 at the tip
  const double halfWidth = 0.105 * (1.0 - 0.8 * std::clamp(t, 0.0, 1.0)) + 0.01;
  const double across = s / halfWidth;
  const double along = (t - 0.45) / 0.55;
  return across * across + along * along * along * along;
}

// Height above the front's dome, outline units.
double Relief(double s, double h) {
  double d = 0.0;
  // Brow ridge over the eyes, temples sunk a little.
  d += 0.035 * std::exp(-std::pow((h - 0.19 + 0.15 * s * s) / 0.06, 2)) * Smoothstep(0.62, 0.4, std::fabs(s));
  d -= 0.03 * std::exp(-(std::pow((std::fabs(s) - 0.56) / 0.1, 2) + std::pow((h - 0.2) / 0.15, 2)));
  // Cheekbones.
  d += 0.05 * std::exp(-(std::pow((std::fabs(s) - 0.42) / 0.13, 2) + std::pow((h + 0.22) / 0.09, 2)));
  // Eye sockets and nose: flat-bottomed bowls whose walls reach out to
  // measure 1.1.
  d -= 0.19 * Smoothstep(-0.1, 0.8, 1.0 - EyeMeasure(s, h));
  d -= 0.15 * Smoothstep(-0.1, 0.7, 1.0 - NoseMeasure(s, h));
  // Teeth: two rows of ridges across the mouth, grooves between them.
  const double mouthHalfWidth = 0.33 - 0.25 * std::max(0.0, -0.62 - h);
  const double inMouth = Smoothstep(0.03, -0.02, std::fabs(s) - mouthHalfWidth) *
                         Smoothstep(-0.86, -0.8, h) * Smoothstep(-0.5, -0.56, h);
  if (inMouth > 0.0) {
    constexpr double kToothPitch = 0.085;
    const double phase = s / kToothPitch - std::floor(s / kToothPitch + 0.5);   // -0.5..0.5
    const double tooth = std::pow(std::cos(std::numbers::pi * phase), 2.0);
    const double gap = std::exp(-std::pow((h + 0.685) / 0.022, 2));
    d += inMouth * (0.015 + 0.035 * tooth - 0.06 * gap);
  }
  return d;
}

double Rim(double rho) { return std::sqrt(std::max(0.0, 1.0 - std::pow(rho, 8))); }

// Depth of the back below the mid-plane: flat, rounded at the rim.
double BackHeight(double rho) { return kBack * Rim(rho); }

// Grid coordinate -1..1 of index i, denser towards the ends for the rim.
double GridCoordinate(int i) {
  const double l = -1.0 + 2.0 * i / (kGrid - 1);
  return 0.5 * l + 0.5 * std::sin(0.5 * std::numbers::pi * l);
}

struct SkullFrame {
  double scale;   // object units per outline unit
  double lift;    // object units along up
  Vec3 Place(double s, double h, double d) const {
    return kSkullRight * (s * scale) + kSkullUp * (h * scale + lift) + kSkullFront * (d * scale);
  }
};

// Texture coordinates showing the whole texture across a socket of half
// sizes rs x rh centred at (cs, ch); rows run down the skull.
std::array<double, 2> SocketUV(double s, double h, double cs, double ch, double rs, double rh) {
  const double u = 127.5 + (s - cs) / rs * 120.0;
  const double v = 127.5 - (h - ch) / rh * 120.0;
  return {std::clamp(u, 0.1, 254.9), std::clamp(v, 0.1, 254.9)};
}

}  // namespace

const Vec3 kSkullFront{1.0, 0.0, 0.0};
const Vec3 kSkullUp{0.0, std::sin(kTiltRadians), std::cos(kTiltRadians)};
const Vec3 kSkullRight = Cross(kSkullUp, kSkullFront);

MeshFile MakeSkullMesh() {
  const SkullFrame frame{kSkullScale, kSkullLift};
  MeshBuilder b;

  // Front sheet.
  struct FrontPoint {
    double s, h, rho;
  };
  std::vector<FrontPoint> front(kGrid * kGrid);
  std::vector<int> frontIndex(kGrid * kGrid);
  for (int j = 0; j < kGrid; ++j) {
    for (int i = 0; i < kGrid; ++i) {
      const double x = GridCoordinate(i);
      const double y = GridCoordinate(j);
      const double dx = x * std::sqrt(1.0 - 0.5 * y * y);
      const double dy = y * std::sqrt(1.0 - 0.5 * x * x);
      const double rho = std::min(1.0, std::hypot(dx, dy));
      const double theta = std::atan2(dy, dx);
      const double radius = rho * OutlineRadius(theta);
      const double s = radius * std::cos(theta);
      const double h = kOutlineCentreH + radius * std::sin(theta);
      const double d = (kFrontThickness * (1.0 - 0.3 * rho * rho) + Relief(s, h)) * Rim(rho);
      front[j * kGrid + i] = {s, h, rho};
      frontIndex[j * kGrid + i] = b.AddVertex(frame.Place(s, h, d));
    }
  }

  // The outline, counter-clockwise round the grid's border.
  std::vector<int> border;
  std::vector<double> borderTheta;
  auto addBorder = [&](int i, int j) {
    border.push_back(frontIndex[j * kGrid + i]);
    const FrontPoint& p = front[j * kGrid + i];
    borderTheta.push_back(std::atan2(p.h - kOutlineCentreH, p.s));
  };
  for (int i = 0; i < kGrid - 1; ++i) addBorder(i, 0);
  for (int j = 0; j < kGrid - 1; ++j) addBorder(kGrid - 1, j);
  for (int i = kGrid - 1; i > 0; --i) addBorder(i, kGrid - 1);
  for (int j = kGrid - 1; j > 0; --j) addBorder(0, j);

  // Texture coordinates of the front points, one per point and socket.
  std::vector<int> uvOf(3 * front.size(), -1);
  auto socketOf = [](double s, double h) {
    if (EyeMeasure(s, h) < kSocketEdge) return s < 0 ? 0 : 1;
    if (NoseMeasure(s, h) < kSocketEdge) return 2;
    return -1;
  };
  auto socketUV = [](int socket, double s, double h) {
    if (socket == 2) return SocketUV(s, h, 0.0, -0.33, 0.11, 0.15);
    const double side = socket == 0 ? -1.0 : 1.0;
    return SocketUV(s, h, 0.27 * side, -0.02, 0.2, 0.165);
  };

  const Vec3 out = kSkullFront;
  for (int j = 0; j + 1 < kGrid; ++j) {
    for (int i = 0; i + 1 < kGrid; ++i) {
      const int q[4] = {j * kGrid + i, j * kGrid + i + 1, (j + 1) * kGrid + i + 1, (j + 1) * kGrid + i};
      // Split each quad along the diagonal that points at the grid's middle,
      // so the four quadrants stay symmetric.
      const bool flip = (i < kGrid / 2) != (j < kGrid / 2);
      const int tris[2][3] = {{q[0], q[1], flip ? q[3] : q[2]}, {flip ? q[1] : q[0], q[2], q[3]}};
      for (const auto& t : tris) {
        const int index = b.AddTriangle(frontIndex[t[0]], frontIndex[t[1]], frontIndex[t[2]], out);
        if (index < 0) continue;
        double s = 0, h = 0;
        for (int k = 0; k < 3; ++k) {
          s += front[t[k]].s / 3.0;
          h += front[t[k]].h / 3.0;
        }
        const int socket = socketOf(s, h);
        if (socket < 0) continue;
        MeshBuilder::Triangle& tri = b.triangles[index];
        tri.mapping = kMeshMapCoordinates;
        for (int k = 0; k < 3; ++k) {
          // The front points are the first vertices, numbered as the grid.
          const int g = tri.corner[k];
          int& uv = uvOf[socket * front.size() + g];
          if (uv < 0) {
            const auto st = socketUV(socket, front[g].s, front[g].h);
            uv = b.AddUV(st[0], st[1]);
          }
          tri.uv[k] = uv;
        }
      }
    }
  }

  // Back sheet: rings inside the border, then a fan.
  constexpr double kRings[] = {0.985, 0.95, 0.88, 0.75, 0.55, 0.3};
  const int m = static_cast<int>(border.size());
  std::vector<int> previous = border;
  const Vec3 back = kSkullFront * -1.0;
  for (double rho : kRings) {
    std::vector<int> ring(m);
    for (int k = 0; k < m; ++k) {
      const double radius = rho * OutlineRadius(borderTheta[k]);
      const double s = radius * std::cos(borderTheta[k]);
      const double h = kOutlineCentreH + radius * std::sin(borderTheta[k]);
      ring[k] = b.AddVertex(frame.Place(s, h, -BackHeight(rho)));
    }
    for (int k = 0; k < m; ++k) {
      const int k1 = (k + 1) % m;
      b.AddTriangle(previous[k], previous[k1], ring[k1], back);
      b.AddTriangle(previous[k], ring[k1], ring[k], back);
    }
    previous = ring;
  }
  const int middle = b.AddVertex(frame.Place(0.0, kOutlineCentreH, -BackHeight(0.0)));
  for (int k = 0; k < m; ++k) b.AddTriangle(previous[k], previous[(k + 1) % m], middle, back);

  b.SmoothNormals();
  return b.ToFile();
}

}  // namespace showdata
