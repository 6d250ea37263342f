// The terminal side of the show without a terminal: the 80 x 50 screen as the
// bytes that update a terminal of any size from one frame to the next. The
// terminal layer (terminal_console.cpp) only moves these bytes out, and the
// keys in through key_parser.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/cell.h"
#include "engine/core/decode.h"
#include "frontends/console/console.h"

struct Bitmap;

// How the screen maps onto the terminal.
enum class ConsoleLayout : uint8_t {
  FullSize,    // terminal >= 80 x 50: one cell per screen cell, centred
  HalfBlock,   // smaller: upper half blocks, two screen rows per terminal row,
               // each half the cell's mixed colour; sampled when under 80 x 25
};

// Coverage classes: the 16 shading glyph slots, then any other character.
constexpr int kCoverageClasses = kShadeCount + 1;
constexpr float kOtherGlyphCoverage = 0.5f;   // literal characters outside the shading set

// Fraction 0..1 of each glyph slot's 8 x 8 block that the glyph covers: the
// mean of the image's blue channel (the renderer's alpha) over the block,
// which for the two-level glyph image is lit pixels / 64. Pixels outside the
// image count as unlit.
void MeasureGlyphCoverage(const Bitmap& glyphImage, float coverage[kShadeCount]);

// Screen frames to terminal bytes. Keeps what the terminal shows, so that
// after the first frame only changed cells are sent, with a colour change
// only where the colour changes and a cursor move only where cells are
// skipped (a skip of up to three cells that costs fewer bytes to send
// again than to jump is sent again). Buffers are sized by Configure; EncodeFrame allocates nothing
// once the output string has grown to a frame's size.
struct ConsoleEncoder {
  // A terminal cell as sent: bits 0-23 background, 24-47 foreground (each a
  // 0xRRGGBB colour in 24-bit mode, a text-mode colour 0..15 otherwise),
  // 48-55 the code page 437 glyph, bit 56 set when the glyph is blank and so
  // the foreground does not matter (its field is then 0).
  using TerminalCell = uint64_t;

  int columns = 0;              // terminal size in cells
  int rows = 0;
  bool trueColour = false;      // 24-bit colour, else the 16 ANSI colours
  ConsoleLayout layout = ConsoleLayout::FullSize;
  int areaColumns = 0;          // terminal cells the screen occupies
  int areaRows = 0;
  int left = 0;                 // top-left terminal cell of that area, 0-based
  int top = 0;
  uint8_t sourceColumn[kScreenWidth] = {};        // screen column of each area column
  uint8_t sourceRow[kScreenHeight] = {};          // full size: screen row of each area row;
                                                  // half blocks: of each half row (2 per row)
  uint8_t shadeGlyph[kShadeCount] = {};           // code page 437 character sent per shading slot
  const char* glyphText[256] = {};                // UTF-8 sent per code page 437 character
  uint8_t coverageClass[256] = {};                // per code page 437 character
  float classCoverage[kCoverageClasses] = {};     // 0..1
  uint32_t textColour[16] = {};                   // full size: text-mode colour as sent
  std::vector<uint32_t> mixedColour;              // half blocks: [attribute * classes + class]

  std::vector<TerminalCell> shown;   // what the terminal shows, area cells row-major;
                                     // 0 (never wanted) for a cell cleared and not yet sent
  bool redraw = true;                // next frame clears and sends every cell
  int nextRow = 0;                   // area row the next frame's changes start from
  int cursorX = -1;                  // terminal cell of the cursor, -1 unknown
  int cursorY = -1;
  uint32_t sgrForeground = kUnknownColour;
  uint32_t sgrBackground = kUnknownColour;

  static constexpr uint32_t kUnknownColour = 0xFFFFFFFFu;
  // Skips this short (cells) are weighed against sending the cells again.
  static constexpr int kMaxResentCells = 3;

  // Lays the screen out for a terminal of columns x rows (each at least 1;
  // smaller values count as 1), the marks drawn as glyphs asks, and
  // schedules a full redraw.
  void Configure(int terminalColumns, int terminalRows, bool useTrueColour,
                 const float coverage[kShadeCount], ConsoleGlyphs glyphs = ConsoleGlyphs::Marks);
  // Appends one frame to out: the synchronised-update start, the changes
  // since the previous frame (all cells after Configure or Invalidate), the
  // synchronised-update end. The frame takes at most maxBytes (the wrapper
  // and a redraw's clear, 24 bytes, always go): changes that do not fit
  // stay changes for the next frame, which starts from the row this one
  // stopped in, so that a run of cut frames goes round the whole area.
  // False when changes were left out.
  bool EncodeFrame(const Cell* cells, std::string& out, size_t maxBytes = SIZE_MAX);
  // The next frame redraws everything (the terminal's content is unknown).
  void Invalidate();
  // The terminal cell that area cell (areaX, areaY) should show for cells.
  TerminalCell Wanted(const Cell* cells, int areaX, int areaY) const;
  // The colours the cell needs that are not set yet, then its glyph.
  void AppendCell(std::string& out, TerminalCell cell);
};

// Bytes one changed cell can take at most: a cursor position (up to 14
// bytes), two 24-bit colours (36) and a glyph (3).
constexpr size_t kMaxConsoleCellBytes = 56;
// Bytes a frame of any layout can take at most (the area is at most 80 x 50
// cells), for reserving the output once: every cell, the wrapper and the clear.
constexpr size_t kMaxConsoleFrameBytes = size_t{kScreenCells} * kMaxConsoleCellBytes + 64;

constexpr const char* kSyncBegin = "\x1b[?2026h";   // synchronised update (private mode 2026)
constexpr const char* kSyncEnd = "\x1b[?2026l";
