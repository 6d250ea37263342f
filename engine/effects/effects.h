// Every effect of the show. Each class lives in its own source unit; the
// programme table (programme.cpp) says when each one plays.
#pragma once

#include "engine/core/effect.h"

struct Bitmap;
struct Mesh;

// Keeps the screen dark while the music starts; the skull fades in from it.
class EffectQuickLogo final : public Effect {
 public:
  using Effect::Effect;
  void Render() override;
};

// Lights the whole screen at one level, holds it for 700 ms, fades to dark.
class EffectEnding final : public Effect {
 public:
  using Effect::Effect;
  void Render() override;

  // Level for a local time in ms: 55 down to 0 in steps every 50 ms.
  static uint32_t LevelAt(uint32_t localMs);
};

// The environment-mapped emblem "pineapple3.ase.bin" turning slowly with a
// glow around its silhouette, in front of a drifting noise. Driven by the
// absolute demo time.
class EffectSkullLogo final : public Effect {
 public:
  EffectSkullLogo(const char* name, uint32_t startMs, uint32_t endMs);
  ~EffectSkullLogo() override;
  void Render() override;

  Mesh* mesh;        // "pineapple3.ase.bin", tinted hue 230
  Bitmap* envRed;    // "env_red.png" 256 x 256: faces mapped by texture coordinates
  Bitmap* envRed2;   // "env_red2.png" 256 x 256: faces mapped from their normals
  Cell* blurA;       // 4000 cells of glow scratch
  Cell* blurB;       // the glow after each frame's blur
};

// A flight down a textured tunnel stirred by noise, with a drifting vanishing
// point and a slow pulse; four credit images fade in and out over it, 7.5 s
// each, during the first 30 s.
class EffectTunnel final : public Effect {
 public:
  static constexpr int kTableSize = 128;   // entries per table row and column
  static constexpr int kCredits = 4;

  EffectTunnel(const char* name, uint32_t startMs, uint32_t endMs);
  ~EffectTunnel() override;
  void Render() override;

  // Credit image 0..3 shown at local time ms, and its fade 0..1 (0 after 30 s).
  static int CreditAt(uint32_t localMs);
  static float CreditFadeAt(uint32_t localMs);

  Bitmap* texture;              // "tunnel.png" 256 x 256: row from depth, every 16th column from angle
  Bitmap* credits[kCredits];    // "pelkora.png", "qx3.png", "tovrik.png", "sambral.png", 80 x 50
  // Row = vertical offset + 64, column = horizontal offset + 64 from the axis.
  int32_t angle[kTableSize][kTableSize];   // -63..64, 128 units per turn
  int32_t depth[kTableSize][kTableSize];   // 0..16383 (6..10000 occur), about 1000 / radius
};

// A drifting two-octave noise cloud under three soft light blobs on sine
// paths that merge like metaballs. Driven by the absolute demo time.
class EffectGlow final : public Effect {
 public:
  static constexpr int kTableSize = 128;

  EffectGlow(const char* name, uint32_t startMs, uint32_t endMs);
  void Render() override;

  // Squared distance for offsets dx, dy in -64..63 at [dy + 64][dx + 64],
  // through a float square root (8191.9995 for -64, -64).
  float distance[kTableSize][kTableSize];
};

// A dim, ever-deforming warp of "wobbly.png" under the greetings, a line of
// turning 3D letters scrolling right to left, all bloomed so the letters glow.
class EffectWobbly final : public Effect {
 public:
  EffectWobbly(const char* name, uint32_t startMs, uint32_t endMs);
  ~EffectWobbly() override;
  void Render() override;

  Bitmap* texture;   // "wobbly.png" 256 x 256: row = warp angle, column = band
  Cell* blurA;       // 4000 cells of bloom scratch
  Cell* blurB;
};

// The wobbler's warp at half speed with other offsets and "wobbly2.png",
// brighter and bloomed, without letters.
class EffectWobblyCube final : public Effect {
 public:
  EffectWobblyCube(const char* name, uint32_t startMs, uint32_t endMs);
  ~EffectWobblyCube() override;
  void Render() override;

  Bitmap* texture;   // "wobbly2.png" 256 x 256: row = band, column = warp angle
  Cell* blurA;       // 4000 cells of bloom scratch
  Cell* blurB;
};

// The environment-mapped box "box.ase.bin" tumbling over a bright drifting
// noise field, under a camera swaying on two slow sines.
class EffectLiquid final : public Effect {
 public:
  EffectLiquid(const char* name, uint32_t startMs, uint32_t endMs);
  ~EffectLiquid() override;
  void Render() override;

  Bitmap* envRed;    // "env_red.png": the box maps none of its faces with it
  Bitmap* envRed3;   // "env_red3.png" 256 x 256: every face, from its normals
  Mesh* mesh;        // "box.ase.bin", tinted hue 230
};

// A textured square bar, twisting back and forth along its height while its
// texture scrolls, over a bright flat ground; shape and shading come from a
// precomputed map, one map row per angle of the bar's turn.
class EffectTwister final : public Effect {
 public:
  EffectTwister(const char* name, uint32_t startMs, uint32_t endMs);
  ~EffectTwister() override;
  void Render() override;

  Bitmap* uvMap;      // "uvtwist.png" 75 x 239: red texture column, green 2 x row offset, blue darkness
  Bitmap* textureA;   // "twisttex.png" 256 x 256, faces with green >= 2
  Bitmap* textureB;   // "twisttex2.png" 256 x 256, the other faces
};
