// From the cell words of a frame to what is shown: the frame finishing and
// the decoding into attributes and shades; and the angle tables. The
// text-mode image drawn from decoded cells is checked against OpenGL in
// tests/gl.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "engine/core/angle_tables.h"
#include "engine/core/decode.h"
#include "engine/core/frame_finisher.h"
#include "tests/support/test_bitmaps.h"

namespace {

// A uniform screen of fill finished with a grain and a vignette image of one
// blue each (the vignette possibly smaller than the screen).
std::vector<Cell> Finish(uint32_t grain, uint32_t vignette, Cell fill, uint32_t vignetteWidth = 80,
                         uint32_t vignetteHeight = 50) {
  FrameFinisher* f = new FrameFinisher;
  f->crud = MakeFilledBitmap(80, 50, grain);
  f->vignette = MakeFilledBitmap(vignetteWidth, vignetteHeight, vignette);
  std::vector<Cell> cells(kScreenCells, fill);
  f->ApplyTo(cells.data());
  FrameFinisher::Destroy(f);
  return cells;
}

TEST(FrameFinisher, UniformScreens) {
  const std::tuple<uint32_t, uint32_t, Cell, Cell> cases[] = {   // grain, vignette, before, after
      {255, 255, kCellDark, kCellDark},                       // dark stays dark
      {255, 255, DarkCellAtLevel(200), DarkCellAtLevel(80)},  // limited to 80
      {0, 128, DarkCellAtLevel(60), DarkCellAtLevel(30)},     // vignette alone: 128 / 255 x 60 = 30.1
      // Glow alone: level 22 loses a tenth in each box pass (22, 20, 18, 16),
      // the stretch gives 160 / 11 x 6 - 40 = 47.27 per cell, the normaliser
      // 1.5 sqrt(4000 x 47.27): 255 / 1.5 / sqrt(189090.9) x 47 = 18.
      {255, 0, DarkCellAtLevel(22), DarkCellAtLevel(18)},
      {0, 255, MakeRgbCell(0x12, 40, 0x34), MakeRgbCell(0x12, 40, 0x34)},   // only the level byte may change
  };
  for (const auto& [grain, vignette, before, after] : cases) {
    for (Cell cell : Finish(grain, vignette, before)) ASSERT_EQ(cell, after) << std::hex << before;
  }
  // A 10 x 10 vignette covers cells 0..99 only; the rest read 0 and keep no own level.
  const std::vector<Cell> cells = Finish(0, 255, DarkCellAtLevel(50), 10, 10);
  EXPECT_EQ(CellLevel(cells[99]), 50u);
  EXPECT_EQ(CellLevel(cells[100]), 0u);
  EXPECT_EQ(CellLevel(cells[3999]), 0u);
}

TEST(DecodeCell, AttributeAndShade) {
  const std::tuple<Cell, uint32_t, uint32_t> cases[] = {   // cell, attribute, shade
      {kCellNoEffect, 0x4C, 0},                          // a space on dark red
      {MakeRgbCell(0, 0, 0), 0x08, 0},                   {MakeRgbCell(77, 77, 77), RampTable[6][2], 4},   // greys
      {MakeRgbCell(255, 255, 255), 0xF7, 15},            // lightness 66 compressed to 47: column 5
      // The six hue sectors at lightness 33 (compressed to 30: column 3, shade 14), one at 50.
      {MakeRgbCell(255, 0, 0), RampTable[0][3], 14},     {MakeRgbCell(255, 255, 0), RampTable[1][3], 14},
      {MakeRgbCell(0, 255, 0), RampTable[2][3], 14},     {MakeRgbCell(0, 255, 255), RampTable[3][3], 14},
      {MakeRgbCell(0, 0, 255), RampTable[4][3], 14},     {MakeRgbCell(255, 0, 255), RampTable[5][3], 14},
      {MakeRgbCell(255, 128, 128), RampTable[0][4], 7},  {MakeRgbCell(255, 0, 40), RampTable[0][3], 14},   // hue 64 red
      // Ramp colours: saturation below 16 is grey; hues 240..255 stay on the last row.
      {MakeRampCell(230, 20, 15), RampTable[6][2], 4},   {MakeRampCell(230, 20, 16), RampTable[23][2], 4},
      {MakeRampCell(70, 20, 16), RampTable[7][2], 4},    {MakeRampCell(255, 0, 100), RampTable[23][0], 0},
      {MakeRampCell(230, 71, 100), RampTable[23][8], 7}, {MakeRampCell(230, 72, 100), RampTable[23][9], 8},
      {MakeRampCell(230, 255, 100), RampTable[23][9], 15},
      {MakeRampCell(230, 17, 100), RampTable[23][2], 1},   // the shade follows the level, not its column
      {(7u << 24) | (100u << 16) | (40u << 8) | 100u, RampTable[10][5], 8},   // other kinds: ramp colours
      {MakeLiteralCell('A', 0x1E) | (0x77u << 16), 0x1E, 0},   // literal: character and attribute as they are
  };
  for (const auto& [cell, attribute, shade] : cases) {
    const DecodedCell d = DecodeCell(cell);
    EXPECT_EQ(d.literal, CellKind(cell) == kCellKindLiteral) << std::hex << cell;
    EXPECT_EQ(d.attribute, attribute) << std::hex << cell;
    EXPECT_EQ(d.shade, shade) << std::hex << cell;
    EXPECT_EQ(d.character, d.literal ? uint32_t{'A'} : 0u) << std::hex << cell;
  }
}

// 65536 steps a turn, the sine negated, never reaching one.
TEST(AngleTables, ReferenceValues) {
  BuildAngleTables();
  const int sine[][2] = {{0, 0}, {1, -6}, {8192, -46340}, {16383, -65535}, {16384, -65535}, {32768, 0}, {49152, 65535}};
  for (const auto& [i, v] : sine) EXPECT_EQ(SinTable[i], v) << i;
  // Half a turn on negates; the cosine runs a quarter turn ahead.
  for (int i = 0; i < kAngleSteps; ++i)
    ASSERT_TRUE(SinTable[i] == -SinTable[(i + 32768) % 65536] && CosTable[i] == SinTable[(i + 16384) % 65536]) << i;
}

}  // namespace
