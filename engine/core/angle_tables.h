// Shared angle tables: 65536 entries of 16.16, indexed by a 16-bit angle
// (65536 per turn). Offset by half a turn from the usual functions:
// SinTable[i] = 65536 sin(2 pi i / 65536 - pi), the negated sine; CosTable the
// negated cosine. Extremes are +-65535, never +-65536.
#pragma once

#include <cstdint>

constexpr int kAngleSteps = 65536;

extern int32_t SinTable[kAngleSteps];
extern int32_t CosTable[kAngleSteps];

// Fills both tables; built once at start-up before any effect is constructed.
void BuildAngleTables();
