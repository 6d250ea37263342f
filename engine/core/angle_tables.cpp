#include "engine/core/angle_tables.h"

#include <cmath>

#include "engine/core/float_math.h"

int32_t SinTable[kAngleSteps];
int32_t CosTable[kAngleSteps];

void BuildAngleTables() {
  // The show's decimal pi and the angle accumulated by repeated addition:
  // the tables' low bits depend on both.
  const double delta = 2.0 * kTablePi / 65536.0;
  double x = -kTablePi;
  for (int i = 0; i < 16384; ++i) {
    SinTable[i] = static_cast<int32_t>(std::sin(x) * 65536.0);
    x += delta;
  }
  for (int k = 0; k < 16384; ++k) SinTable[16384 + k] = SinTable[16383 - k];
  for (int j = 0; j < 32768; ++j) SinTable[32768 + j] = -SinTable[j];
  for (int i = 0; i < kAngleSteps; ++i) CosTable[i] = SinTable[(i + 16384) & 0xFFFF];
}
