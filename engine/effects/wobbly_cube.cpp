#include <cstdint>

#include "engine/effects/bloom.h"
#include "engine/effects/effects.h"
#include "engine/effects/pixel_lookup.h"
#include "engine/effects/warp.h"
#include "engine/resources/bitmap.h"

namespace {

constexpr uint32_t kCubeTexelDivisor = 3;   // texel 0..255 -> level 0..85, capped
constexpr uint32_t kMaxWarpLevel = 80;

}  // namespace

EffectWobblyCube::EffectWobblyCube(const char* effectName, uint32_t start, uint32_t end)
    : Effect(effectName, start, end) {
  texture = LoadBitmap("wobbly2.png");
  blurA = new Cell[kScreenCells];
  blurB = new Cell[kScreenCells];
}

EffectWobblyCube::~EffectWobblyCube() {
  delete[] blurA;
  delete[] blurB;
  ReleaseBitmap(texture);
}

void EffectWobblyCube::Render() {
  // The wobbler's warp at half its speed, with the texture axes exchanged:
  // row from the band, column from the angle.
  uint32_t texels[kScreenCells];
  WarpTexelIndices(WobblyCubeWarpOffsets(LocalTimeMs()), WarpAxes::kBandRows, texels);
  for (int i = 0; i < kScreenCells; ++i) {
    uint32_t level = BlueOrZero(texture, texels[i]) / kCubeTexelDivisor;
    if (level > kMaxWarpLevel) level = kMaxWarpLevel;
    target[i] = DarkCellAtLevel(level);
  }
  BloomLevels(target, blurA, blurB);
}
