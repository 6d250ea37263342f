// The console layer in a real terminal: console_probe runs in a detached
// tmux pane (a private server per test), the pane is read back with
// capture-pane and tmux's own view of the terminal modes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"
#include "frontends/console/terminal_console.h"
#include "tests/console/expected_screen.h"
#include "tests/console/mini_terminal.h"
#include "tests/console/probe_screen.h"

namespace fs = std::filesystem;

namespace {

constexpr int kProbeFrames = 4;            // the last frame shown is frame 3
constexpr double kWaitSeconds = 10;        // for the probe to start or end
constexpr const char* kTitleBefore = "title before the show";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Standard output of a shell command and its exit status.
std::string Shell(const std::string& command, int* status = nullptr) {
  std::string out;
  std::FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  const int s = pclose(p);
  if (status != nullptr) *status = WIFEXITED(s) ? WEXITSTATUS(s) : -1;
  return out;
}

bool WaitFor(const fs::path& path) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(kWaitSeconds);
  while (!fs::exists(path)) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// Coverage of the shading glyphs counted here from the glyph image: lit
// pixels of each slot's 8 x 8 block (x = 8(2g + 1), y = 8) over 64.
void CountGlyphCoverage(float coverage[16]) {
  Bitmap* image = LoadBitmap("textmodechars.png");
  for (int g = 0; g < 16; ++g) {
    int lit = 0;
    for (int y = 8; y < 16; ++y) {
      for (int x = 8 * (2 * g + 1); x < 8 * (2 * g + 2); ++x) lit += (image->pixels[y * image->width + x] & 0xFF) >= 128;
    }
    coverage[g] = static_cast<float>(lit) / 64.0f;
  }
  ReleaseBitmap(image);
  ResourceTable::Release();
}

// One probe in one tmux pane. The pane runs a small shell script that sets
// a title, notes the terminal modes, runs the probe, and then notes its exit
// status and the modes again and stays, so that the pane can be inspected.
// The script ignores SIGINT and SIGQUIT (as an interactive shell does for
// the foreground job): Ctrl+C in the pane reaches the whole process group.
class TmuxProbe {
 public:
  TmuxProbe(const std::string& name, int columns, int rows, bool trueColour, const std::string& probeArgs = "")
      : columns_(columns), rows_(rows) {
    dir_ = fs::current_path() / ("tmux-" + name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    socket_ = "lumen-test-" + std::to_string(getpid()) + "-" + name;
    std::ofstream script(dir_ / "run.sh");
    script << "trap '' INT QUIT\n"
           << "printf '\\033]2;" << kTitleBefore << "\\007'\n"
           << "stty -g > '" << (dir_ / "modes.before").string() << "'\n"
           << (trueColour ? "export COLORTERM=truecolor\n" : "unset COLORTERM\n")
           << "'" << CONSOLE_PROBE_PATH << "' --frames " << kProbeFrames << " --seconds 30"
           << " --ready '" << (dir_ / "ready").string() << "' --keys '" << (dir_ / "keys").string() << "' "
           << probeArgs << "\n"
           << "code=$?\n"
           << "stty -g > '" << (dir_ / "modes.after").string() << "'\n"
           << "echo $code > '" << (dir_ / "status.part").string() << "'\n"
           << "mv '" << (dir_ / "status.part").string() << "' '" << (dir_ / "status").string() << "'\n"
           << "exec sleep 60\n";
    script.close();
    int status = 0;
    Shell(Tmux("new-session -d -x " + std::to_string(columns) + " -y " + std::to_string(rows) + " -s probe 'sh " +
               (dir_ / "run.sh").string() + "'"),
          &status);
    started_ = status == 0;
  }
  ~TmuxProbe() {
    Shell(Tmux("kill-server") + " 2>/dev/null");
    // The server leaves its socket file behind.
    const char* tmp = std::getenv("TMUX_TMPDIR");
    std::error_code ignored;
    fs::remove(fs::path(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") / ("tmux-" + std::to_string(getuid())) / socket_,
               ignored);
  }

  std::string Tmux(const std::string& args) const {
    return "env -u TMUX tmux -L " + socket_ + " -f /dev/null " + args;
  }
  std::string Format(const std::string& format) const {
    std::string out = Shell(Tmux("display-message -p -t probe '" + format + "'"));
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
  }
  void SendKeys(const std::string& keys) const { Shell(Tmux("send-keys -t probe " + keys)); }
  void Resize(int columns, int rows) {
    Shell(Tmux("resize-window -t probe -x " + std::to_string(columns) + " -y " + std::to_string(rows)));
    columns_ = columns;
    rows_ = rows;
  }

  // Waits for the probe to show its last frame; its process id.
  pid_t WaitReady() const {
    if (!started_ || !WaitFor(dir_ / "ready")) return 0;
    return static_cast<pid_t>(std::stol(ReadFile(dir_ / "ready")));
  }
  // Waits for the probe to end; its exit status, -1 when it did not.
  int WaitStatus() const {
    if (!WaitFor(dir_ / "status")) return -1;
    return std::stoi(ReadFile(dir_ / "status"));
  }

  MiniTerminal Capture() const {
    MiniTerminal t(columns_, rows_);
    t.newlineStartsRow = true;
    t.Feed(Shell(Tmux("capture-pane -p -e -N -t probe")));
    return t;
  }

  // Captures until check finds nothing wrong (tmux may still be taking in
  // the last bytes) or time is up; the last complaint.
  template <typename Check>
  std::string CaptureUntil(Check check) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string err;
    do {
      MiniTerminal t = Capture();
      err = t.errors.empty() ? check(t) : "capture: " + t.errors[0];
      if (err.empty()) return err;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < until);
    return err;
  }

  std::string Keys() const { return ReadFile(dir_ / "keys"); }
  bool ModesRestored() const {
    const std::string before = ReadFile(dir_ / "modes.before");
    return !before.empty() && before == ReadFile(dir_ / "modes.after");
  }

 private:
  fs::path dir_;
  std::string socket_;
  int columns_;
  int rows_;
  bool started_ = false;
};

std::vector<Cell> ShownScreen() {
  std::vector<Cell> screen(kScreenCells);
  ProbeScreen(kProbeFrames - 1, screen.data());
  return screen;
}

std::string CheckFullSize(const MiniTerminal& t, bool trueColour, int left, int top) {
  const std::vector<Cell> screen = ShownScreen();
  for (int y = 0; y < kScreenHeight; ++y) {
    for (int x = 0; x < kScreenWidth; ++x) {
      const TermCell want = ExpectedFullCell(screen[y * kScreenWidth + x], trueColour);
      const TermCell& got = t.cells[static_cast<size_t>(top + y) * t.columns + left + x];
      const std::string where = " at " + std::to_string(x) + "," + std::to_string(y);
      if (got.glyph != want.glyph) return "glyph '" + got.glyph + "' for '" + want.glyph + "'" + where;
      if (got.bg != want.bg) return "background " + Describe(got.bg) + " for " + Describe(want.bg) + where;
      if (want.glyph != " " && got.fg != want.fg) return "foreground " + Describe(got.fg) + where;
    }
  }
  return "";
}

std::string CheckHalfBlocks(const MiniTerminal& t, bool trueColour) {
  float coverage[16];
  CountGlyphCoverage(coverage);
  const std::vector<Cell> screen = ShownScreen();
  const int areaColumns = std::min(t.columns, kScreenWidth);
  const int areaRows = std::min(t.rows, kScreenHeight / 2);
  const int left = (t.columns - areaColumns) / 2;
  const int top = (t.rows - areaRows) / 2;
  for (int ay = 0; ay < areaRows; ++ay) {
    for (int ax = 0; ax < areaColumns; ++ax) {
      const int sx = SampledColumn(ax, areaColumns);
      const Cell upper = screen[SampledRow(2 * ay, areaRows) * kScreenWidth + sx];
      const Cell lower = screen[SampledRow(2 * ay + 1, areaRows) * kScreenWidth + sx];
      const std::string err =
          CheckHalfBlock(t.cells[static_cast<size_t>(top + ay) * t.columns + left + ax],
                         ExpectedMixRgb(upper, coverage), ExpectedMixRgb(lower, coverage), trueColour);
      if (!err.empty()) return err + " at " + std::to_string(ax) + "," + std::to_string(ay);
    }
  }
  return "";
}

void ExpectShowModes(const TmuxProbe& p) {
  EXPECT_EQ(p.Format("#{alternate_on} #{cursor_flag} #{wrap_flag}"), "1 0 0");
  EXPECT_EQ(p.Format("#{pane_title}"), kConsoleTitle);
}

void ExpectRestored(const TmuxProbe& p) {
  EXPECT_EQ(p.Format("#{alternate_on} #{cursor_flag} #{wrap_flag}"), "0 1 1");
  EXPECT_EQ(p.Format("#{pane_title}"), kTitleBefore);
  EXPECT_TRUE(p.ModesRestored());
}

TEST(ConsoleInTmux, FullSizeTrueColourEndsOnEscape) {
  TmuxProbe p("escape", 80, 50, true);
  ASSERT_NE(p.WaitReady(), 0);
  ExpectShowModes(p);
  EXPECT_EQ(p.CaptureUntil([](const MiniTerminal& t) { return CheckFullSize(t, true, 0, 0); }), "");
  p.SendKeys("Escape");
  EXPECT_EQ(p.WaitStatus(), 0);
  EXPECT_EQ(p.Keys(), "27 27\n");
  ExpectRestored(p);
}

TEST(ConsoleInTmux, FullSizeSixteenColoursEndsOnCtrlC) {
  TmuxProbe p("ctrl-c", 80, 50, false);
  ASSERT_NE(p.WaitReady(), 0);
  EXPECT_EQ(p.CaptureUntil([](const MiniTerminal& t) { return CheckFullSize(t, false, 0, 0); }), "");
  p.SendKeys("C-c");
  EXPECT_EQ(p.WaitStatus(), 0);
  EXPECT_EQ(p.Keys(), "");   // a signal, not a key
  ExpectRestored(p);
}

TEST(ConsoleInTmux, LargerPaneShowsTheScreenCentredAndEndsOnSigterm) {
  TmuxProbe p("sigterm", 100, 60, true);
  const pid_t pid = p.WaitReady();
  ASSERT_NE(pid, 0);
  EXPECT_EQ(p.CaptureUntil([](const MiniTerminal& t) { return CheckFullSize(t, true, 10, 5); }), "");
  kill(pid, SIGTERM);
  EXPECT_EQ(p.WaitStatus(), 0);
  ExpectRestored(p);
}

TEST(ConsoleInTmux, HalfBlocksAtEightyByTwentyFourEndOnCtrlBackslash) {
  TmuxProbe p("ctrl-backslash", 80, 24, true);
  ASSERT_NE(p.WaitReady(), 0);
  ExpectShowModes(p);
  EXPECT_EQ(p.CaptureUntil([](const MiniTerminal& t) { return CheckHalfBlocks(t, true); }), "");
  p.SendKeys("'C-\\'");
  EXPECT_EQ(p.WaitStatus(), 0);
  EXPECT_EQ(p.Keys(), "");
  ExpectRestored(p);
}

TEST(ConsoleInTmux, HalfBlocksInSixteenColoursEndOnSighup) {
  TmuxProbe p("sighup", 80, 24, false);
  const pid_t pid = p.WaitReady();
  ASSERT_NE(pid, 0);
  EXPECT_EQ(p.CaptureUntil([](const MiniTerminal& t) { return CheckHalfBlocks(t, false); }), "");
  kill(pid, SIGHUP);
  EXPECT_EQ(p.WaitStatus(), 0);
  ExpectRestored(p);
}

TEST(ConsoleInTmux, ResizeTakesEffectAtTheNextFrame) {
  TmuxProbe p("resize", 80, 50, true);
  ASSERT_NE(p.WaitReady(), 0);
  EXPECT_EQ(p.CaptureUntil([](const MiniTerminal& t) { return CheckFullSize(t, true, 0, 0); }), "");
  p.Resize(60, 20);
  EXPECT_EQ(p.CaptureUntil([](const MiniTerminal& t) { return CheckHalfBlocks(t, true); }), "");
  p.Resize(84, 52);
  EXPECT_EQ(p.CaptureUntil([](const MiniTerminal& t) { return CheckFullSize(t, true, 2, 1); }), "");
  p.SendKeys("Escape");
  EXPECT_EQ(p.WaitStatus(), 0);
  ExpectRestored(p);
}

TEST(ConsoleInTmux, KeysArriveAsRecordsAndSequencesAreNoKeys) {
  TmuxProbe p("keys", 80, 50, false);
  ASSERT_NE(p.WaitReady(), 0);
  // Up arrow and F1 send escape sequences; Alt+m is ESC m.
  p.SendKeys("m M Up F1 M-m q");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  p.SendKeys("Escape");
  EXPECT_EQ(p.WaitStatus(), 0);
  EXPECT_EQ(p.Keys(), "77 109\n77 77\n81 113\n27 27\n");
  ExpectRestored(p);
}

TEST(ConsoleInTmux, FatalFailureRestoresTheTerminalAndShowsItsMessage) {
  TmuxProbe p("fatal", 80, 50, true, "--fatal");
  EXPECT_EQ(p.WaitStatus(), 255);
  ExpectRestored(p);
  // The message printed during the show is on the main screen afterwards.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  std::string text;
  while (text.find("resource \"probe.png\" not found") == std::string::npos &&
         std::chrono::steady_clock::now() < until) {
    text = Shell(p.Tmux("capture-pane -p -t probe"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_NE(text.find("resource \"probe.png\" not found"), std::string::npos) << text;
}

TEST(ConsoleOutsideATerminal, StandardOutputNotATerminalFailsWithOneLine) {
  const fs::path dir = fs::current_path() / "not-a-terminal";
  fs::create_directories(dir);
  int status = 0;
  const std::string out = Shell("'" CONSOLE_PROBE_PATH "' 2>'" + (dir / "stderr").string() + "' </dev/null", &status);
  EXPECT_NE(status, 0);
  EXPECT_EQ(out, "");   // not one byte of terminal set-up
  EXPECT_EQ(ReadFile(dir / "stderr"), "console_probe: standard output is not a terminal\n");
}

}  // namespace
