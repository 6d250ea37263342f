// "3dfont.png": the greetings font. 26 letters a..z, each an extruded bold
// capital (letter_shapes) rendered as a lit 3D solid at 21 angles of a turn
// about its vertical axis. Letter k fills rows 16k..16k+15, frame f columns
// 16f..16f+15. Blue is the brightness the greetings add to a cell (blue / 2);
// the letter drawing takes blue >= 4 as a lit pixel, so the background is 0
// and lit pixels are 4..255 (weaker edge coverage is dropped to 0).
//
// The greetings pick frame 10 + trunc(10 sin(phase)), so frame f is shown for
// sin(phase) ~ (f - 10) / 10. Rendering frame f at the angle
// asin((f - 10) / 10) (frame 10 facing the viewer, frames 0 and 20 edge-on)
// makes the letters turn at an even speed and swing back at edge-on, rather
// than lingering near edge-on where a letter is hardest to read.

#include <algorithm>
#include <cmath>

#include "tools/showdata/letter_shapes.h"
#include "tools/showdata/show_images.h"

namespace showdata {

namespace {

constexpr int kCell = 16;          // pixels per letter frame, square
constexpr int kFrames = 21;
constexpr int kLetters = 26;
constexpr double kDepth = 4.0;     // extrusion depth, font pixels
constexpr double kBevel = 0.45;    // edge rounding radius, font pixels
constexpr double kEyeDistance = 46.0;  // eye to turning axis, font pixels
constexpr int kSamples = 4;        // supersamples per pixel along each axis
constexpr double kFaceBlue = 58.0;  // blue of a fully lit face

struct Vec3 {
  double x, y, z;
};

Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Normalize(Vec3 a) { return a * (1.0 / std::sqrt(Dot(a, a))); }

// Turn about the vertical (y) axis by angle (radians); y grows downwards.
Vec3 TurnY(Vec3 p, double c, double s) { return {p.x * c + p.z * s, p.y, -p.x * s + p.z * c}; }

// The letter as a solid centred on the origin: design column 0..width maps
// to x -width/2..width/2, design row 0..12 to y -6..6, depth z -2..2 (the
// face at z = -2 looks at the eye). Edges rounded by kBevel.
double SolidDistance(const LetterShape& shape, Vec3 p) {
  const double d2 = LetterDistance(shape, p.x + shape.width * 0.5, p.y + kLetterHeight * 0.5) + kBevel;
  const double dz = std::fabs(p.z) - kDepth * 0.5 + kBevel;
  const double ox = std::max(d2, 0.0), oz = std::max(dz, 0.0);
  return std::sqrt(ox * ox + oz * oz) + std::min(std::max(d2, dz), 0.0) - kBevel;
}

Vec3 SolidNormal(const LetterShape& shape, Vec3 p) {
  constexpr double e = 0.01;
  return Normalize({SolidDistance(shape, {p.x + e, p.y, p.z}) - SolidDistance(shape, {p.x - e, p.y, p.z}),
                    SolidDistance(shape, {p.x, p.y + e, p.z}) - SolidDistance(shape, {p.x, p.y - e, p.z}),
                    SolidDistance(shape, {p.x, p.y, p.z + e}) - SolidDistance(shape, {p.x, p.y, p.z - e})});
}

// Where the ray origin + t dir (object space) enters and leaves the box
// |x| <= hx, |y| <= hy, |z| <= hz; false if it misses.
bool RayBox(Vec3 o, Vec3 d, Vec3 half, double& tNear, double& tFar) {
  tNear = 0.0;
  tFar = 1e9;
  const double os[3] = {o.x, o.y, o.z}, ds[3] = {d.x, d.y, d.z}, hs[3] = {half.x, half.y, half.z};
  for (int i = 0; i < 3; ++i) {
    if (std::fabs(ds[i]) < 1e-12) {
      if (std::fabs(os[i]) > hs[i]) return false;
      continue;
    }
    double t0 = (-hs[i] - os[i]) / ds[i], t1 = (hs[i] - os[i]) / ds[i];
    if (t0 > t1) std::swap(t0, t1);
    tNear = std::max(tNear, t0);
    tFar = std::min(tFar, t1);
  }
  return tNear <= tFar;
}

// Brightness 0..1 seen along one ray, or -1 if it misses the letter.
// eye, dir in the letter's own (object) space; turnC, turnS turn normals
// back into eye space, where the light is fixed.
double TraceRay(const LetterShape& shape, Vec3 eye, Vec3 dir, double turnC, double turnS) {
  const Vec3 half = {shape.width * 0.5 + 0.5, kLetterHeight * 0.5 + 0.5, kDepth * 0.5 + 0.5};
  double t, tFar;
  if (!RayBox(eye, dir, half, t, tFar)) return -1.0;
  for (int step = 0; step < 200 && t <= tFar; ++step) {
    const Vec3 p = eye + dir * t;
    const double d = SolidDistance(shape, p);
    if (d < 1e-4) {
      const Vec3 n = TurnY(SolidNormal(shape, p), turnC, -turnS);
      const Vec3 worldDir = TurnY(dir, turnC, -turnS);
      // Light from the upper left, in front; y grows downwards.
      const Vec3 light = Normalize({-0.45, -0.7, -1.0});
      const Vec3 view = worldDir * -1.0;
      const Vec3 halfway = Normalize(light + view);
      const double diffuse = std::max(Dot(n, light), 0.0);
      const double specular = std::pow(std::max(Dot(n, halfway), 0.0), 20.0);
      return std::min(0.16 + 0.64 * diffuse + 0.35 * specular, 1.0);
    }
    t += std::max(d, 1e-4);
  }
  return -1.0;
}

// Renders one 16x16 frame of a letter turned by angle (radians) into the
// image at (left, top).
void RenderFrame(RgbImage& image, const LetterShape& shape, double angle, int left, int top) {
  const double c = std::cos(angle), s = std::sin(angle);
  const Vec3 eyeWorld = {0.0, 0.0, -kEyeDistance};
  const Vec3 eye = TurnY(eyeWorld, c, s);
  for (int py = 0; py < kCell; ++py) {
    for (int px = 0; px < kCell; ++px) {
      double sum = 0.0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          // Image plane through the turning axis, one unit per font pixel.
          const double ix = px + (sx + 0.5) / kSamples - kCell * 0.5;
          const double iy = py + (sy + 0.5) / kSamples - kCell * 0.5;
          const Vec3 dir = TurnY(Normalize({ix, iy, kEyeDistance}), c, s);
          const double b = TraceRay(shape, eye, dir, c, s);
          if (b > 0.0) sum += b;
        }
      }
      const double mean = sum / (kSamples * kSamples);
      // The greetings add blue / 2 to a background of levels 0..17 and then
      // bloom the result: a face much brighter than ~58 blooms into a white
      // blob that hides the letter's shape.
      int blue = static_cast<int>(std::lround(mean * kFaceBlue));
      if (blue < 4) blue = 0;  // too faint to count as a lit pixel
      image.SetGrey(left + px, top + py, static_cast<uint8_t>(std::min(blue, 255)));
    }
  }
}

}  // namespace

double FontFrameAngle(int frame) {
  return std::asin(std::clamp((frame - 10) / 10.0, -1.0, 1.0));
}

RgbImage Make3dFont() {
  RgbImage image(kCell * kFrames, kCell * kLetters);
  for (int k = 0; k < kLetters; ++k) {
    const LetterShape shape = GetLetterShape(static_cast<char>('a' + k));
    for (int f = 0; f < kFrames; ++f) RenderFrame(image, shape, FontFrameAngle(f), kCell * f, kCell * k);
  }
  return image;
}

}  // namespace showdata
