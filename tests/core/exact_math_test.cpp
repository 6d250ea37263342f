// The engine's own atan and hypot against correctly rounded references
// (computed with 400-bit arithmetic), among them arguments where a C
// library's result is one ulp off and arguments whose squares would
// overflow or underflow.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/core/exact_math.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(ExactMath, AtanIsCorrectlyRounded) {
  const std::pair<double, double> cases[] = {
      {0.32432432432432434, 0x1.4125c5b27bcfap-2},   // glibc: ...cf9p-2
      {3.2571428571428571, 0x1.45ddafc02f13bp+0},    // reflected through pi/2
      {-7.5, -0x1.7030cf9403197p+0},
      {0.75, 0x1.4978fa3269ee1p-1},
      {1e-300, 0x1.56e1fc2f8f359p-997},
      {1e300, 0x1.921fb54442d18p+0},
      {-kInf, -0x1.921fb54442d18p+0},
  };
  for (const auto& [x, expected] : cases) EXPECT_EQ(ExactAtan(x), expected) << x;
  EXPECT_TRUE(std::signbit(ExactAtan(-0.0)));
  EXPECT_TRUE(std::isnan(ExactAtan(kNaN)));
}

TEST(ExactMath, HypotIsCorrectlyRoundedWithoutOverflow) {
  const struct {
    double x, y, expected;
  } cases[] = {
      {0.46756575047884752, 5.0731128353568806, 0x1.460e27c7e2c25p+2},   // glibc: ...c26p+2
      {2.8840704733257461, -6.1257853128860713, 0x1.b154081c31833p+2},
      {3e300, 4e300, 0x1.ddd4baa009303p+998},
      {3e-310, 4e-310, 0x0.05c0ab9347ed7p-1022},
      {1e308, -1e308, 0x1.92c80954c51f5p+1023},
      {1.0, 1e-30, 1.0},
      {0.0, -2.5, 2.5},
      {kNaN, -kInf, kInf},
  };
  for (const auto& c : cases) EXPECT_EQ(ExactHypot(c.x, c.y), c.expected) << c.x << ", " << c.y;
  EXPECT_TRUE(std::isnan(ExactHypot(kNaN, 1.0)));
}

}  // namespace
