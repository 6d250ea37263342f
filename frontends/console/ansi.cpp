#include "frontends/console/ansi.h"

#include <array>

#include "engine/core/text_mode_image.h"

namespace {

struct Cp437Named {
  uint8_t character;
  uint16_t unicode;
};

// Code page 437 characters outside ASCII that the show draws.
constexpr Cp437Named kCp437Named[] = {
    {0, 0x0020},     // blank
    {7, 0x2022},     // bullet
    {9, 0x25CB},     // white circle
    {15, 0x263C},    // sun
    {21, 0x00A7},    // section sign
    {29, 0x2194},    // left-right arrow
    {176, 0x2591},   // light shade
    {177, 0x2592},   // medium shade
    {178, 0x2593},   // dark shade
    {219, 0x2588},   // full block
    {223, 0x2580},   // upper half block
    {250, 0x00B7},   // middle dot
    {255, 0x0020},   // non-breaking blank
};

// The mapping: printable ASCII as itself, the named characters, '?' else.
constexpr std::array<uint16_t, 256> kCp437Unicode = [] {
  std::array<uint16_t, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = static_cast<uint16_t>(c >= 32 && c < 127 ? c : '?');
  for (const Cp437Named& n : kCp437Named) table[n.character] = n.unicode;
  return table;
}();

// Its UTF-8 form, zero-terminated: at most three bytes for a code point
// below 0x10000.
struct Utf8Glyph {
  char bytes[4];
};

constexpr std::array<Utf8Glyph, 256> kCp437Utf8 = [] {
  std::array<Utf8Glyph, 256> table{};
  for (int c = 0; c < 256; ++c) {
    const uint32_t u = kCp437Unicode[c];
    char* b = table[c].bytes;
    if (u < 0x80) {
      b[0] = static_cast<char>(u);
    } else if (u < 0x800) {
      b[0] = static_cast<char>(0xC0 | (u >> 6));
      b[1] = static_cast<char>(0x80 | (u & 0x3F));
    } else {
      b[0] = static_cast<char>(0xE0 | (u >> 12));
      b[1] = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      b[2] = static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return table;
}();

}  // namespace

uint16_t Cp437ToUnicode(uint8_t character) { return kCp437Unicode[character]; }

const char* Cp437ToUtf8(uint8_t character) { return kCp437Utf8[character].bytes; }

uint32_t TextModeRgb(int colour) {
  return (uint32_t{PaletteByte(colour, 0)} << 16) | (uint32_t{PaletteByte(colour, 1)} << 8) |
         uint32_t{PaletteByte(colour, 2)};
}

void AppendPaletteSet(std::string& out) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\x1b]4";
  for (int colour = 0; colour < 16; ++colour) {
    out += ';';
    AppendDecimal(out, static_cast<uint32_t>(TextModeToAnsi(colour)));
    out += ";rgb:";
    const uint32_t rgb = TextModeRgb(colour);
    for (int shift = 16; shift >= 0; shift -= 8) {
      out += kHex[(rgb >> (shift + 4)) & 15];
      out += kHex[(rgb >> shift) & 15];
      if (shift > 0) out += '/';
    }
  }
  out += '\x07';
}

void AppendDecimal(std::string& out, uint32_t value) {
  char digits[10];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n > 0) out += digits[--n];
}

void AppendColourParameter(std::string& out, uint32_t colour, bool background, bool trueColour) {
  if (trueColour) {
    out += background ? "48;2;" : "38;2;";
    AppendDecimal(out, (colour >> 16) & 0xFF);
    out += ';';
    AppendDecimal(out, (colour >> 8) & 0xFF);
    out += ';';
    AppendDecimal(out, colour & 0xFF);
    return;
  }
  const int ansi = TextModeToAnsi(static_cast<int>(colour & 15));
  const uint32_t base = (ansi & 8) ? (background ? 100u : 90u) : (background ? 40u : 30u);
  AppendDecimal(out, base + static_cast<uint32_t>(ansi & 7));
}

void AppendAttributeSgr(std::string& out, uint32_t attribute, bool trueColour) {
  const int fg = static_cast<int>(attribute & 15);
  const int bg = static_cast<int>((attribute >> 4) & 15);
  out += "\x1b[";
  AppendColourParameter(out, trueColour ? TextModeRgb(fg) : static_cast<uint32_t>(fg), false, trueColour);
  out += ';';
  AppendColourParameter(out, trueColour ? TextModeRgb(bg) : static_cast<uint32_t>(bg), true, trueColour);
  out += 'm';
}

void AppendAnsiScreen(std::string& out, const Cell* cells, bool trueColour) {
  for (int y = 0; y < kScreenHeight; ++y) {
    uint32_t current = 0x100;   // no attribute sent yet on this row
    for (int x = 0; x < kScreenWidth; ++x) {
      const DecodedCell d = DecodeCell(cells[y * kScreenWidth + x]);
      const uint32_t attribute = d.attribute & 0xFF;
      if (attribute != current) {
        AppendAttributeSgr(out, attribute, trueColour);
        current = attribute;
      }
      out += Cp437ToUtf8(DecodedGlyph(d));
    }
    out += "\x1b[0m\n";
  }
}
