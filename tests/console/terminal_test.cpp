// demo_console in a real terminal. A tmux pane runs it from a script that
// sets a title, notes the terminal modes before and after, and keeps the
// pane open after the program ends, so that what it leaves behind is seen.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <thread>

#include "engine/resources/resource_table.h"
#include "frontends/console/console_encoder.h"
#include "frontends/console/terminal_console.h"
#include "tests/console/tmux_pane.h"
#include "tests/music/test_tracks.h"
#include "tests/support/run_tool.h"

namespace {

constexpr const char* kTitleBefore = "title before the show";

// Ctrl+C and Ctrl+\ reach the pane's whole process group: the script ignores
// them, as an interactive shell does while a job runs. launch is shell text
// put before the program's command (assignments, redirections, commands).
struct Show {
  TmuxPane pane;
  Show(const std::string& program, int columns, int rows, bool trueColour, const std::string& launch)
      : pane(std::string("ulimit -c 0\ntrap '' INT QUIT\nprintf '\\033]2;") + kTitleBefore +
                 "\\007'\nstty -g > modes.before\n" + (trueColour ? "export COLORTERM=truecolor\n" : "unset COLORTERM\n") +
                 launch + " SDL_AUDIODRIVER=dummy sh -c 'echo $$ > pid; exec \"$0\"' '" + program + "'\n" +
                 "code=$?\nstty -g > modes.after\necho $code > status.part\nmv status.part status\nexec sleep 600\n",
             columns, rows) {}

  std::string Modes() const { return pane.Format("#{alternate_on} #{cursor_flag} #{wrap_flag} #{pane_title}"); }
  bool Started() const { return Modes() == std::string("1 0 0 ") + kConsoleTitle; }
  int Status() const {
    return WaitUntil([] { return std::filesystem::exists("status"); }) ? std::stoi(ReadText("status")) : -1;
  }
  void ExpectRestored() const {
    EXPECT_EQ(Modes(), std::string("0 1 1 ") + kTitleBefore);
    EXPECT_NE(ReadText("modes.before"), "");
    EXPECT_EQ(ReadText("modes.before"), ReadText("modes.after"));
  }

  // Empty when the picture fills the area the pane's size gives it (every
  // cell in a colour of its own; half blocks only half blocks or blanks) and
  // the margins around it are plain.
  std::string PictureCheck() const {
    const bool full = pane.columns >= 80 && pane.rows >= 50;
    const int width = std::min(pane.columns, 80), height = full ? 50 : std::min(pane.rows, 25);
    const int left = (pane.columns - width) / 2, top = (pane.rows - height) / 2;
    const std::vector<PaneCell> cells = pane.Capture();
    for (int i = 0; i < pane.columns * pane.rows; ++i) {
      const int x = i % pane.columns, y = i / pane.columns;
      const PaneCell& c = cells[i];
      const bool inside = x >= left && x < left + width && y >= top && y < top + height;
      if (inside ? c.bg == kDefaultColour || !(full || c.glyph == " " || c.glyph == "\u2580")
                 : c.bg != kDefaultColour || c.glyph != " ") {
        return "'" + c.glyph + "' on " + std::to_string(c.bg) + " at " + std::to_string(x) + "," + std::to_string(y);
      }
    }
    return "";
  }
  void ExpectPicture() const {
    std::string err;
    EXPECT_TRUE(WaitUntil([&] { return (err = PictureCheck()).empty(); })) << err;
  }
};

// How the show is ended: keys sent to the pane, or a signal sent to the
// program, or neither (the track ends, or it never starts).
struct WayOut {
  const char *name, *program;
  int columns, rows;
  bool trueColour, resizes;   // through sizes of either layout first
  double trackSeconds;        // 0: a file that is no MP3
  const char* keys;
  int signal, status;
  const char* message = nullptr;   // on the main screen afterwards
  const char* launch = "";
};

// The status a crash signal leaves: the shell's 128 + signal, or 1 where
// AddressSanitizer's report (after the terminal is given back) ends the program.
constexpr int Crashed(int signal) {
#ifdef __SANITIZE_ADDRESS__
  if (signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE) return 1;
#endif
  return 128 + signal;
}

void PrintTo(const WayOut& w, std::ostream* os) { *os << w.name; }

class DemoConsoleEnds : public ::testing::TestWithParam<WayOut> {};

TEST_P(DemoConsoleEnds, WithTheTerminalGivenBack) {
  const WayOut& p = GetParam();
  if (p.trackSeconds > 0) WriteFileBytes("qx3.mp3", MakeSineMp3(TrackShape{p.trackSeconds, 22050, 1, false}));
  else std::ofstream("qx3.mp3") << std::string(5000, 'x');
  Show show(p.program, p.columns, p.rows, p.trueColour, p.launch);
  if (p.keys != nullptr || p.signal != 0) {
    ASSERT_TRUE(WaitUntil([&] { return show.Started(); })) << show.Modes();
    show.ExpectPicture();
    for (const auto& [columns, rows] : {std::pair{84, 52}, std::pair{120, 30}, std::pair{60, 20}, std::pair{90, 55}}) {
      if (!p.resizes) break;
      show.pane.Run("resize-window -t pane -x " + std::to_string(columns) + " -y " + std::to_string(rows));
      show.pane.columns = columns;
      show.pane.rows = rows;
      show.ExpectPicture();
    }
    if (p.keys != nullptr) show.pane.Run(std::string("send-keys -t pane ") + p.keys);
    else kill(std::stoi(ReadText("pid")), p.signal);
  }
  EXPECT_EQ(show.Status(), p.status);
  show.ExpectRestored();
  if (p.message != nullptr) {
    EXPECT_TRUE(WaitUntil([&] { return show.pane.Run("capture-pane -p -t pane").find(p.message) != std::string::npos; }))
        << show.pane.Run("capture-pane -p -t pane");
  }
}

const char* const kDemo = DEMO_CONSOLE_PATH;
INSTANTIATE_TEST_SUITE_P(Console, DemoConsoleEnds,
                         ::testing::Values(WayOut{"ResizesThenEscape", kDemo, 100, 60, false, true, 300, "Escape", 0, 0},
                                           WayOut{"CtrlC", kDemo, 80, 50, false, false, 300, "C-c", 0, 0},
                                           WayOut{"CtrlBackslash", kDemo, 80, 24, true, false, 300, "'C-\\'", 0, 0},
                                           WayOut{"Sigterm", kDemo, 80, 50, true, false, 300, nullptr, SIGTERM, 0},
                                           WayOut{"SighupAt33x17", kDemo, 33, 17, false, false, 300, nullptr, SIGHUP, 0},
                                           WayOut{"Sigsegv", kDemo, 80, 50, true, false, 300, nullptr, SIGSEGV, Crashed(SIGSEGV)},
                                           WayOut{"SigbusAt60x20", kDemo, 60, 20, false, false, 300, nullptr, SIGBUS, Crashed(SIGBUS)},
                                           WayOut{"Sigfpe", kDemo, 80, 50, false, false, 300, nullptr, SIGFPE, Crashed(SIGFPE)},
                                           WayOut{"Sigill", kDemo, 80, 50, true, false, 300, nullptr, SIGILL, Crashed(SIGILL)},
                                           WayOut{"SigabrtAt80x24", kDemo, 80, 24, true, false, 300, nullptr, SIGABRT, Crashed(SIGABRT)},
                                           WayOut{"InputRedirectedThenEscape", kDemo, 80, 50, false, false, 300, "Escape", 0, 0,
                                                  nullptr, "</dev/null"},
                                           WayOut{"DumbTerminal", kDemo, 80, 50, false, false, 0, nullptr, 0, 1,
                                                  "demo_console: TERM is dumb; the show needs", "TERM=dumb"},
                                           WayOut{"NoTerm", kDemo, 80, 50, false, false, 0, nullptr, 0, 1,
                                                  "demo_console: TERM is not set;", "unset TERM;"},
                                           WayOut{"EndOfTrack", kDemo, 80, 50, true, false, 1.5, nullptr, 0, 0},
                                           WayOut{"BadMusic", kDemo, 80, 50, true, false, 0, nullptr, 0, 255,
                                                  "holds no MPEG audio stream"},
                                           // The probe fails as a missing resource would, once it has the terminal.
                                           WayOut{"FailureDuringTheShow", CONSOLE_PROBE_PATH, 80, 50, true, false, 0,
                                                  "x", 0, 255, "resource \"probe.png\" not found"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A frame the terminal takes only part of (a pty nobody reads, written
// non-blocking, so the write gives up after a stall) is followed by a whole
// frame, as a fresh encoder makes it, not by the changes since the cut one.
TEST(TerminalLayer, ACutFrameIsFollowedByAFullRedraw) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  const winsize size{50, 80, 0, 0};
  ioctl(master, TIOCSWINSZ, &size);
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK), savedIn = dup(0), savedOut = dup(1);
  std::fflush(stdout);
  for (const int fd : {0, 1}) dup2(slave, fd);
  setenv("TERM", "xterm", 1);
  setenv("COLORTERM", "truecolor", 1);
  std::vector<Cell> screen(kScreenCells);
  std::mt19937 rng(7);
  for (Cell& c : screen) c = MakeLiteralCell('#', rng() & 0xFF);   // colours change at almost every cell
  ASSERT_TRUE(OpenConsole("test"));
  ResourceTable::Instance();
  SetUpConsole();
  PresentConsole(screen.data());
  std::string all;
  std::thread reader([&] {
    char bytes[4096];
    for (ssize_t n; (n = read(master, bytes, sizeof bytes)) > 0;) all.append(bytes, static_cast<size_t>(n));
  });
  PresentConsole(screen.data());
  RestoreConsole();
  dup2(savedIn, 0);
  dup2(savedOut, 1);
  for (const int fd : {slave, savedIn, savedOut}) close(fd);
  reader.join();   // ends once nothing holds the pty's other side
  ConsoleEncoder fresh;
  const float coverage[kShadeCount] = {};   // not used at full size
  fresh.Configure(80, 50, true, coverage);
  std::string frame;
  fresh.EncodeFrame(screen.data(), frame);
  const size_t whole = all.find(frame);   // not the first frame: that one was cut
  EXPECT_TRUE(whole != std::string::npos && whole > all.find(kSyncBegin)) << all.size() << " bytes";
}

TEST(DemoConsole, StandardOutputNotATerminalFailsWithOneLine) {
  const RunResult r = RunProgram(DEMO_CONSOLE_PATH, "</dev/null", "demo_console");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");   // not one byte of terminal set-up
  EXPECT_EQ(r.err, "demo_console: standard output is not a terminal\n");
}

}  // namespace
