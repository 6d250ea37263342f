#include "frontends/console/ansi.h"

#include <cstdio>

#include "engine/core/decode.h"
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
    case 250: return "\u00B7";   // middle dot
    case 255: return " ";
    default: break;
  }
  if (character >= 32 && character < 127) return kAscii[character - 32];
  return "?";
}

void AppendAttributeSgr(std::string& out, uint32_t attribute, bool trueColour) {
  const int fg = static_cast<int>(attribute & 15);
  const int bg = static_cast<int>((attribute >> 4) & 15);
  char buffer[64];
  if (trueColour) {
    std::snprintf(buffer, sizeof buffer, "\x1b[38;2;%u;%u;%u;48;2;%u;%u;%um", PaletteByte(fg, 0),
                  PaletteByte(fg, 1), PaletteByte(fg, 2), PaletteByte(bg, 0), PaletteByte(bg, 1),
                  PaletteByte(bg, 2));
  } else {
    const int f = TextModeToAnsi(fg);
    const int b = TextModeToAnsi(bg);
    std::snprintf(buffer, sizeof buffer, "\x1b[%d;%dm", (f & 8) ? 90 + (f & 7) : 30 + f,
                  (b & 8) ? 100 + (b & 7) : 40 + b);
  }
  out += buffer;
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
      out += Cp437ToUtf8(static_cast<uint8_t>(d.literal ? d.character : ShadeGlyphs[d.shade]));
    }
    out += "\x1b[0m\n";
  }
}
