// A small terminal model for the console tests. It applies what the console
// sends (or what tmux captures of a pane) to a grid of cells, and records
// every sequence it does not know and every glyph that would land outside
// the grid, so that tests can check both the picture and the bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

struct TermColour {
  enum Kind : uint8_t { Default, Ansi, Rgb };
  Kind kind = Default;
  uint32_t value = 0;   // Ansi: 0..15; Rgb: 0xRRGGBB
  bool operator==(const TermColour&) const = default;
};

inline std::string Describe(const TermColour& c) {
  char b[32];
  if (c.kind == TermColour::Default) return "default";
  if (c.kind == TermColour::Ansi) std::snprintf(b, sizeof b, "ansi %u", c.value);
  else std::snprintf(b, sizeof b, "rgb %06X", c.value);
  return b;
}

struct TermCell {
  std::string glyph = " ";   // UTF-8
  TermColour fg;
  TermColour bg;
};

struct MiniTerminal {
  int columns;
  int rows;
  std::vector<TermCell> cells;
  int x = 0;
  int y = 0;
  TermColour fg;
  TermColour bg;
  bool newlineStartsRow = false;   // tmux capture text: '\n' ends a row
  bool syncOpen = false;
  int syncFrames = 0;               // synchronised updates begun and ended
  bool alternate = false;
  bool cursorVisible = true;
  bool autowrap = true;
  std::string title;
  std::vector<std::string> windowOps;   // parameters of CSI ... t
  int glyphsWritten = 0;
  std::vector<std::string> errors;

  MiniTerminal(int c, int r) : columns(c), rows(r), cells(static_cast<size_t>(c) * r) {}

  TermCell& At(int cx, int cy) { return cells[static_cast<size_t>(cy) * columns + cx]; }

  void Error(const std::string& what) {
    if (errors.size() < 20) errors.push_back(what);
  }

  void Feed(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
      const uint8_t b = static_cast<uint8_t>(s[i]);
      if (b == 0x1b) {
        i = Escape(s, i + 1);
      } else if (b == '\n' && newlineStartsRow) {
        x = 0;
        ++y;
        ++i;
      } else if (b < 0x20 || b == 0x7f) {
        Error("control byte " + std::to_string(b));
        ++i;
      } else {
        size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
        if (i + n > s.size()) n = s.size() - i;
        Put(std::string(s.substr(i, n)));
        i += n;
      }
    }
  }

  void Put(const std::string& glyph) {
    if (x < 0 || y < 0 || x >= columns || y >= rows) {
      Error("glyph at " + std::to_string(x) + "," + std::to_string(y) + " outside the terminal");
    } else {
      TermCell& c = At(x, y);
      c.glyph = glyph;
      c.fg = fg;
      c.bg = bg;
    }
    ++x;
    ++glyphsWritten;
  }

  size_t Escape(std::string_view s, size_t i) {
    if (i >= s.size()) {
      Error("escape at the end");
      return i;
    }
    if (s[i] == ']') {   // OSC up to BEL or ST
      const size_t start = i + 1;
      size_t end = start;
      while (end < s.size() && s[end] != '\x07' && s[end] != '\x1b') ++end;
      const std::string body(s.substr(start, end - start));
      if (body.rfind("0;", 0) == 0 || body.rfind("2;", 0) == 0) title = body.substr(2);
      else Error("OSC " + body);
      if (end < s.size() && s[end] == '\x1b') ++end;
      return end + 1;
    }
    if (s[i] != '[') {
      Error(std::string("ESC ") + s[i]);
      return i + 1;
    }
    size_t j = i + 1;
    while (j < s.size() && static_cast<uint8_t>(s[j]) >= 0x20 && static_cast<uint8_t>(s[j]) <= 0x3F) ++j;
    if (j >= s.size()) {
      Error("unfinished CSI");
      return j;
    }
    Csi(std::string(s.substr(i + 1, j - i - 1)), s[j]);
    return j + 1;
  }

  static std::vector<int> Numbers(const std::string& p) {
    std::vector<int> out;
    int v = 0;
    bool any = false;
    for (char c : p) {
      if (c == ';') {
        out.push_back(any ? v : -1);
        v = 0;
        any = false;
      } else if (c >= '0' && c <= '9') {
        v = v * 10 + (c - '0');
        any = true;
      }
    }
    out.push_back(any ? v : -1);
    return out;
  }

  void Csi(const std::string& params, char final) {
    if (!params.empty() && params[0] == '?') {
      const int mode = std::stoi(params.substr(1));
      const bool on = final == 'h';
      if (final != 'h' && final != 'l') Error("CSI ?" + params + final);
      else if (mode == 2026) {
        if (on == syncOpen) Error("synchronised update nesting");
        if (!on) ++syncFrames;
        syncOpen = on;
      } else if (mode == 25) cursorVisible = on;
      else if (mode == 7) autowrap = on;
      else if (mode == 1049) alternate = on;
      else Error("mode " + params);
      return;
    }
    const std::vector<int> n = Numbers(params);
    auto arg = [&](size_t k, int fallback) { return k < n.size() && n[k] >= 0 ? n[k] : fallback; };
    switch (final) {
      case 'H': {
        const int r = arg(0, 1);
        const int c = arg(1, 1);
        if (r < 1 || r > rows || c < 1 || c > columns) Error("cursor to " + params);
        y = r - 1;
        x = c - 1;
        return;
      }
      case 'C':
        x += arg(0, 1);
        if (x >= columns) Error("cursor forward past the last column");
        return;
      case 'J':
        if (arg(0, 0) != 2) Error("CSI " + params + "J");
        for (TermCell& c : cells) c = TermCell{" ", fg, bg};
        return;
      case 't':
        windowOps.push_back(params);
        return;
      case 'm':
        Sgr(n);
        return;
      default:
        Error("CSI " + params + final);
    }
  }

  void Sgr(const std::vector<int>& n) {
    for (size_t k = 0; k < n.size(); ++k) {
      const int v = n[k] < 0 ? 0 : n[k];
      if (v == 0) {
        fg = bg = TermColour{};
      } else if (v >= 30 && v <= 37) {
        fg = {TermColour::Ansi, static_cast<uint32_t>(v - 30)};
      } else if (v >= 90 && v <= 97) {
        fg = {TermColour::Ansi, static_cast<uint32_t>(v - 90 + 8)};
      } else if (v >= 40 && v <= 47) {
        bg = {TermColour::Ansi, static_cast<uint32_t>(v - 40)};
      } else if (v >= 100 && v <= 107) {
        bg = {TermColour::Ansi, static_cast<uint32_t>(v - 100 + 8)};
      } else if (v == 39) {
        fg = {};
      } else if (v == 49) {
        bg = {};
      } else if ((v == 38 || v == 48) && k + 1 < n.size()) {
        TermColour& target = v == 38 ? fg : bg;
        if (n[k + 1] == 2 && k + 4 < n.size()) {
          target = {TermColour::Rgb, static_cast<uint32_t>((n[k + 2] << 16) | (n[k + 3] << 8) | n[k + 4])};
          k += 4;
        } else if (n[k + 1] == 5 && k + 2 < n.size() && n[k + 2] < 16) {
          target = {TermColour::Ansi, static_cast<uint32_t>(n[k + 2])};
          k += 2;
        } else {
          Error("SGR colour " + std::to_string(v));
          return;
        }
      } else {
        Error("SGR " + std::to_string(v));
      }
    }
  }
};
