// The wobbler, the wobbly cube and the twister in the real show: undecodable
// and wrongly sized resources, and the regression guard over finished frames.

#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/effect.h"
#include "engine/effects/effects.h"
#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"
#include "tests/effects/effects_test_support.h"

namespace {

using effects_test::FrameDigest;
using effects_test::RealShow;

constexpr Cell kTwisterGround = 0x01E64632;

// Every image of the three effects is a file in the working directory that
// does not decode, under an empty resource table; the letter font is a real
// PNG of the wrong size (80 x 50, all white).
class BrokenImages : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : kNames) std::ofstream(name, std::ios::binary) << "this is not a png";
    std::vector<unsigned char> white(80 * 50 * 3, 255);
    ASSERT_NE(stbi_write_png("3dfont.png", 80, 50, 3, white.data(), 80 * 3), 0);
    ResourceTable::Install(new ResourceTable());   // empty: every name comes from the files
    DemoClock::Get();
  }
  void TearDown() override {
    ReleaseLetterFont();
    DemoClock::Release();
    ResourceTable::Release();
    for (const char* name : kNames) std::filesystem::remove(name);
    std::filesystem::remove("3dfont.png");
  }
  static constexpr const char* kNames[] = {"wobbly.png", "wobbly2.png", "uvtwist.png", "twisttex.png",
                                           "twisttex2.png"};
  Cell cells_[kScreenCells];
};

TEST_F(BrokenImages, TwisterShowsOnlyItsGround) {
  testing::internal::CaptureStdout();
  EffectTwister twister("Twister", 158000, 188000);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_NE(printed.find("bitmap loading failed! uvtwist.png"), std::string::npos) << printed;
  EXPECT_NE(printed.find("bitmap loading failed! twisttex2.png"), std::string::npos) << printed;
  EXPECT_EQ(twister.uvMap->pixelCount, 4000);
  twister.target = cells_;
  // The zero map covers nothing, wherever the twist and turn address it.
  for (uint32_t t = 158000; t <= 188000; t += 1500) {
    DemoClock::Get()->nowMs = t;
    twister.Render();
    for (Cell c : cells_) ASSERT_EQ(c, kTwisterGround) << t;
  }
}

TEST_F(BrokenImages, WobblyCubeIsDark) {
  testing::internal::CaptureStdout();
  EffectWobblyCube cube("Wobbler", 100000, 131000);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_NE(printed.find("bitmap loading failed! wobbly2.png"), std::string::npos) << printed;
  cube.target = cells_;
  for (uint32_t t = 100000; t <= 131000; t += 3100) {
    DemoClock::Get()->nowMs = t;
    cube.Render();
    for (Cell c : cells_) ASSERT_EQ(c, kCellDark) << t;
  }
}

TEST_F(BrokenImages, WobblerDrawsOnlyWhatTheSmallFontHolds) {
  testing::internal::CaptureStdout();
  LoadLetterFont();
  EffectWobbly wobbly("Wobbler", 71000, 101000);
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_NE(printed.find("bitmap loading failed! wobbly.png"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("3dfont.png"), std::string::npos) << printed;
  ASSERT_EQ(LetterFont::Get()->bitmap->width, 80u);

  // Font pixel ((letter - 97) x 16 + gy) x 80 + frame x 16 + gx lies inside
  // the 4000 pixels only for letters a, b, c and the first rows of d: the
  // other letters of the greetings draw nothing.
  wobbly.target = cells_;
  int lit = 0;
  for (uint32_t t = 72000; t <= 101000; t += 1000) {
    DemoClock::Get()->nowMs = t;
    wobbly.Render();
    for (Cell c : cells_) {
      ASSERT_EQ(c & 0xFFFE00FFu, kCellDark & 0xFFFE00FFu) << t;   // hue 230 or 231
      ASSERT_LE(CellLevel(c), 80u) << t;
      lit += CellLevel(c) > 0;
    }
  }
  EXPECT_GT(lit, 0);
}

// ---------------------------------------------------------------------------
// Regression guard over the real programme and data: FNV-1a digests of
// finished frames at a few times of each window. Recorded once the checks of
// wobbly_test.cpp and twister_test.cpp passed against the reference values; a
// change here means a frame changed and must be explained (effect, bloom,
// finishing, or one of the images wobbly.png, wobbly2.png, 3dfont.png,
// uvtwist.png, twisttex.png, twisttex2.png, crud.png, vignette.png).

TEST(WobblyTwisterShow, FinishedFrameDigests) {
  RealShow show;
  struct Expected {
    uint32_t ms;
    uint32_t digest;
  };
  const Expected expected[] = {
      {72100, 174108678u},  // wobbler, the greetings still off screen
      {80000, 1558668049u},  // wobbler with greetings
      {95000, 2048027740u},
      {100500, 3764179301u},  // cross-fade from the wobbler to the cube
      {101500, 1719427844u},  // wobbly cube
      {115000, 3136520940u},
      {129000, 799632297u},
      {159500, 1906577695u},  // twister
      {170000, 3218148582u},
      {186000, 3338398155u},
  };
  for (const Expected& e : expected) {
    EXPECT_EQ(FrameDigest(show.Frame(e.ms)), e.digest) << e.ms;
  }
}

}  // namespace
