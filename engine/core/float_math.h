// Float helpers whose rounding steps the pictures depend on.
#pragma once

#include <cmath>

// The show's pi: a twelve-digit decimal, short of double's pi. The angle
// tables and the tunnel's tables are built with it, and their low bits
// depend on that.
constexpr double kTablePi = 3.141592653589;

// Sine of a float angle (radians) computed in double and rounded back to
// float, as the effects' float steps do.
inline float SinF(float radians) { return static_cast<float>(std::sin(static_cast<double>(radians))); }
