#include "frontends/console/console_encoder.h"

#include <algorithm>
#include <cmath>

#include "engine/core/text_mode_image.h"
#include "engine/resources/bitmap.h"
#include "frontends/console/ansi.h"

namespace {

constexpr uint64_t kBlankGlyphFlag = uint64_t{1} << 56;
constexpr int kOtherClass = kShadeCount;
constexpr uint8_t kSunGlyph = 15;
// Space, light, medium and dark shade, full block: 0, 1/4, 1/2, 3/4, 1 of the cell.
constexpr uint8_t kBlockGlyphs[5] = {' ', 176, 177, 178, 219};

constexpr ConsoleEncoder::TerminalCell MakeTerminalCell(uint8_t glyph, uint32_t foreground,
                                                        uint32_t background) {
  return (uint64_t{glyph} << 48) | (uint64_t{foreground & 0xFFFFFF} << 24) | (background & 0xFFFFFF);
}

// A blank cell shows only its background.
constexpr ConsoleEncoder::TerminalCell MakeBlankCell(uint32_t background) {
  return kBlankGlyphFlag | (uint64_t{' '} << 48) | (background & 0xFFFFFF);
}

bool IsBlankGlyph(uint8_t glyph) { return glyph == ' ' || glyph == 0 || glyph == 255; }

// 0xRRGGBB channels of fg covering coverage (0..1) of a cell over bg.
uint32_t MixRgb(uint32_t fg, uint32_t bg, float coverage) {
  uint32_t out = 0;
  for (int shift = 16; shift >= 0; shift -= 8) {
    const float f = static_cast<float>((fg >> shift) & 0xFF);
    const float b = static_cast<float>((bg >> shift) & 0xFF);
    const long v = std::lrintf(f * coverage + b * (1.0f - coverage));
    out |= static_cast<uint32_t>(std::clamp(v, 0L, 255L)) << shift;
  }
  return out;
}

// The text-mode colour 0..15 nearest to rgb (squared distance; ties take the lower number).
uint32_t NearestTextModeColour(uint32_t rgb) {
  uint32_t best = 0;
  int64_t bestDistance = INT64_MAX;
  for (int c = 0; c < 16; ++c) {
    const uint32_t p = TextModeRgb(c);
    int64_t d = 0;
    for (int shift = 16; shift >= 0; shift -= 8) {
      const int64_t e = int64_t{(rgb >> shift) & 0xFF} - int64_t{(p >> shift) & 0xFF};
      d += e * e;
    }
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<uint32_t>(c);
    }
  }
  return best;
}

void AppendCursorMove(std::string& out, int fromX, int fromY, int x, int y) {
  if (fromY == y && fromX >= 0 && x > fromX) {
    out += "\x1b[";
    if (x - fromX > 1) AppendDecimal(out, static_cast<uint32_t>(x - fromX));
    out += 'C';
    return;
  }
  out += "\x1b[";
  AppendDecimal(out, static_cast<uint32_t>(y + 1));
  if (x > 0) {
    out += ';';
    AppendDecimal(out, static_cast<uint32_t>(x + 1));
  }
  out += 'H';
}

}  // namespace

void MeasureGlyphCoverage(const Bitmap& glyphImage, float coverage[kShadeCount]) {
  for (int slot = 0; slot < kShadeCount; ++slot) {
    uint32_t sum = 0;   // blue channel, 0..64 * 255
    for (int py = 0; py < kGlyphPixels; ++py) {
      for (int px = 0; px < kGlyphPixels; ++px) {
        const uint32_t x = static_cast<uint32_t>(GlyphSlotX(slot) + px);
        const uint32_t y = static_cast<uint32_t>(GlyphSlotY() + py);
        if (glyphImage.pixels == nullptr || x >= glyphImage.width || y >= glyphImage.height) continue;
        const uint64_t index = uint64_t{y} * glyphImage.width + x;
        if (index >= static_cast<uint64_t>(std::max(glyphImage.pixelCount, 0))) continue;
        sum += glyphImage.pixels[index] & 0xFF;
      }
    }
    coverage[slot] = static_cast<float>(sum) / (255.0f * kGlyphPixels * kGlyphPixels);
  }
}

void ConsoleEncoder::Configure(int terminalColumns, int terminalRows, bool useTrueColour,
                               const float coverage[kShadeCount], ConsoleGlyphs glyphs) {
  columns = std::max(terminalColumns, 1);
  rows = std::max(terminalRows, 1);
  trueColour = useTrueColour;

  if (columns >= kScreenWidth && rows >= kScreenHeight) {
    layout = ConsoleLayout::FullSize;
    areaColumns = kScreenWidth;
    areaRows = kScreenHeight;
    for (int y = 0; y < kScreenHeight; ++y) sourceRow[y] = static_cast<uint8_t>(y);
  } else {
    layout = ConsoleLayout::HalfBlock;
    areaColumns = std::min(columns, kScreenWidth);
    areaRows = std::min(rows, kScreenHeight / 2);
    // Nearest neighbour: the screen row under the middle of each half row.
    const int halfRows = 2 * areaRows;
    for (int v = 0; v < halfRows; ++v) sourceRow[v] = static_cast<uint8_t>((2 * v + 1) * kScreenHeight / (2 * halfRows));
  }
  for (int x = 0; x < areaColumns; ++x) {
    sourceColumn[x] = static_cast<uint8_t>((2 * x + 1) * kScreenWidth / (2 * areaColumns));
  }
  left = (columns - areaColumns) / 2;
  top = (rows - areaRows) / 2;

  for (int c = 0; c < kShadeCount; ++c) classCoverage[c] = std::clamp(coverage[c], 0.0f, 1.0f);
  classCoverage[kOtherClass] = kOtherGlyphCoverage;
  for (int ch = 0; ch < 256; ++ch) glyphText[ch] = Cp437ToUtf8(static_cast<uint8_t>(ch));
  glyphText[kSunGlyph] = "\u25C9";
  for (int slot = 0; slot < kShadeCount; ++slot) {
    shadeGlyph[slot] = ShadeGlyphs[slot];
    if (glyphs != ConsoleGlyphs::Blocks) continue;
    // The block whose share (0, 1/4 .. 1) is nearest the mark's coverage.
    const int step = static_cast<int>(std::lrintf(classCoverage[slot] * 4.0f));
    shadeGlyph[slot] = kBlockGlyphs[std::clamp(step, 0, 4)];
  }
  for (int ch = 0; ch < 256; ++ch) {
    const uint8_t glyph = IsBlankGlyph(static_cast<uint8_t>(ch)) ? uint8_t{' '} : static_cast<uint8_t>(ch);
    coverageClass[ch] = kOtherClass;
    for (int slot = 0; slot < kShadeCount; ++slot) {
      if (ShadeGlyphs[slot] == glyph) {
        coverageClass[ch] = static_cast<uint8_t>(slot);
        break;
      }
    }
  }
  for (int c = 0; c < 16; ++c) textColour[c] = trueColour ? TextModeRgb(c) : static_cast<uint32_t>(c);
  mixedColour.resize(256 * kCoverageClasses);
  for (uint32_t attribute = 0; attribute < 256; ++attribute) {
    const uint32_t fg = TextModeRgb(static_cast<int>(attribute & 15));
    const uint32_t bg = TextModeRgb(static_cast<int>(attribute >> 4));
    for (int k = 0; k < kCoverageClasses; ++k) {
      const uint32_t rgb = MixRgb(fg, bg, classCoverage[k]);
      mixedColour[attribute * kCoverageClasses + k] = trueColour ? rgb : NearestTextModeColour(rgb);
    }
  }

  shown.assign(static_cast<size_t>(areaColumns) * areaRows, 0);
  Invalidate();
}

void ConsoleEncoder::Invalidate() {
  redraw = true;
  cursorX = -1;
  cursorY = -1;
  sgrForeground = kUnknownColour;
  sgrBackground = kUnknownColour;
}

ConsoleEncoder::TerminalCell ConsoleEncoder::Wanted(const Cell* cells, int areaX, int areaY) const {
  const int x = sourceColumn[areaX];
  if (layout == ConsoleLayout::FullSize) {
    const DecodedCell d = DecodeCell(cells[sourceRow[areaY] * kScreenWidth + x]);
    const uint8_t glyph = d.literal ? static_cast<uint8_t>(d.character) : shadeGlyph[d.shade & 15];
    const uint32_t bg = textColour[(d.attribute >> 4) & 15];
    if (IsBlankGlyph(glyph)) return MakeBlankCell(bg);
    return MakeTerminalCell(glyph, textColour[d.attribute & 15], bg);
  }
  const DecodedCell upper = DecodeCell(cells[sourceRow[2 * areaY] * kScreenWidth + x]);
  const DecodedCell lower = DecodeCell(cells[sourceRow[2 * areaY + 1] * kScreenWidth + x]);
  const uint32_t top = mixedColour[(upper.attribute & 0xFF) * kCoverageClasses + coverageClass[DecodedGlyph(upper)]];
  const uint32_t bottom = mixedColour[(lower.attribute & 0xFF) * kCoverageClasses + coverageClass[DecodedGlyph(lower)]];
  // Both halves alike: a blank in the background colour needs no foreground.
  if (top == bottom) return MakeBlankCell(bottom);
  return MakeTerminalCell(kCp437UpperHalfBlock, top, bottom);
}

void ConsoleEncoder::AppendCell(std::string& out, TerminalCell cell) {
  const uint32_t bg = static_cast<uint32_t>(cell & 0xFFFFFF);
  const uint32_t fg = static_cast<uint32_t>((cell >> 24) & 0xFFFFFF);
  const bool needForeground = (cell & kBlankGlyphFlag) == 0;
  const bool sendBackground = bg != sgrBackground;
  const bool sendForeground = needForeground && fg != sgrForeground;
  if (sendBackground || sendForeground) {
    out += "\x1b[";
    if (sendForeground) {
      AppendColourParameter(out, fg, false, trueColour);
      sgrForeground = fg;
    }
    if (sendBackground) {
      if (sendForeground) out += ';';
      AppendColourParameter(out, bg, true, trueColour);
      sgrBackground = bg;
    }
    out += 'm';
  }
  out += glyphText[(cell >> 48) & 0xFF];
}

bool ConsoleEncoder::EncodeFrame(const Cell* cells, std::string& out, size_t maxBytes) {
  const size_t frameStart = out.size();
  out += kSyncBegin;
  if (redraw) {
    // Default colours first: the cleared margins of a large terminal stay plain.
    out += "\x1b[0m\x1b[2J";
    std::fill(shown.begin(), shown.end(), TerminalCell{0});
    redraw = false;
    nextRow = 0;
  }
  // A cell is sent only while the worst a cell can cost still fits before the end.
  const size_t syncEndBytes = std::char_traits<char>::length(kSyncEnd);
  const size_t cellLimit = maxBytes > syncEndBytes + kMaxConsoleCellBytes ? maxBytes - syncEndBytes - kMaxConsoleCellBytes : 0;
  bool complete = true;
  for (int i = 0; i < areaRows && complete; ++i) {
    const int ay = (nextRow + i) % areaRows;
    const TerminalCell* rowShown = shown.data() + static_cast<size_t>(ay) * areaColumns;
    for (int ax = 0; ax < areaColumns; ++ax) {
      const TerminalCell want = Wanted(cells, ax, ay);
      if (want == rowShown[ax]) continue;
      if (out.size() - frameStart > cellLimit) {
        nextRow = ay;
        complete = false;
        break;
      }

      const int x = left + ax;
      const int y = top + ay;
      if (x != cursorX || y != cursorY) {
        // A skip of a few cells on this row can cost fewer bytes sent again
        // (what they show already: skipped, so sent) than jumped over: try,
        // keep the shorter.
        bool resent = false;
        if (y == cursorY && cursorX >= 0 && x > cursorX && x - cursorX <= kMaxResentCells) {
          const size_t mark = out.size();
          const uint32_t fgBefore = sgrForeground;
          const uint32_t bgBefore = sgrBackground;
          for (int k = cursorX; k < x; ++k) AppendCell(out, rowShown[k - left]);
          const size_t moveBytes = x - cursorX == 1 ? 3 : 4;   // ESC [ C, ESC [ n C
          resent = out.size() - mark < moveBytes;
          if (!resent) {
            out.resize(mark);
            sgrForeground = fgBefore;
            sgrBackground = bgBefore;
          }
        }
        if (!resent) AppendCursorMove(out, cursorX, cursorY, x, y);
      }
      AppendCell(out, want);
      shown[static_cast<size_t>(ay) * areaColumns + ax] = want;
      // Autowrap is off: past the last column the cursor stays put, which
      // is not worth tracking.
      cursorX = x + 1 < columns ? x + 1 : -1;
      cursorY = cursorX < 0 ? -1 : y;
    }
  }
  out += kSyncEnd;
  return complete;
}
