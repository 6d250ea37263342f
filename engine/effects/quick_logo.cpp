#include "engine/effects/effects.h"

void EffectQuickLogo::Render() {
  for (int i = 0; i < kScreenCells; ++i) target[i] = kCellDark;
}
