// A real terminal for the console tests: one detached tmux pane on a private
// server, read back with capture-pane. Every wait polls for its condition
// until a deadline far beyond any normal run, so that a loaded machine only
// makes a test slower.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "engine/core/decode.h"
#include "tests/support/run_tool.h"
#include "tests/support/test_bitmaps.h"

constexpr int64_t kDefaultColour = -1;            // else 0..15 (ANSI) or kRgbColour | 0xRRGGBB
constexpr int64_t kRgbColour = int64_t{1} << 24;

struct PaneCell {
  std::string glyph = " ";   // UTF-8
  int64_t fg = kDefaultColour, bg = kDefaultColour;
};

// The SGR parameters capture-pane writes; false for any other.
inline bool ApplySgr(const std::string& params, int64_t& fg, int64_t& bg) {
  std::vector<int> n;
  std::istringstream in(params + ";");
  for (std::string p; std::getline(in, p, ';');) n.push_back(p.empty() ? 0 : std::stoi(p));
  for (size_t k = 0; k < n.size(); ++k) {
    const int v = n[k];
    int64_t& target = (v / 10) % 2 == 1 ? fg : bg;   // 3x and 9x set the foreground
    if (v == 0) fg = bg = kDefaultColour;
    else if (v == 39 || v == 49) target = kDefaultColour;
    else if (v % 10 < 8 && ((v >= 30 && v < 48) || (v >= 90 && v < 108))) target = v % 10 + (v >= 90 ? 8 : 0);
    else if ((v == 38 || v == 48) && k + 4 < n.size() && n[k + 1] == 2) {
      target = kRgbColour | n[k + 2] << 16 | n[k + 3] << 8 | n[k + 4];
      k += 4;
    } else {
      return false;
    }
  }
  return true;
}

// The ANSI number of each text-mode colour: blue and red trade places.
constexpr int kAnsi[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

inline int64_t Colour(uint32_t textMode, bool rgb) { return rgb ? kRgbColour | kTextModePalette[textMode & 15] : kAnsi[textMode & 15]; }

// The glyph of a decoded cell: ASCII, or one of the shading set by its code
// point (the sun in the form a terminal gets).
inline std::string Glyph(const DecodedCell& d) {
  const uint32_t cp437 = d.literal ? d.character : ShadeGlyphs[d.shade];
  const std::pair<uint32_t, const char*> named[] = {{7, "\u2022"},  {9, "\u25CB"},  {15, "\u25C9"},
                                                    {21, "\u00A7"}, {29, "\u2194"}, {250, "\u00B7"}};
  for (const auto& [code, utf8] : named) if (code == cp437) return utf8;
  return std::string(1, static_cast<char>(cp437));
}

class TmuxPane {
 public:
  int columns, rows;

  // Runs a shell script in a columns x rows pane, in the working directory,
  // which also holds the server's socket.
  TmuxPane(const std::string& script, int c, int r) : columns(c), rows(r) {
    static int servers = 0;
    socket_ = "tmux" + std::to_string(++servers);
    std::ofstream(socket_ + ".sh") << script;
    Run("new-session -d -x " + std::to_string(c) + " -y " + std::to_string(r) + " -s pane 'sh " + socket_ + ".sh'");
  }
  ~TmuxPane() { Run("kill-server 2>/dev/null"); }

  // Standard output of a tmux command.
  std::string Run(const std::string& args) const {
    return RunProgram("env", "-u TMUX tmux -S " + socket_ + " -f /dev/null " + args, socket_).out;
  }
  std::string Format(const std::string& format) const {
    const std::string out = Run("display-message -p -t pane '" + format + "'");
    return out.substr(0, out.find('\n'));
  }

  // The pane's cells; a failure when the capture holds what no terminal shows.
  std::vector<PaneCell> Capture() const {
    const std::string text = Run("capture-pane -p -e -N -t pane");
    std::vector<PaneCell> cells(static_cast<size_t>(columns) * rows);
    int x = 0, y = 0;
    int64_t fg = kDefaultColour, bg = kDefaultColour;
    for (size_t i = 0; i < text.size();) {
      const unsigned char b = static_cast<unsigned char>(text[i]);
      if (b == '\n') {
        x = 0;
        ++y;
        ++i;
      } else if (b == 0x1b) {
        const size_t sgrEnd = text.find('m', i);
        if (sgrEnd == std::string::npos || text[i + 1] != '[' || !ApplySgr(text.substr(i + 2, sgrEnd - i - 2), fg, bg)) {
          ADD_FAILURE() << "capture not understood: " << text;
          return cells;
        }
        i = sgrEnd + 1;
      } else {
        const size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
        // Cells past the edge: a capture taken just before a resize took effect.
        if (x < columns && y < rows) cells[static_cast<size_t>(y) * columns + x] = PaneCell{text.substr(i, n), fg, bg};
        ++x;
        i += n;
      }
    }
    return cells;
  }

 private:
  std::string socket_;
};
