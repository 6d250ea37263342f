// The steps of the two mesh effects, the skull logo and the liquid box, as
// free functions so that each can be checked on its own.
//
// Both draw hue-230 kind-1 cells over a two-octave noise background; the
// skull adds a glow from a four-pass box blur of its drawn object.
#pragma once

#include <cstdint>

#include "engine/core/cell.h"

struct Camera;
struct Mesh;

constexpr int32_t kMeshSceneFocal = 200 << 16;        // 16.16, both effects
constexpr uint32_t kMeshSceneTint = 0xE60000;         // hue 230 in bits 16-23
constexpr int kNoiseBackgroundMaxLevel = 50;
constexpr uint32_t kMeshSceneMaxLevel = 80;           // object plus glow

// A background noise sum s as a level: limited to 0..50 (a negative sum
// counts as 0), plus 0.5 in double, truncated (49.5 -> 50, 49.49 -> 49).
inline uint32_t NoiseBackgroundLevel(float s) {
  if (s < 0.0f) s = 0.0f;
  if (s > static_cast<float>(kNoiseBackgroundMaxLevel)) s = static_cast<float>(kNoiseBackgroundMaxLevel);
  return static_cast<uint32_t>(static_cast<int32_t>(static_cast<double>(s) + 0.5));
}

// ---------------------------------------------------------------------------
// Skull logo, driven by the absolute demo time nowMs.

// Camera and mesh fields of the frame at nowMs (focal 200.0): the camera
// looks down a quarter turn, turns about Y by one step every 3 ms from 3500,
// sways a little in x and z; the emblem tilts by 12000 steps and spins about
// its own Z by 16 steps per ms. Does not call Camera::Update.
void PlaceSkull(uint32_t nowMs, Camera& camera, Mesh& mesh);

// The drifting noise behind the emblem: every cell of target becomes a
// hue-230, saturation-100 cell with its noise level (0..50).
void SkullBackground(uint32_t nowMs, Cell* target);

// The glow of source's levels into blurB: horizontal, vertical, horizontal
// ten-tap box passes (each sum / 11), then a vertical one scaled to
// sum / 11 x 4 - 70 so that only clusters of bright cells glow. Each pass
// copies the other bits of its source cell. blurA is scratch.
void SkullGlow(const Cell* source, Cell* blurA, Cell* blurB);
// The last pass alone: column taps y-5..y+4 clamped to 0..49, the float
// sum / 11 x 4 - 70 limited to 0..255 and truncated.
void SkullGlowLastPass(const Cell* src, Cell* dst);

// Adds glow's level to every cell of target, limited to 80; the other bits
// of target stay.
void AddGlowLevels(Cell* target, const Cell* glow);

// ---------------------------------------------------------------------------
// Liquid, driven by the time since its start, localMs.

// Camera and mesh fields of the frame at localMs (focal 200.0): the camera
// 20.0 to 40.0 away, tilting and turning a little on two slow sines; the box
// tumbles by 12 steps per ms about X and 16 about Z. Does not call
// Camera::Update.
void PlaceLiquidBox(uint32_t localMs, Camera& camera, Mesh& mesh);

// The liquid's noise field: twice the skull's sum at a coarser scale, so it
// is brighter. Every cell of target becomes hue 230, saturation 100.
void LiquidBackground(uint32_t localMs, Cell* target);
