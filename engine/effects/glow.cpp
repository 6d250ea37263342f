#include <cmath>

#include "engine/core/float_math.h"
#include "engine/effects/effects.h"
#include "engine/render3d/noise.h"

namespace {

constexpr int kBlobs = 3;
constexpr int kNoiseLevelMax = 50;       // the cloud never outshines a blob's rim
constexpr float kBlobFalloff = 150000.0f;  // squared-distance product per level step (x 2)
constexpr int kBlobReach = 200;          // above this many steps a blob adds nothing

constexpr Cell kCloudCell = MakeRampCell(kHueDefault, 0, kSaturationFull);
constexpr Cell kGlowCell = MakeRampCell(kHueDefault, 0, kSaturationHalf);

// sin in double of a float argument, back to float.
}  // namespace

EffectGlow::EffectGlow(const char* effectName, uint32_t start, uint32_t end) : Effect(effectName, start, end) {
  for (int dy = -64; dy < 64; ++dy) {
    for (int dx = -64; dx < 64; ++dx) {
      const float r = static_cast<float>(std::sqrt(static_cast<double>(static_cast<float>(dx * dx + dy * dy))));
      distance[dy + 64][dx + 64] = r * r;
    }
  }
}

void EffectGlow::Render() {
  // Absolute demo time: the cloud is already 4.4 noise units in at 44 s.
  const float t = static_cast<float>(DemoClock::Get()->nowMs);
  const float a = -(t / 10000.0f);   // cloud shape: -1 per 10 s
  const float b = -(t / 50000.0f);   // cloud drift: -1 per 50 s

  for (int x = 0; x < kScreenWidth; ++x) {
    const float xc = static_cast<float>(x) / 100.0f + b;
    for (int y = 0; y < kScreenHeight; ++y) {
      const float yr = static_cast<float>(y) / 120.0f;
      float s = std::fabs(Noise3(4.0f * xc, 4.0f * yr, 4.0f * a)) * 20.0f * 0.15f +
                std::fabs(Noise3(8.0f * xc, 8.0f * yr, 8.0f * a)) * 20.0f * 0.25f;
      if (s < 0.0f) s = 0.0f;
      if (s > static_cast<float>(kNoiseLevelMax)) s = static_cast<float>(kNoiseLevelMax);
      uint32_t level = static_cast<uint32_t>(static_cast<int32_t>(static_cast<double>(s) + 0.5));
      if (level > 255) level = 255;
      target[y * kScreenWidth + x] = CellWithLevel(kCloudCell, level);
    }
  }

  int blobX[kBlobs];
  int blobY[kBlobs];
  blobX[0] = static_cast<int>(SinF(t / 300.0f) * 20.0f + 40.0f);
  blobY[0] = static_cast<int>(SinF(t / 700.0f) * 20.0f + 25.0f);
  blobX[1] = static_cast<int>(SinF(t / 1200.0f) * 20.0f + 40.0f);
  blobY[1] = static_cast<int>(SinF(t / 380.0f) * 12.0f + 25.0f);
  blobX[2] = static_cast<int>(SinF(t / 200.0f) * 22.0f + 40.0f);
  blobY[2] = static_cast<int>(SinF(t / 900.0f) * 15.0f + 25.0f);

  // Product of the squared distances to the three centres, multiplied in blob
  // order. Each blob multiplies every screen cell within 64 cells of its
  // centre exactly once, so only the table part over the screen is visited.
  float field[kScreenCells];
  for (float& p : field) p = 1.0f;
  for (int k = 0; k < kBlobs; ++k) {
    for (int r = 0; r < kTableSize; ++r) {
      const int y = blobY[k] + r - 64;
      if (y < 0 || y >= kScreenHeight) continue;
      for (int q = 0; q < kTableSize; ++q) {
        const int x = blobX[k] + q - 64;
        if (x < 0 || x >= kScreenWidth) continue;
        field[y * kScreenWidth + x] *= distance[r][q];
      }
    }
  }

  for (int i = 0; i < kScreenCells; ++i) {
    const int32_t steps = static_cast<int32_t>(field[i] / kBlobFalloff);
    // Up to 100 on a centre; the finishing clamps to 80.
    const int32_t blob = steps <= kBlobReach ? static_cast<int32_t>(static_cast<float>(kBlobReach - steps) * 0.5f) : 0;
    const int32_t cloud = static_cast<int32_t>(CellLevel(target[i]));
    const int32_t level = blob > cloud ? blob : cloud;
    target[i] = CellWithLevel(kGlowCell, static_cast<uint32_t>(level));
  }
}
