// The sphere maps of the skull and the box, checked for what their reader
// depends on: the rasteriser looks a unit normal (nx, ny) up at column
// (nx + 1) x 128, row (ny + 1) x 128, and the mesh effects turn the blue byte
// into a cell level at blue / 3, which must not pass 80.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "tests/showdata/decoded_image.h"
#include "tools/showdata/env_maps.h"

namespace {

struct Map {
  const char* name;
  showdata::RgbImage (*make)();
  const showdata::EnvMapStyle& (*style)();
};

const Map kMaps[] = {
    {"env_red.png", showdata::MakeEnvRed, showdata::EnvRedStyle},
    {"env_red2.png", showdata::MakeEnvRed2, showdata::EnvRed2Style},
    {"env_red3.png", showdata::MakeEnvRed3, showdata::EnvRed3Style},
};

// Texel column or row of a normal component, as the rasteriser addresses it
// ((n + 1.0) << 7 in 16.16, whole part).
int TexelOf(double n) { return static_cast<int>(std::floor((n + 1.0) * 128.0)); }

bool InsideDisc(int col, int row) {
  const double nx = (col + 0.5) / 128.0 - 1.0;
  const double ny = (row + 0.5) / 128.0 - 1.0;
  return nx * nx + ny * ny <= 1.0;
}

class EnvMaps : public ::testing::TestWithParam<Map> {
 protected:
  void SetUp() override { image_ = RoundTrip(GetParam().make()); }
  int Level(int col, int row) const { return image_.Blue(col, row) / 3; }
  DecodedImage image_;
};

TEST_P(EnvMaps, SizeAndLevelRange) {
  ASSERT_EQ(image_.width, 256) << GetParam().name;
  ASSERT_EQ(image_.height, 256);
  // Blue is three times a level 0..80: blue / 3 gives it back and stays
  // within the ramps' useful range.
  for (int row = 0; row < 256; ++row) {
    for (int col = 0; col < 256; ++col) {
      const int blue = image_.Blue(col, row);
      ASSERT_EQ(blue % 3, 0) << col << "," << row;
      ASSERT_LE(blue, 240) << col << "," << row;
    }
  }
}

TEST_P(EnvMaps, TexelsShowTheLevelOfTheirNormal) {
  const showdata::EnvMapStyle& style = GetParam().style();
  for (int row = 0; row < 256; row += 17) {
    for (int col = 0; col < 256; col += 13) {
      const double nx = (col + 0.5) / 128.0 - 1.0;
      const double ny = (row + 0.5) / 128.0 - 1.0;
      EXPECT_EQ(Level(col, row), std::lround(showdata::EnvLevel(style, nx, ny))) << col << "," << row;
    }
  }
  // The normal facing the viewer, (0, 0, 1), reads texel (128, 128).
  EXPECT_EQ(TexelOf(0.0), 128);
  EXPECT_EQ(Level(128, 128), std::lround(showdata::EnvLevel(style, 0.5 / 128, 0.5 / 128)));
}

TEST_P(EnvMaps, FacingSurfacesStandOutWithHighlightsAtTheTop) {
  // A surface facing the viewer sits low in the ramp: above the noise
  // behind the skull (levels up to 8), yet low enough that the skull's glow
  // (about 2.7 x the mean level around a cell, less 70) and the frame
  // finishing's glow do not wash out a large flat face.
  EXPECT_GE(Level(128, 128), 10) << GetParam().name;
  EXPECT_LE(Level(128, 128), 25);
  // A flat face shows one texel all over, so only small parts of the map
  // (highlights, a horizon line) may be bright: of the texels away from the
  // rim, at most one in ten is above 36.
  int inner = 0, bright = 0;
  // Somewhere a highlight reaches the ramp's upper steps (60 and more)...
  int brightest = 0, brightestRow = 0, darkest = 80;
  for (int row = 0; row < 256; ++row) {
    for (int col = 0; col < 256; ++col) {
      if (!InsideDisc(col, row)) continue;
      const double nx = (col + 0.5) / 128.0 - 1.0, ny = (row + 0.5) / 128.0 - 1.0;
      if (nx * nx + ny * ny < 0.81) {
        ++inner;
        bright += Level(col, row) > 36;
      }
      if (Level(col, row) > brightest) {
        brightest = Level(col, row);
        brightestRow = row;
      }
      darkest = std::min(darkest, Level(col, row));
    }
  }
  EXPECT_LE(bright * 10, inner) << bright << " of " << inner;
  EXPECT_GE(brightest, 60);
  // ...lit from above: the brightest texel is a normal turned up the screen.
  EXPECT_LT(brightestRow, 128);
  // Turning surfaces sweep a wide range of levels.
  EXPECT_GE(brightest - darkest, 50);
}

TEST_P(EnvMaps, NoSeamsAndTheRimContinuesOutsideTheDisc) {
  // Neighbouring texels differ by a few levels at most, across the disc's
  // edge into the corners too, so a normal rounded past the rim reads what
  // the rim shows.
  int largestStep = 0;
  for (int row = 0; row < 256; ++row) {
    for (int col = 0; col + 1 < 256; ++col) {
      largestStep = std::max(largestStep, std::abs(Level(col, row) - Level(col + 1, row)));
      if (row + 1 < 256) largestStep = std::max(largestStep, std::abs(Level(col, row) - Level(col, row + 1)));
    }
  }
  EXPECT_LE(largestStep, 8) << GetParam().name;
  // The corners hold the rim's level in their direction.
  const showdata::EnvMapStyle& style = GetParam().style();
  const double d = std::sqrt(0.5);
  EXPECT_EQ(Level(0, 0), std::lround(showdata::EnvLevel(style, -d, -d)));
  EXPECT_EQ(Level(255, 255), std::lround(showdata::EnvLevel(style, d, d)));
  EXPECT_EQ(Level(255, 0), std::lround(showdata::EnvLevel(style, d, -d)));
}

INSTANTIATE_TEST_SUITE_P(All, EnvMaps, ::testing::ValuesIn(kMaps),
                         [](const ::testing::TestParamInfo<Map>& info) {
                           return std::string(info.param.name).substr(0, std::string(info.param.name).find('.'));
                         });

TEST(EnvLevel, StaysWithinTheLevelsForAnyNormal) {
  // Normals longer than 1 (16.16 rounding) and far outside are taken on the rim.
  for (const Map& map : kMaps) {
    for (double nx : {-3.0, -1.0, -0.3, 0.0, 0.7, 1.0, 2.5}) {
      for (double ny : {-2.0, -1.0, 0.0, 0.4, 1.0, 3.0}) {
        const double level = showdata::EnvLevel(map.style(), nx, ny);
        EXPECT_GE(level, 0.0);
        EXPECT_LE(level, 80.0);
      }
    }
    EXPECT_NEAR(showdata::EnvLevel(map.style(), 1.2, 1.6), showdata::EnvLevel(map.style(), 0.6, 0.8), 1e-9);
  }
}

TEST(EnvMapsTogether, TheThreeMapsDiffer) {
  const DecodedImage a = RoundTrip(showdata::MakeEnvRed());
  const DecodedImage b = RoundTrip(showdata::MakeEnvRed2());
  const DecodedImage c = RoundTrip(showdata::MakeEnvRed3());
  EXPECT_NE(a.rgb, b.rgb);
  EXPECT_NE(b.rgb, c.rgb);
  EXPECT_NE(a.rgb, c.rgb);
}

}  // namespace
