#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/core/cell.h"
#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"
#include "frontends/console/ansi.h"
#include "frontends/console/console_encoder.h"
#include "tests/console/expected_screen.h"
#include "tests/console/mini_terminal.h"
#include "tests/console/probe_screen.h"
#include "tests/support/test_bitmaps.h"

namespace {

// Coverage per shading slot in 64ths, shaped like the real glyphs: empty
// at both ends, densest in the middle.
constexpr float kCoverage[16] = {0,         4 / 64.f,  8 / 64.f,  14 / 64.f, 20 / 64.f, 18 / 64.f,
                                 24 / 64.f, 30 / 64.f, 28 / 64.f, 24 / 64.f, 18 / 64.f, 20 / 64.f,
                                 14 / 64.f, 8 / 64.f,  4 / 64.f,  0};

const std::string kBegin = "\x1b[?2026h";
const std::string kEnd = "\x1b[?2026l";

std::vector<Cell> BlankScreen(uint32_t attribute) {
  return std::vector<Cell>(kScreenCells, MakeLiteralCell(' ', attribute));
}

std::vector<Cell> Probe(int frame) {
  std::vector<Cell> screen(kScreenCells);
  ProbeScreen(frame, screen.data());
  return screen;
}

std::string Encode(ConsoleEncoder& e, const std::vector<Cell>& screen) {
  std::string out;
  e.EncodeFrame(screen.data(), out);
  return out;
}

// Empty when the terminal shows screen at full size from (left, top).
std::string CheckFullSize(MiniTerminal& t, const std::vector<Cell>& screen, bool trueColour, int left, int top) {
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      const TermCell want = ExpectedFullCell(screen[y * kScreenWidth + x], trueColour);
      const TermCell& got = t.At(left + x, top + y);
      const std::string where = " at " + std::to_string(x) + "," + std::to_string(y);
      if (got.glyph != want.glyph) return "glyph '" + got.glyph + "' for '" + want.glyph + "'" + where;
      if (got.bg != want.bg) return "background " + Describe(got.bg) + " for " + Describe(want.bg) + where;
      if (want.glyph != " " && got.fg != want.fg) {
        return "foreground " + Describe(got.fg) + " for " + Describe(want.fg) + where;
      }
    }
  }
  return "";
}

// Empty when the terminal shows screen as half blocks over the encoder's area.
std::string CheckHalfBlocks(MiniTerminal& t, const ConsoleEncoder& e, const std::vector<Cell>& screen) {
  for (int ay = 0; ay < e.areaRows; ++ay) {
    for (int ax = 0; ax < e.areaColumns; ++ax) {
      const int sx = SampledColumn(ax, e.areaColumns);
      const Cell upper = screen[SampledRow(2 * ay, e.areaRows) * kScreenWidth + sx];
      const Cell lower = screen[SampledRow(2 * ay + 1, e.areaRows) * kScreenWidth + sx];
      const std::string err = CheckHalfBlock(t.At(e.left + ax, e.top + ay), ExpectedMixRgb(upper, kCoverage),
                                             ExpectedMixRgb(lower, kCoverage), e.trueColour);
      if (!err.empty()) return err + " at " + std::to_string(ax) + "," + std::to_string(ay);
    }
  }
  return "";
}

// A word of any kind, any value.
Cell RandomCell(std::mt19937& rng) {
  const uint32_t v = rng();
  switch (v % 4) {
    case 0: return MakeRgbCell(v >> 8 & 0xFF, v >> 16 & 0xFF, v >> 24);
    case 1: return MakeLiteralCell(32 + (v >> 8) % 95, v >> 16 & 0xFF);
    default: return MakeRampCell(((v >> 8) % 24) * 10, (v >> 16) % 81, (v >> 24) % 2 ? 100 : 8);
  }
}

TEST(ConsoleAnsi, GlyphsAndColourParameters) {
  EXPECT_STREQ(Cp437ToUtf8(223), "\xE2\x96\x80");
  EXPECT_STREQ(Cp437ToUtf8(250), "\xC2\xB7");
  EXPECT_STREQ(Cp437ToUtf8('m'), "m");
  EXPECT_STREQ(Cp437ToUtf8(200), "?");
  struct Param { uint32_t colour; bool background, trueColour; const char* want; };
  for (const Param& p : {Param{0x0A0B0C, true, true, "48;2;10;11;12"}, Param{12, false, false, "91"},  // light red
                         Param{1, true, false, "44"}}) {                                            // blue background
    std::string s;
    AppendColourParameter(s, p.colour, p.background, p.trueColour);
    EXPECT_EQ(s, p.want);
  }
  std::string s;
  AppendAttributeSgr(s, 0x4C, false);
  EXPECT_EQ(s, "\x1b[91;41m");
  s.clear();
  AppendAttributeSgr(s, 0x7F, true);
  EXPECT_EQ(s, "\x1b[38;2;255;255;255;48;2;191;191;191m");
  s.clear();
  AppendDecimal(s, 0);
  AppendDecimal(s, 4294967295u);
  EXPECT_EQ(s, "04294967295");
}

TEST(ConsoleEncoder, FramesByHandSixteenColours) {
  ConsoleEncoder e;
  e.Configure(80, 50, false, kCoverage);
  ASSERT_EQ(e.layout, ConsoleLayout::FullSize);

  // Blue blanks, with yellow-on-blue "AB" at the top left.
  std::vector<Cell> screen = BlankScreen(0x10);
  screen[0] = MakeLiteralCell('A', 0x1E);
  screen[1] = MakeLiteralCell('B', 0x1E);
  std::string want = kBegin + "\x1b[0m\x1b[2J" + "\x1b[1H\x1b[93;44mAB" + std::string(78, ' ');
  for (int y = 2; y <= 50; ++y) want += "\x1b[" + std::to_string(y) + "H" + std::string(80, ' ');
  want += kEnd;
  EXPECT_EQ(Encode(e, screen), want);

  // Changed cells on one row: a long skip is a cursor move, a one-cell skip
  // of a blank in the current colours is cheaper sent again (1 byte against
  // 3); each colour is sent once.
  screen[3 * 80 + 10] = MakeLiteralCell('C', 0x1F);
  screen[3 * 80 + 20] = MakeLiteralCell('D', 0x1F);
  screen[3 * 80 + 22] = MakeLiteralCell('E', 0x1F);
  screen[3 * 80 + 23] = MakeLiteralCell(' ', 0x40);
  EXPECT_EQ(Encode(e, screen), kBegin + "\x1b[4;11H\x1b[97mC\x1b[9CD E\x1b[41m " + kEnd);

  // Nothing changed: only the wrapper.
  EXPECT_EQ(Encode(e, screen), kBegin + kEnd);

  // Further on the same row: red needs no colour (still set), green does;
  // the blue blank between would cost a colour, so it is jumped.
  screen[3 * 80 + 40] = MakeLiteralCell(' ', 0x40);
  screen[3 * 80 + 42] = MakeLiteralCell(' ', 0x20);
  EXPECT_EQ(Encode(e, screen), kBegin + "\x1b[16C \x1b[C\x1b[42m " + kEnd);
}

// Yellow-on-blue "A" over blue blanks in 24-bit colour, full size and as half
// blocks. Full size: the blanks after it have another foreground but the same
// background, so nothing new is sent. Half blocks: a letter counts half
// covered, so the upper half is (127.5, 127.5, 64) rounded to even over a
// plain blue lower half, and the next cell is blue over blue: a blank.
TEST(ConsoleEncoder, TwentyFourBitColourByHand) {
  struct Case { int rows; ConsoleLayout layout; std::string head, next; };
  const Case cases[] = {{50, ConsoleLayout::FullSize, "\x1b[38;2;255;255;0;48;2;0;0;128mA", "   "},
                        {25, ConsoleLayout::HalfBlock, "\x1b[38;2;128;128;64;48;2;0;0;128m\xE2\x96\x80", " "}};
  for (const Case& c : cases) {
    ConsoleEncoder e;
    e.Configure(80, c.rows, true, kCoverage);
    ASSERT_EQ(e.layout, c.layout);
    std::vector<Cell> screen = BlankScreen(0x10);
    screen[0] = MakeLiteralCell('A', 0x1E);
    const std::string out = Encode(e, screen);
    const std::string head = kBegin + "\x1b[0m\x1b[2J\x1b[1H" + c.head;
    EXPECT_EQ(out.substr(0, head.size() + c.next.size()), head + c.next) << c.rows << " rows";
    if (c.layout != ConsoleLayout::FullSize) continue;
    screen[1] = MakeLiteralCell(21, 0x07);   // section sign, grey on black
    EXPECT_EQ(Encode(e, screen), kBegin + "\x1b[1;2H\x1b[38;2;191;191;191;48;2;0;0;0m\xC2\xA7" + kEnd);
  }
}

TEST(ConsoleEncoder, SmallTerminalsAreSampledToFit) {
  struct Size { int columns, rows, areaColumns, areaRows, left, top; };
  const Size sizes[] = {
      {120, 30, 80, 25, 20, 2},   // wide but short: half blocks, centred
      {80, 25, 80, 25, 0, 0},     // exactly two screen rows per terminal row
      {80, 24, 80, 24, 0, 0},     // the common terminal: half blocks, no margin
      {79, 50, 79, 25, 0, 12},    // one column short of full size
      {30, 10, 30, 10, 0, 0},
      {1, 1, 1, 1, 0, 0},
      {0, 0, 1, 1, 0, 0},         // a terminal reporting nothing counts as 1 x 1
  };
  const std::vector<Cell> screen = Probe(2);
  for (const Size& s : sizes) {
    SCOPED_TRACE(std::to_string(s.columns) + "x" + std::to_string(s.rows));
    ConsoleEncoder e;
    e.Configure(s.columns, s.rows, true, kCoverage);
    EXPECT_EQ(e.layout, ConsoleLayout::HalfBlock);
    EXPECT_EQ(e.areaColumns, s.areaColumns);
    EXPECT_EQ(e.areaRows, s.areaRows);
    EXPECT_EQ(e.left, s.left);
    EXPECT_EQ(e.top, s.top);
    MiniTerminal t(std::max(s.columns, 1), std::max(s.rows, 1));
    t.Feed(Encode(e, screen));
    ASSERT_TRUE(t.errors.empty()) << t.errors[0];
    EXPECT_EQ(t.glyphsWritten, s.areaColumns * s.areaRows);
    EXPECT_EQ(CheckHalfBlocks(t, e, screen), "");
  }
}

TEST(ConsoleEncoder, ChangedFramesKeepTheTerminalRightInEveryLayout) {
  struct Case { int columns, rows; bool trueColour; };
  // 101 x 61: full size, centred at (10, 5) with margins cleared in the default colours.
  const Case cases[] = {{80, 50, false}, {80, 50, true}, {101, 61, false}, {90, 52, true},
                        {80, 24, false}, {80, 24, true}, {33, 17, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.columns) + "x" + std::to_string(c.rows) + (c.trueColour ? " 24-bit" : " 16"));
    std::mt19937 rng(12345);
    ConsoleEncoder e;
    e.Configure(c.columns, c.rows, c.trueColour, kCoverage);
    MiniTerminal t(c.columns, c.rows);
    for (TermCell& cell : t.cells) cell = TermCell{"x", {TermColour::Ansi, 1}, {TermColour::Ansi, 2}};
    if (c.columns == 101) {
      EXPECT_TRUE(e.layout == ConsoleLayout::FullSize && e.left == 10 && e.top == 5);
    }
    std::vector<Cell> screen = Probe(0);
    size_t fullBytes = 0;
    for (int frame = 0; frame < 40; ++frame) {
      if (frame > 0) {
        // A run of changed cells somewhere, and scattered single cells.
        const int start = static_cast<int>(rng() % kScreenCells);
        const int run = static_cast<int>(rng() % 300);
        for (int i = start; i < start + run && i < kScreenCells; ++i) screen[i] = RandomCell(rng);
        for (int k = static_cast<int>(rng() % 40); k > 0; --k) screen[rng() % kScreenCells] = RandomCell(rng);
      }
      const std::string bytes = Encode(e, screen);
      if (frame == 0) fullBytes = bytes.size();
      else EXPECT_LT(bytes.size(), fullBytes);
      const int before = t.glyphsWritten;
      t.Feed(bytes);
      ASSERT_TRUE(t.errors.empty()) << t.errors[0];
      ASSERT_FALSE(t.syncOpen);
      if (frame == 0) EXPECT_GE(t.glyphsWritten, e.areaColumns * e.areaRows);
      else EXPECT_LT(t.glyphsWritten - before, c.columns * c.rows);
      const std::string err = e.layout == ConsoleLayout::FullSize
                                  ? CheckFullSize(t, screen, c.trueColour, e.left, e.top)
                                  : CheckHalfBlocks(t, e, screen);
      ASSERT_EQ(err, "") << "frame " << frame;
    }
    for (int y = 0; y < c.rows; ++y) {
      for (int x = 0; x < c.columns; ++x) {
        if (x >= e.left && x < e.left + e.areaColumns && y >= e.top && y < e.top + e.areaRows) continue;
        ASSERT_TRUE(t.At(x, y).glyph == " " && t.At(x, y).bg == TermColour{}) << "margin " << x << "," << y;
      }
    }
    EXPECT_EQ(t.syncFrames, 40);
  }
}

TEST(ConsoleEncoder, ResizeRedrawsEverythingForTheNewSize) {
  ConsoleEncoder e;
  e.Configure(80, 50, false, kCoverage);
  const std::vector<Cell> screen = Probe(0);
  Encode(e, screen);
  e.Configure(80, 24, false, kCoverage);
  const std::string out = Encode(e, screen);
  EXPECT_EQ(out.substr(0, kBegin.size() + 8), kBegin + "\x1b[0m\x1b[2J");
  MiniTerminal t(80, 24);
  t.Feed(out);
  ASSERT_TRUE(t.errors.empty()) << t.errors[0];
  EXPECT_EQ(t.glyphsWritten, 80 * 24);
  EXPECT_EQ(CheckHalfBlocks(t, e, screen), "");

  e.Invalidate();   // alone also redraws all
  t.Feed(Encode(e, screen));
  EXPECT_EQ(t.glyphsWritten, 2 * 80 * 24);
}

TEST(ConsoleEncoder, WorstCaseBoundHoldsForHostileFrames) {
  // Every cell changes colour both ways on every frame.
  ConsoleEncoder e;
  e.Configure(200, 200, true, kCoverage);
  std::vector<Cell> a(kScreenCells), b(kScreenCells);
  for (int i = 0; i < kScreenCells; ++i) {
    a[i] = MakeLiteralCell('#', static_cast<uint32_t>(i * 37) & 0xFF);
    b[i] = MakeLiteralCell('%', static_cast<uint32_t>(i * 91 + 5) & 0xFF);
  }
  Encode(e, a);
  EXPECT_LE(Encode(e, b).size(), e.WorstCaseFrameBytes());
  e.Invalidate();
  EXPECT_LE(Encode(e, a).size(), e.WorstCaseFrameBytes());
}

TEST(GlyphCoverage, MeasuredFromTheBlueChannelOfEachSlot) {
  Bitmap* image = MakeFilledBitmap(256, 256, 0);
  for (int i = 0; i < 16; ++i) image->pixels[(8 + i / 4) * 256 + 8 * (2 * 3 + 1) + i % 4] = 0xFFFFFF;
  for (int i = 0; i < 64; ++i) image->pixels[(8 + i / 8) * 256 + 8 * (2 * 5 + 1) + i % 8] = 0x000033;
  // Lit pixels just outside slot 4's block do not count.
  image->pixels[(8 - 1) * 256 + 8 * (2 * 4 + 1)] = 0xFFFFFF;
  image->pixels[8 * 256 + 8 * (2 * 4 + 1) + 8] = 0xFFFFFF;
  float coverage[16];
  MeasureGlyphCoverage(*image, coverage);
  EXPECT_FLOAT_EQ(coverage[3], 0.25f);
  EXPECT_FLOAT_EQ(coverage[5], 0.2f);   // 0x33 = 51 = 255 / 5
  EXPECT_FLOAT_EQ(coverage[4], 0.0f);
  ReleaseBitmap(image);

  // A small all-lit image, 28 x 12: pixels past its edges read as unlit.
  Bitmap* small = MakeFilledBitmap(28, 12, 0xFFFFFF);
  MeasureGlyphCoverage(*small, coverage);
  EXPECT_FLOAT_EQ(coverage[0], 0.5f);     // x 8..15 inside, rows 8..11 of 8..15
  EXPECT_FLOAT_EQ(coverage[1], 0.25f);    // x 24..27 of 24..31
  EXPECT_FLOAT_EQ(coverage[2], 0.0f);     // x 40..47: outside
  ReleaseBitmap(small);
}

TEST(GlyphCoverage, ShowGlyphImage) {
  Bitmap* image = LoadBitmap("textmodechars.png");
  float coverage[16];
  MeasureGlyphCoverage(*image, coverage);
  ReleaseBitmap(image);
  ResourceTable::Release();
  EXPECT_EQ(coverage[0], 0.0f);    // space
  EXPECT_EQ(coverage[15], 0.0f);
  for (int s = 1; s < 15; ++s) EXPECT_TRUE(coverage[s] > 0.0f && coverage[s] < 1.0f) << s;
  // The set rises and falls through the same glyphs, sun and section sign
  // at the top.
  for (int s = 1; s < 7; ++s) EXPECT_EQ(coverage[s], coverage[15 - s]) << s;
  EXPECT_LT(coverage[1], coverage[2]);   // middle dot below bullet
  EXPECT_LT(coverage[2], coverage[7]);   // bullet below sun
}

}  // namespace
