#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/core/frame_finisher.h"
#include "tests/support/test_bitmaps.h"

namespace {

// A finisher with images made here instead of the show's.
struct TestFinisher {
  explicit TestFinisher(uint32_t grain, uint32_t vignette, uint32_t vignetteWidth = 80, uint32_t vignetteHeight = 50)
      : f(new FrameFinisher) {
    f->crud = MakeFilledBitmap(80, 50, grain);
    f->vignette = MakeFilledBitmap(vignetteWidth, vignetteHeight, vignette);
  }
  ~TestFinisher() {
    ReleaseBitmap(f->crud);
    ReleaseBitmap(f->vignette);
    delete f;
  }
  FrameFinisher* f;
};

std::vector<Cell> Screen(Cell fill) { return std::vector<Cell>(kScreenCells, fill); }

TEST(FrameFinisher, DarkScreenStaysDark) {
  TestFinisher t(255, 255);
  std::vector<Cell> cells = Screen(DarkCellAtLevel(0));
  t.f->ApplyTo(cells.data());
  for (Cell c : cells) ASSERT_EQ(c, kCellDark);
}

TEST(FrameFinisher, LevelsAreLimitedTo80) {
  TestFinisher t(255, 255);
  std::vector<Cell> cells = Screen(DarkCellAtLevel(200));
  t.f->ApplyTo(cells.data());
  for (Cell c : cells) ASSERT_EQ(CellLevel(c), 80u);
}

TEST(FrameFinisher, VignetteAloneScalesOwnLevel) {
  // No grain: only the vignette term w / 255 x L remains, truncated.
  TestFinisher t(0, 128);
  std::vector<Cell> cells = Screen(DarkCellAtLevel(60));
  t.f->ApplyTo(cells.data());
  for (Cell c : cells) ASSERT_EQ(CellLevel(c), 30u);   // 128 / 255 x 60 = 30.1
}

TEST(FrameFinisher, GlowTermFollowsTheNormaliser) {
  // Uniform level 22: each box pass loses a tenth (ten taps over 11):
  // 22 -> 20 -> 18 -> 16, then the stretch 160 / 11 x 6 - 40 = 47.27 per cell.
  TestFinisher t(255, 0);
  std::vector<Cell> cells = Screen(DarkCellAtLevel(22));
  t.f->ApplyTo(cells.data());
  const float v = 160.0f / 11.0f * 6.0f - 40.0f;
  float total = 0.0f;
  for (int i = 0; i < kScreenCells; ++i) total += v;
  const float n = static_cast<float>(std::sqrt(static_cast<double>(total))) * 1.5f;
  const uint32_t expected = static_cast<uint32_t>(static_cast<int>((255.0f / n) * 47.0f));
  EXPECT_EQ(expected, 18u);   // 255 / 1.5 / sqrt(189090.9) x 47
  for (Cell c : cells) ASSERT_EQ(CellLevel(c), expected);
}

TEST(FrameFinisher, OnlyTheLevelByteChanges) {
  TestFinisher t(0, 255);
  std::vector<Cell> cells = Screen(MakeRgbCell(0x12, 40, 0x34));
  t.f->ApplyTo(cells.data());
  for (Cell c : cells) {
    ASSERT_EQ(CellRed(c), 0x12u);
    ASSERT_EQ(CellBlue(c), 0x34u);
    ASSERT_EQ(CellKind(c), 0u);
    ASSERT_EQ(CellGreen(c), 40u);
  }
}

TEST(FrameFinisher, ShortImagesReadAsZeroPastTheirEnd) {
  // A 10 x 10 vignette covers cells 0..99 only; the rest keep no own level.
  TestFinisher t(0, 255, 10, 10);
  std::vector<Cell> cells = Screen(DarkCellAtLevel(50));
  t.f->ApplyTo(cells.data());
  EXPECT_EQ(CellLevel(cells[0]), 50u);
  EXPECT_EQ(CellLevel(cells[99]), 50u);
  EXPECT_EQ(CellLevel(cells[100]), 0u);
  EXPECT_EQ(CellLevel(cells[3999]), 0u);
}

TEST(FinishingPasses, RowBlurAtTheBorder) {
  std::vector<Cell> src = Screen(DarkCellAtLevel(0));
  std::vector<Cell> dst = Screen(0);
  src[7 * 80 + 0] = DarkCellAtLevel(110);
  finishing::BlurRows(src.data(), dst.data());
  const uint32_t expected[7] = {60, 50, 40, 30, 20, 10, 0};
  for (int x = 0; x < 7; ++x) EXPECT_EQ(CellLevel(dst[7 * 80 + x]), expected[x]) << x;
  for (int x = 7; x < 80; ++x) EXPECT_EQ(CellLevel(dst[7 * 80 + x]), 0u) << x;
  for (int i = 0; i < kScreenCells; ++i) {
    if (i / 80 != 7) {
      ASSERT_EQ(CellLevel(dst[i]), 0u);
    }
    ASSERT_EQ(dst[i] & 0xFFFF00FFu, kCellDark & 0xFFFF00FFu);
  }
}

TEST(FinishingPasses, ColumnBlurReachesFiveUpAndFourDown) {
  std::vector<Cell> src = Screen(DarkCellAtLevel(0));
  std::vector<Cell> dst = Screen(0);
  src[20 * 80 + 3] = DarkCellAtLevel(110);
  finishing::BlurColumns(src.data(), dst.data());
  for (int y = 0; y < 50; ++y) {
    const uint32_t expected = (y >= 16 && y <= 25) ? 10u : 0u;
    EXPECT_EQ(CellLevel(dst[y * 80 + 3]), expected) << y;
  }
}

TEST(FinishingPasses, ContrastTotalIsColumnMajorFloatSum) {
  std::vector<Cell> src = Screen(DarkCellAtLevel(0));
  std::vector<Cell> dst = Screen(0);
  src[0] = DarkCellAtLevel(255);
  const float total = finishing::BlurColumnsWithContrast(src.data(), dst.data());
  // Column 0 sees 255 six times at rows 0..4 (clamped taps) then fewer times.
  float expected = 0.0f;
  for (int y = 0; y < 50; ++y) {
    int taps = 0;
    for (int k = y - 5; k <= y + 4; ++k) taps += (k <= 0) ? 1 : 0;
    float v = static_cast<float>(taps * 255) / 11.0f * 6.0f - 40.0f;
    v = v < 0 ? 0 : (v > 255 ? 255 : v);
    expected += v;
    EXPECT_EQ(CellLevel(dst[y * 80]), static_cast<uint32_t>(static_cast<int>(v))) << y;
  }
  EXPECT_EQ(total, expected);
}

TEST(FinishingPasses, GlowSampleSequences) {
  const int sy[50] = {20, 20, 20, 21, 21, 22, 22, 23, 23, 24, 24, 25, 25, 25, 26, 26, 27,
                      27, 28, 28, 29, 29, 30, 30, 30, 31, 31, 32, 32, 33, 33, 34, 34, 35,
                      35, 35, 36, 36, 37, 37, 38, 38, 39, 39, 40, 40, 40, 41, 41, 42};
  const int sx[80] = {20, 20, 21, 21, 22, 22, 23, 23, 24, 25, 25, 26, 26, 27, 27, 28,
                      28, 29, 30, 30, 31, 31, 32, 32, 33, 33, 34, 35, 35, 36, 36, 37,
                      37, 38, 38, 39, 40, 40, 41, 41, 42, 42, 43, 43, 44, 45, 45, 46,
                      46, 47, 47, 48, 48, 49, 50, 50, 51, 51, 52, 52, 53, 53, 54, 55,
                      55, 56, 56, 57, 57, 58, 58, 59, 60, 60, 61, 61, 62, 62, 63, 63};
  for (int y = 0; y < 50; ++y) EXPECT_EQ(finishing::GlowSampleRow(y), sy[y]) << y;
  for (int x = 0; x < 80; ++x) EXPECT_EQ(finishing::GlowSampleColumn(x), sx[x]) << x;
}

}  // namespace
