#include "engine/effects/effects.h"

uint32_t EffectEnding::LevelAt(uint32_t localMs) {
  // a counts 50 ms steps. The level falls 2.5 per step and reaches 0 at
  // step 35; clamped to 55, it holds there for the first 700 ms, so the
  // screen fades from level 55 to dark between 0.7 s and 1.75 s.
  int32_t a = static_cast<int32_t>(static_cast<float>(localMs) / 50.0f);
  if (a > 80) a = 80;
  int32_t level = (35 - a) * 10 / 4;
  if (level < 0) level = 0;
  if (level > 55) level = 55;
  return static_cast<uint32_t>(level);
}

void EffectEnding::Render() {
  const Cell word = DarkCellAtLevel(LevelAt(LocalTimeMs()));
  for (int i = 0; i < kScreenCells; ++i) target[i] = word;
}
