#include "frontends/console/ansi.h"

#include "engine/core/text_mode_image.h"

const char* Cp437ToUtf8(uint8_t character) {
  static const char* const kAscii[95] = {
      " ", "!", "\"", "#", "$", "%", "&", "'", "(", ")", "*", "+", ",", "-", ".", "/",
      "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", ":", ";", "<", "=", ">", "?",
      "@", "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O",
      "P", "Q", "R", "S", "T", "U", "V", "W", "X", "Y", "Z", "[", "\\", "]", "^", "_",
      "`", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o",
      "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z", "{", "|", "}", "~"};
  switch (character) {
    case 0: return " ";
    case 7: return "\u2022";     // bullet
    case 9: return "\u25CB";     // white circle
    case 15: return "\u263C";    // sun
    case 21: return "\u00A7";    // section sign
    case 29: return "\u2194";    // left-right arrow
    case 223: return "\u2580";   // upper half block
    case 250: return "\u00B7";   // middle dot
    case 255: return " ";
    default: break;
  }
  if (character >= 32 && character < 127) return kAscii[character - 32];
  return "?";
}

uint32_t TextModeRgb(int colour) {
  return (uint32_t{PaletteByte(colour, 0)} << 16) | (uint32_t{PaletteByte(colour, 1)} << 8) |
         uint32_t{PaletteByte(colour, 2)};
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
