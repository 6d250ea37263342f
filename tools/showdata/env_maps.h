#pragma once
// The environment maps of the two mesh effects: 256 x 256 sphere maps of a lit
// surface, read through their blue byte at blue / 3 as a cell level.
//
// The rasteriser looks an environment-mapped corner up at column
// (nx + 1) x 128, row (ny + 1) x 128 of its view-space unit normal, x to the
// screen's right and y down the screen. So the map is a shaded ball as the
// viewer sees it: the centre is a surface facing the viewer, the rim a
// surface seen edge-on, the top-left quarter a surface turned up and to the
// left. Texels outside the disc (only reached by rounding) repeat the rim.
//
// Blue is 3 x the level (0..80), so blue / 3 gives it back exactly and no
// texel outshines the top of the ramps. Red and green only tint the picture.
//
// "env_red.png"   the skull's face texture, addressed by texture coordinates
//                 (its front) - a warm ball with one strong highlight.
// "env_red2.png"  the skull's reflections: mid levels with a sharp key
//                 highlight and a soft rim light; the skull's glow lifts the
//                 whole object, so the body stays in the 20s and 30s.
// "env_red3.png"  the tumbling box's chrome: bright sky above a dark ground
//                 with a bright horizon, two highlights; no glow follows it,
//                 so it spans the whole ramp.

#include "tools/showdata/image.h"

namespace showdata {

constexpr int kEnvMapSize = 256;
constexpr int kEnvMaxLevel = 80;   // cell level; blue = 3 x level

// One highlight: a Blinn lobe around the half vector of a light direction and
// the view direction (0, 0, 1).
struct EnvHighlight {
  double x, y, z;      // direction towards the light (normalised on use); y down
  double exponent;     // lobe sharpness, 1 = broad
  double level;        // added level at the lobe's peak
};

struct EnvMapStyle {
  double ambient;          // level everywhere
  double keyX, keyY, keyZ; // diffuse light direction (normalised on use)
  double diffuse;          // level added by a surface facing the key light
  EnvHighlight highlights[2];
  double sky;              // level added to normals pointing up the screen, 0..1 of it
  double horizon;          // level of a thin bright band at ny = horizonAt
  double horizonAt;        // ny of the band, -1..1
  double horizonWidth;     // half width of the band in ny
  double rimLight;         // level added at the rim, easing in from rimStart
  double rimStart;         // distance from the map's centre (0..1, sin of the angle to the viewer)
  double rimFalloff;       // fraction of the level lost at the rim (edge-on surfaces)
};

const EnvMapStyle& EnvRedStyle();
const EnvMapStyle& EnvRed2Style();
const EnvMapStyle& EnvRed3Style();

// Level (0..80, before rounding) of a surface with view-space normal
// (nx, ny, sqrt(1 - nx^2 - ny^2)); a normal outside the unit disc is taken
// on the rim.
double EnvLevel(const EnvMapStyle& style, double nx, double ny);

// The map: texel (column, row) shows the normal at its centre,
// nx = (column + 0.5) / 128 - 1, ny = (row + 0.5) / 128 - 1.
RgbImage MakeEnvMap(const EnvMapStyle& style);

RgbImage MakeEnvRed();    // "env_red.png"
RgbImage MakeEnvRed2();   // "env_red2.png"
RgbImage MakeEnvRed3();   // "env_red3.png"

}  // namespace showdata
