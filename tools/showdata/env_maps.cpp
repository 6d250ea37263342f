// The sphere maps of the skull and the box (see env_maps.h). Each texel is a
// small lighting model evaluated for the normal it stands for: ambient, one
// diffuse key light, two Blinn highlights, an optional sky and horizon for
// the chrome look, and a falloff towards the rim so that silhouettes stay
// darker than the surfaces facing the viewer.

#include "tools/showdata/env_maps.h"

#include <algorithm>
#include <cmath>

namespace showdata {

namespace {

struct Vec3 {
  double x, y, z;
};

Vec3 Normalised(double x, double y, double z) {
  const double len = std::sqrt(x * x + y * y + z * z);
  return {x / len, y / len, z / len};
}

double Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

double Smoothstep(double e0, double e1, double x) {
  const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
  return t * t * (3.0 - 2.0 * t);
}

// Light directions point from the surface towards the light, x right, y down
// the screen, z towards the viewer.
const EnvMapStyle kEnvRed = {
    /*ambient*/ 2.0,
    /*key*/ -0.45, -0.6, 0.66,
    /*diffuse*/ 10.0,
    {{-0.45, -0.6, 0.66, 40.0, 66.0}, {0.75, 0.45, 0.35, 10.0, 8.0}},
    /*sky*/ 0.0,
    /*horizon*/ 0.0, 0.0, 0.1,
    /*rimLight*/ 0.0, 0.9,
    /*rimFalloff*/ 0.5,
};

const EnvMapStyle kEnvRed2 = {
    /*ambient*/ 4.0,
    /*key*/ -0.45, -0.6, 0.66,
    /*diffuse*/ 20.0,
    {{-0.45, -0.6, 0.66, 80.0, 40.0}, {0.75, 0.45, 0.35, 12.0, 10.0}},
    /*sky*/ 0.0,
    /*horizon*/ 0.0, 0.0, 0.1,
    /*rimLight*/ 44.0, 0.92,
    /*rimFalloff*/ 0.0,
};

const EnvMapStyle kEnvRed3 = {
    /*ambient*/ 4.0,
    /*key*/ -0.3, -0.8, 0.5,
    /*diffuse*/ 10.0,
    {{-0.5, -0.7, 0.5, 120.0, 64.0}, {0.8, -0.2, 0.55, 40.0, 36.0}},
    /*sky*/ 6.0,
    /*horizon*/ 24.0, 0.1, 0.09,
    /*rimLight*/ 10.0, 0.6,
    /*rimFalloff*/ 0.0,
};

}  // namespace

const EnvMapStyle& EnvRedStyle() { return kEnvRed; }
const EnvMapStyle& EnvRed2Style() { return kEnvRed2; }
const EnvMapStyle& EnvRed3Style() { return kEnvRed3; }

double EnvLevel(const EnvMapStyle& style, double nx, double ny) {
  double r2 = nx * nx + ny * ny;
  if (r2 > 1.0) {
    const double r = std::sqrt(r2);
    nx /= r;
    ny /= r;
    r2 = 1.0;
  }
  const Vec3 n = {nx, ny, std::sqrt(1.0 - r2)};

  double level = style.ambient;
  const Vec3 key = Normalised(style.keyX, style.keyY, style.keyZ);
  level += style.diffuse * std::max(0.0, Dot(n, key));
  for (const EnvHighlight& h : style.highlights) {
    const Vec3 light = Normalised(h.x, h.y, h.z);
    const Vec3 half = Normalised(light.x, light.y, light.z + 1.0);
    level += h.level * std::pow(std::max(0.0, Dot(n, half)), h.exponent);
  }
  level += style.sky * std::max(0.0, -n.y);
  if (style.horizon > 0.0) {
    const double d = (n.y - style.horizonAt) / style.horizonWidth;
    level += style.horizon * std::exp(-d * d);
  }
  // A thin band of light on edge-on surfaces, eased in over a few texels so
  // that it has no hard edge in the map.
  level += style.rimLight * Smoothstep(style.rimStart, 1.0, std::sqrt(r2));
  // Edge-on surfaces lose up to rimFalloff of their light.
  const double edge = 1.0 - n.z;   // 0 facing the viewer, 1 edge-on
  level *= 1.0 - style.rimFalloff * edge * edge;
  return std::clamp(level, 0.0, static_cast<double>(kEnvMaxLevel));
}

RgbImage MakeEnvMap(const EnvMapStyle& style) {
  RgbImage image(kEnvMapSize, kEnvMapSize);
  const double half = kEnvMapSize / 2.0;
  for (int row = 0; row < kEnvMapSize; ++row) {
    const double ny = (row + 0.5) / half - 1.0;
    for (int col = 0; col < kEnvMapSize; ++col) {
      const double nx = (col + 0.5) / half - 1.0;
      const int level = static_cast<int>(std::lround(EnvLevel(style, nx, ny)));
      const int blue = 3 * level;   // 0..240: blue / 3 is the level again
      const int red = std::min(255, 48 + blue);
      const int green = blue / 3;
      image.SetRgb(col, row, static_cast<uint8_t>(red), static_cast<uint8_t>(green), static_cast<uint8_t>(blue));
    }
  }
  return image;
}

RgbImage MakeEnvRed() { return MakeEnvMap(kEnvRed); }
RgbImage MakeEnvRed2() { return MakeEnvMap(kEnvRed2); }
RgbImage MakeEnvRed3() { return MakeEnvMap(kEnvRed3); }

}  // namespace showdata
