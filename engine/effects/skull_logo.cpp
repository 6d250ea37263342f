// The skull logo: the environment-mapped emblem turning slowly in front of a
// drifting noise, with a glow around its silhouette.
//
// Per frame: the object alone is drawn on a level-0 screen and blurred into
// the glow; the noise then overwrites the whole target, the object is drawn
// again over it (same transform), and the glow is added on top, limited to
// level 80.

#include <array>
#include <cmath>
#include <cstdint>

#include "engine/core/angle_tables.h"
#include "engine/core/text_screen.h"
#include "engine/effects/bloom.h"
#include "engine/effects/effects.h"
#include "engine/effects/mesh_scenes.h"
#include "engine/render3d/fixed_math.h"
#include "engine/render3d/mesh.h"
#include "engine/render3d/noise.h"
#include "engine/resources/bitmap.h"

namespace {

// Hue 220, level 0, saturation 50: the screen under the first drawing. Only
// its level (0) reaches the glow; the background overwrites the rest.
constexpr Cell kSkullClearCell = MakeRampCell(220, 0, kSaturationHalf);
constexpr Cell kSkullNoiseCell = MakeRampCell(kHueDefault, 0, kSaturationFull);

constexpr int kTaps = 10;                  // rows y-5..y+4
constexpr int kMaxTapSum = kTaps * 255;    // 2550

// Camera sway and set-up (16.16 and angle steps).
constexpr int32_t kCameraTilt = 0x4000;             // a quarter turn about X
constexpr uint32_t kCameraTurnStart = 3500;         // angle Y at t = 0
constexpr int32_t kCameraRoll = 4000;
constexpr int32_t kCameraSwayX = 4000;              // raw 16.16 addend, about 0.061
constexpr int32_t kCameraDistance = 0xE0000;        // y = 14.0
constexpr int32_t kCameraSwayZ = 132072;            // 0x203E8, about 2.015
constexpr int32_t kEmblemTilt = 12000;
constexpr uint32_t kEmblemSpinPhaseMs = 1875;
constexpr uint32_t kEmblemSpinPerMs = 16;

// The scaled last pass for every possible sum of ten levels. The sum is an
// integer below 2551, exact in float in any order, so the table equals the
// float quotient of the summed taps.
const std::array<uint8_t, kMaxTapSum + 1>& GlowTable() {
  static const std::array<uint8_t, kMaxTapSum + 1> table = [] {
    std::array<uint8_t, kMaxTapSum + 1> t{};
    for (int s = 0; s <= kMaxTapSum; ++s) {
      float v = static_cast<float>(s) / 11.0f;
      v = v * 4.0f;
      v = v - 70.0f;
      if (v < 0.0f) v = 0.0f;
      if (v > 255.0f) v = 255.0f;
      t[s] = static_cast<uint8_t>(static_cast<int>(v));
    }
    return t;
  }();
  return table;
}

inline int ClampRow(int y) { return y < 0 ? 0 : (y >= kScreenHeight ? kScreenHeight - 1 : y); }

}  // namespace

void PlaceSkull(uint32_t nowMs, Camera& camera, Mesh& mesh) {
  mesh.focal = kMeshSceneFocal;
  camera.angleX = kCameraTilt;
  camera.angleY = static_cast<int32_t>(kCameraTurnStart - nowMs / 3);   // wraps; low 16 bits count
  camera.angleZ = kCameraRoll;
  camera.x = WrapAdd(SinTable[(nowMs & 0x1FFF) * 8], kCameraSwayX);     // one sway per 8.192 s
  camera.y = kCameraDistance;
  camera.z = WrapSub(CosTable[(nowMs & 0x3FFF) * 4], kCameraSwayZ);     // one sway per 16.384 s
  mesh.angleX = kEmblemTilt;
  mesh.angleY = 0;
  mesh.angleZ = static_cast<int32_t>((nowMs + kEmblemSpinPhaseMs) * kEmblemSpinPerMs);
}

void SkullBackground(uint32_t nowMs, Cell* target) {
  const float tf = static_cast<float>(nowMs);
  const float ny = -(tf / 30000.0f);   // drifts up one noise unit per 30 s
  const float nz = -(tf / 10000.0f);   // changes shape one unit per 10 s
  for (int x = 0; x < kScreenWidth; ++x) {
    const float xs = static_cast<float>(x) / 300.0f;
    for (int y = 0; y < kScreenHeight; ++y) {
      const float ys = static_cast<float>(y) / 320.0f + ny;
      const float a = std::fabs(Noise3(xs * 5.0f, ys * 5.0f, nz * 5.0f)) * 20.0f * 0.15f + 0.0f;
      const float s = a + std::fabs(Noise3(xs * 8.0f, ys * 8.0f, nz * 8.0f)) * 20.0f * 0.25f;
      target[y * kScreenWidth + x] = CellWithLevel(kSkullNoiseCell, NoiseBackgroundLevel(s));
    }
  }
}

void SkullGlowLastPass(const Cell* src, Cell* dst) {
  const std::array<uint8_t, kMaxTapSum + 1>& table = GlowTable();
  // One running sum per column, walked down the rows: add the row entering
  // at y + 5, drop the one leaving at y - 5 (both clamped).
  int sums[kScreenWidth];
  for (int x = 0; x < kScreenWidth; ++x) {
    int s = 0;
    for (int k = -5; k <= 4; ++k) s += static_cast<int>(CellLevel(src[ClampRow(k) * kScreenWidth + x]));
    sums[x] = s;
  }
  for (int y = 0; y < kScreenHeight; ++y) {
    const Cell* row = src + y * kScreenWidth;
    const Cell* entering = src + ClampRow(y + 5) * kScreenWidth;
    const Cell* leaving = src + ClampRow(y - 5) * kScreenWidth;
    Cell* out = dst + y * kScreenWidth;
    for (int x = 0; x < kScreenWidth; ++x) {
      out[x] = CellWithLevel(row[x], table[sums[x]]);
      sums[x] += static_cast<int>(CellLevel(entering[x])) - static_cast<int>(CellLevel(leaving[x]));
    }
  }
}

void SkullGlow(const Cell* source, Cell* blurA, Cell* blurB) {
  // The first three passes are the bloom's plain ones.
  bloom::BlurRowsPlain(source, blurA);
  bloom::BlurColumnsPlain(blurA, blurB);
  bloom::BlurRowsPlain(blurB, blurA);
  SkullGlowLastPass(blurA, blurB);
}

void AddGlowLevels(Cell* target, const Cell* glow) {
  for (int i = 0; i < kScreenCells; ++i) {
    uint32_t level = CellLevel(glow[i]) + CellLevel(target[i]);
    if (level > kMeshSceneMaxLevel) level = kMeshSceneMaxLevel;
    target[i] = CellWithLevel(target[i], level);
  }
}

EffectSkullLogo::EffectSkullLogo(const char* effectName, uint32_t start, uint32_t end)
    : Effect(effectName, start, end) {
  envRed = LoadBitmap("env_red.png");
  envRed2 = LoadBitmap("env_red2.png");
  mesh = Mesh::Load("pineapple3.ase.bin", envRed, envRed2);
  mesh->tint = kMeshSceneTint;
  blurA = new Cell[kScreenCells];
  blurB = new Cell[kScreenCells];
}

EffectSkullLogo::~EffectSkullLogo() {
  delete mesh;
  ReleaseBitmap(envRed);
  ReleaseBitmap(envRed2);
  delete[] blurA;
  delete[] blurB;
}

void EffectSkullLogo::Render() {
  const uint32_t t = DemoClock::Get()->nowMs;
  TextScreen* screen = TextScreen::Get();
  for (int i = 0; i < kScreenCells; ++i) target[i] = kSkullClearCell;

  PlaceSkull(t, *screen->camera, *mesh);
  screen->camera->Update();
  mesh->Transform();
  for (int32_t& d : screen->depth) d = kMeshFarDepth;
  mesh->Draw(target);

  SkullGlow(target, blurA, blurB);
  SkullBackground(t, target);

  // The same projection again, now over the noise.
  for (int32_t& d : screen->depth) d = kMeshFarDepth;
  mesh->Draw(target);
  AddGlowLevels(target, blurB);
}
