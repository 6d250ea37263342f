#include "engine/effects/effects.h"

uint32_t EffectEnding::LevelAt(uint32_t localMs) {
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
