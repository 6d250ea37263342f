// The skull logo: the environment-mapped emblem turning slowly in front of a
// drifting noise, with a glow around its silhouette.
//
// Per frame: the object alone is drawn on a level-0 screen and blurred into
// the glow; the noise then overwrites the whole target, the object is drawn
// again over it (same transform), and the glow is added on top, limited to
// level 80.

#include <cmath>
#include <cstdint>

#include "engine/core/angle_tables.h"
#include "engine/core/level_blur.h"
#include "engine/core/text_screen.h"
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

const LevelBlur& PlainBlur() {
  static const LevelBlur blur = LevelBlur::Make(1.0f, 0.0f);
  return blur;
}

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

// x 4 - 70: only clusters of bright cells glow, a lone one hardly.
void SkullGlowLastPass(const Cell* src, Cell* dst) {
  static const LevelBlur blur = LevelBlur::Make(4.0f, 70.0f);
  BlurLevelColumns(src, dst, blur);
}

void SkullGlow(const Cell* source, Cell* blurA, Cell* blurB) {
  BlurLevelRows(source, blurA, PlainBlur());
  BlurLevelColumns(blurA, blurB, PlainBlur());
  BlurLevelRows(blurB, blurA, PlainBlur());
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
