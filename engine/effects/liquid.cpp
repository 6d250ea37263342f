// The liquid box: an environment-mapped box tumbling over a bright drifting
// noise field, seen by a camera that sways on two slow sines. No glow; the
// box is drawn once, over the noise.

#include <cmath>
#include <cstdint>

#include "engine/core/float_math.h"
#include "engine/core/text_screen.h"
#include "engine/effects/effects.h"
#include "engine/effects/mesh_scenes.h"
#include "engine/render3d/fixed_math.h"
#include "engine/render3d/mesh.h"
#include "engine/render3d/noise.h"
#include "engine/resources/bitmap.h"

namespace {

constexpr Cell kLiquidClearCell = MakeRampCell(kHueDefault, 0, kSaturationHalf);
constexpr Cell kLiquidNoiseCell = MakeRampCell(kHueDefault, 0, kSaturationFull);

constexpr int32_t kCameraTilt = 0x4000;   // a quarter turn about X
constexpr uint32_t kBoxTumbleXPerMs = 12; // angle steps: one turn per 5.461 s
constexpr uint32_t kBoxTumbleZPerMs = 16; // one turn per 4.096 s

// sin in double of a float argument, back to float.
}  // namespace

void PlaceLiquidBox(uint32_t localMs, Camera& camera, Mesh& mesh) {
  const float ltf = static_cast<float>(localMs);
  mesh.focal = kMeshSceneFocal;
  const float s1 = SinF(ltf / 1000.0f);   // period 6.28 s
  const float s2 = SinF(ltf / 1200.0f);   // period 7.54 s
  // Single-precision products, truncated: the tilt swings about 655 steps
  // either side of a quarter turn, the turn about 1311 steps either side of 0.
  camera.angleX = kCameraTilt - static_cast<int32_t>(s1 * 0.01f * -65536.0f);
  camera.angleY = static_cast<int32_t>(s2 * 0.02f * 65536.0f);
  camera.angleZ = 0;
  camera.x = 0;
  camera.y = static_cast<int32_t>((s1 * 10.0f + 30.0f) * 65536.0f);   // 20.0..40.0 away
  camera.z = 0;
  mesh.angleX = static_cast<int32_t>(localMs * kBoxTumbleXPerMs);
  mesh.angleY = 0;
  mesh.angleZ = static_cast<int32_t>(localMs * kBoxTumbleZPerMs);
}

void LiquidBackground(uint32_t localMs, Cell* target) {
  const float ltf = static_cast<float>(localMs);
  const float ny = -(ltf / 50000.0f);   // drifts up one noise unit per 50 s
  const float nz = -(ltf / 10000.0f);   // changes shape one unit per 10 s
  for (int x = 0; x < kScreenWidth; ++x) {
    const float xs = static_cast<float>(x) / 200.0f;
    for (int y = 0; y < kScreenHeight; ++y) {
      const float ys = static_cast<float>(y) / 220.0f + ny;
      const float a = std::fabs(Noise3(xs * 4.0f, ys * 4.0f, nz * 4.0f)) * 20.0f * 0.15f + 0.0f;
      const float s = (a + std::fabs(Noise3(xs * 8.0f, ys * 8.0f, nz * 8.0f)) * 20.0f * 0.25f) * 2.0f;
      target[y * kScreenWidth + x] = CellWithLevel(kLiquidNoiseCell, NoiseBackgroundLevel(s));
    }
  }
}

EffectLiquid::EffectLiquid(const char* effectName, uint32_t start, uint32_t end) : Effect(effectName, start, end) {
  envRed = LoadBitmap("env_red.png");
  envRed3 = LoadBitmap("env_red3.png");
  mesh = Mesh::Load("box.ase.bin", envRed, envRed3);
  mesh->tint = kMeshSceneTint;
}

EffectLiquid::~EffectLiquid() {
  ReleaseBitmap(envRed);
  ReleaseBitmap(envRed3);
  delete mesh;
}

void EffectLiquid::Render() {
  const uint32_t lt = LocalTimeMs();
  TextScreen* screen = TextScreen::Get();
  // Cleared like the skull's screen; the noise then writes every cell.
  for (int i = 0; i < kScreenCells; ++i) target[i] = kLiquidClearCell;
  LiquidBackground(lt, target);

  PlaceLiquidBox(lt, *screen->camera, *mesh);
  screen->camera->Update();
  mesh->Transform();
  for (int32_t& d : screen->depth) d = kMeshFarDepth;
  mesh->Draw(target);
}
