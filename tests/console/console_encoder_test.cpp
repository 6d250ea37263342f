// The console's bytes in a real terminal: frames encoded here are played into
// a tmux pane and the pane is read back. And the key parser on byte strings.
#include <gtest/gtest.h>

#include <random>

#include "frontends/console/console_encoder.h"
#include "frontends/console/key_parser.h"
#include "tests/console/tmux_pane.h"

namespace {

// Coverage per shading slot, shaped like the real glyphs: empty at both ends.
constexpr float kCoverage[16] = {0, 4 / 64.f, 8 / 64.f, 14 / 64.f, 20 / 64.f, 18 / 64.f, 24 / 64.f, 30 / 64.f,
                                 28 / 64.f, 24 / 64.f, 18 / 64.f, 20 / 64.f, 14 / 64.f, 8 / 64.f, 4 / 64.f, 0};
// Empty when cell shows glyph in fg (not compared for a blank) over bg.
std::string Mismatch(const PaneCell& cell, const std::string& glyph, int64_t fg, int64_t bg) {
  if (cell.glyph == glyph && cell.bg == bg && (glyph == " " || cell.fg == fg)) return "";
  return "'" + cell.glyph + "' " + std::to_string(cell.fg) + " on " + std::to_string(cell.bg) + " for '" + glyph +
         "' " + std::to_string(fg) + " on " + std::to_string(bg);
}

std::string Encode(ConsoleEncoder& e, const std::vector<Cell>& screen, size_t maxBytes = SIZE_MAX, int* cut = nullptr) {
  std::string out;
  const bool complete = e.EncodeFrame(screen.data(), out, maxBytes);
  EXPECT_TRUE(out.starts_with(kSyncBegin) && out.ends_with(kSyncEnd));
  EXPECT_LE(out.size(), maxBytes);
  if (cut != nullptr) *cut += !complete;
  return out;
}

// The pane after bytes, autowrap off as the console has it, over a pane
// first filled with red x's; read once the title sent after them shows.
std::vector<PaneCell> Shown(const std::string& bytes, int columns, int rows) {
  static int runs = 0;
  const std::string file = "frames" + std::to_string(++runs);
  std::ofstream(file) << "\x1b[41m" << std::string(columns * rows, 'x') << "\x1b[?7l" << bytes << "\x1b]2;shown\x07";
  TmuxPane pane("cat " + file + "; exec sleep 600\n", columns, rows);
  EXPECT_TRUE(WaitUntil([&] { return pane.Format("#{pane_title}") == "shown"; }));
  return pane.Capture();
}

// The first frame holds blanks whose colour changes from each cell to the
// next, so that each half of a half block must show the screen cell under
// its middle; the yellow letter on blue at the top left counts half covered:
// (127.5, 127.5, 64) rounded, in 16 colours the nearest, brown (a tie with
// dark grey: the lower number wins). Then frames of scattered changes (after
// a resize, for the last case) leave the terminal as one full redraw of the
// last frame does, with plain margins; at full size, every cell's glyph in
// its palette colours. Frames 5 to 10 (the resize's redraw too) get a byte
// budget that cuts them: the changes left out come with the next frame.
TEST(ConsoleEncoder, FramesShowInATerminal) {
  struct Case { int columns, rows; bool trueColour; int fromRows; };
  for (const Case& c : {Case{80, 50, false, 0}, Case{101, 61, true, 0}, Case{120, 30, false, 0},
                        Case{33, 17, true, 0}, Case{80, 24, true, 50}}) {
    SCOPED_TRACE(std::to_string(c.columns) + "x" + std::to_string(c.rows));
    std::vector<Cell> screen(kScreenCells);
    for (int i = 0; i < kScreenCells; ++i) screen[i] = MakeLiteralCell(' ', static_cast<uint32_t>(i % 80 + 3 * (i / 80)) % 16 << 4);
    screen[0] = MakeLiteralCell('A', 0x1E);
    ConsoleEncoder e;
    e.Configure(c.columns, c.fromRows > 0 ? c.fromRows : c.rows, c.trueColour, kCoverage);
    std::string stream = Encode(e, screen);
    const size_t fullBytes = stream.size();
    const std::vector<PaneCell> first = e.layout == ConsoleLayout::HalfBlock ? Shown(stream, c.columns, c.rows)
                                                                             : std::vector<PaneCell>{};
    for (int i = 0; i < e.areaRows * e.areaColumns && !first.empty(); ++i) {
      const int ax = i % e.areaColumns, ay = i / e.areaColumns, column = (2 * ax + 1) * kScreenWidth / (2 * e.areaColumns);
      const int upperRow = (4 * ay + 1) * kScreenHeight / (4 * e.areaRows);
      const int lowerRow = (4 * ay + 3) * kScreenHeight / (4 * e.areaRows);
      int64_t upper = Colour(DecodeCell(screen[upperRow * 80 + column]).attribute >> 4, c.trueColour);
      if (upperRow == 0 && column == 0) upper = c.trueColour ? kRgbColour | 0x808040 : kAnsi[6];
      const int64_t lower = Colour(DecodeCell(screen[lowerRow * 80 + column]).attribute >> 4, c.trueColour);
      ASSERT_EQ(Mismatch(first[(e.top + ay) * c.columns + e.left + ax], upper == lower ? " " : "\u2580", upper, lower), "")
          << "at " << ax << "," << ay;
    }
    std::mt19937 rng(static_cast<uint32_t>(c.columns * 100 + c.rows));
    int cut = 0;
    for (int frame = 1; frame < 20; ++frame) {
      if (frame == 10 && c.fromRows > 0) e.Configure(c.columns, c.rows, c.trueColour, kCoverage);
      const int start = static_cast<int>(rng() % kScreenCells), end = start + static_cast<int>(rng() % 300);
      for (int i = start; i < end + 40; ++i) {   // a run of cells, then scattered ones; any kind, any value
        const uint32_t v = rng();
        const Cell cell = v % 3 == 0   ? MakeRgbCell(v >> 8 & 0xFF, v >> 16 & 0xFF, v >> 24)
                          : v % 3 == 1 ? MakeLiteralCell(32 + (v >> 8) % 95, v >> 16 & 0xFF)
                                       : MakeRampCell(((v >> 8) % 24) * 10, (v >> 16) % 81, (v >> 24) % 2 ? 100 : 8);
        screen[i < end && i < kScreenCells ? i : rng() % kScreenCells] = cell;
      }
      const std::string bytes = Encode(e, screen, frame >= 5 && frame <= 10 ? 600 : SIZE_MAX, &cut);
      EXPECT_TRUE(frame == 10 || frame == 11 || bytes.size() < fullBytes / 2) << "frame " << frame;   // only what changed
      stream += bytes;
    }
    EXPECT_GE(cut, 3);
    ConsoleEncoder fresh;
    fresh.Configure(c.columns, c.rows, c.trueColour, kCoverage);
    const std::vector<PaneCell> got = Shown(stream, c.columns, c.rows);
    const std::vector<PaneCell> want = Shown(Encode(fresh, screen), c.columns, c.rows);
    for (int i = 0; i < c.columns * c.rows; ++i) {
      const int ax = i % c.columns - e.left, ay = i / c.columns - e.top;
      const bool inside = ax >= 0 && ay >= 0 && ax < e.areaColumns && ay < e.areaRows;
      std::string err = inside ? Mismatch(got[i], want[i].glyph, want[i].fg, want[i].bg)
                               : Mismatch(got[i], " ", kDefaultColour, kDefaultColour);
      const DecodedCell d = DecodeCell(screen[inside ? ay * kScreenWidth + ax : 0]);
      if (err.empty() && inside && e.layout == ConsoleLayout::FullSize) {
        err = Mismatch(got[i], Glyph(d), Colour(d.attribute, c.trueColour), Colour(d.attribute >> 4, c.trueColour));
      }
      ASSERT_EQ(err, "") << "at " << i % c.columns << "," << i / c.columns;
    }
  }
}

TEST(GlyphCoverage, MeanOfTheBlueChannelOverEachSlot) {
  Bitmap* image = MakeFilledBitmap(256, 256, 0);
  for (int i = 0; i < 64; ++i) image->pixels[(8 + i / 8) * 256 + 8 * (2 * 3 + 1) + i % 8] = i < 16 ? 0xFFFFFF : 0;
  for (int i = 0; i < 64; ++i) image->pixels[(8 + i / 8) * 256 + 8 * (2 * 5 + 1) + i % 8] = 0x000033;
  image->pixels[7 * 256 + 8 * (2 * 4 + 1)] = image->pixels[8 * 256 + 8 * (2 * 4 + 1) + 8] = 0xFFFFFF;   // beside slot 4
  Bitmap* small = MakeFilledBitmap(28, 12, 0xFFFFFF);   // past its edges, pixels read as unlit
  float coverage[16], smallCoverage[16];
  MeasureGlyphCoverage(*image, coverage);
  MeasureGlyphCoverage(*small, smallCoverage);
  EXPECT_EQ((std::vector<float>{coverage[3], coverage[4], coverage[5]}), (std::vector<float>{0.25f, 0, 0.2f}));
  EXPECT_EQ((std::vector<float>(smallCoverage, smallCoverage + 3)), (std::vector<float>{0.5f, 0.25f, 0}));
  for (Bitmap* b : {image, small}) ReleaseBitmap(b);
}

// Each string is the bytes of one poll of the terminal; an empty one is a
// poll that found nothing. Keys as "virtual key/character".
TEST(ConsoleKeys, BytesToKeyRecords) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"\x1b"}, ""},                              // may still begin a sequence
      {{"\x1b", "", ""}, "27/27 "},                // the Escape key, once
      {{"\x1b\x1b", ""}, "27/27 27/27 "},          // the first told by the second
      {{"\x1b\r"}, "27/27 13/13 "},
      // Up, F1, Ctrl+F5, Alt+x, Alt+Backspace, split across polls, and m inside sequences: no keys.
      {{"\x1b[A", "\x1bOP", "\x1b[15;5~", "\x1bx", "\x1b\x7f", "\x1b[1;", "5A", "\x1b", "[B", "\x1b[<0;12;5m", "\x1b[0m",
        "\x1bOm", "\x1bm", "\x1b[", "m", ""}, ""},
      {{"m", "M", "z\t\x7f\n!\x03"}, "77/109 77/77 90/122 9/9 8/127 13/10 0/33 0/3 "},
      {{"am\x1b[Bq7 \x1b", ""}, "65/97 77/109 81/113 55/55 32/32 27/27 "},
      {{"\xC3\xA9"}, "0/195 0/169 "},              // each byte of UTF-8 its own record
      {{"\x1b[12\r"}, "13/13 "},                   // a control byte cuts a sequence short
      {{"\x1b[12", "", "m"}, "77/109 "},           // an open sequence is dropped at an empty poll
      {{"\x1b[1\x1b", ""}, "27/27 "},              // a new Escape starts over
  };
  for (const auto& [polls, want] : cases) {
    ConsoleKeyParser parser;
    std::string keys;
    KeyRecord out[2];
    for (const std::string& bytes : polls) {
      for (size_t b = 0; b <= bytes.size(); ++b) {
        const int n = b < bytes.size() ? parser.Feed(static_cast<uint8_t>(bytes[b]), out) : bytes.empty() ? parser.Idle(out) : 0;
        for (int i = 0; i < n; ++i) keys += std::to_string(out[i].virtualKey) + "/" + std::to_string(out[i].character) + " ";
      }
    }
    EXPECT_EQ(keys, want) << testing::PrintToString(polls);
  }
}

}  // namespace
