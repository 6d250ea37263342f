// demo_console in a real terminal (a tmux pane), ended every way it can end;
// and the terminal layer's recovery from a frame the terminal took only part
// of, and its wait for the terminal's answer before the next frame.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <thread>
#include <unordered_map>

#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/resource_table.h"
#include "frontends/console/console_encoder.h"
#include "frontends/console/console.h"
#include "tests/console/tmux_pane.h"
#include "tests/music/test_tracks.h"

namespace {

constexpr const char* kTitleBefore = "title before the show";

// Empty when the picture fills the area the pane's size gives it (every
// cell in a colour of its own; half blocks only half blocks or blanks) and
// the margins around it are plain.
std::string PictureCheck(const TmuxPane& pane) {
  const bool full = pane.columns >= 80 && pane.rows >= 50;
  const int width = std::min(pane.columns, 80), height = full ? 50 : std::min(pane.rows, 25);
  const std::vector<PaneCell> cells = pane.Capture();
  for (int i = 0; i < pane.columns * pane.rows; ++i) {
    const int x = i % pane.columns - (pane.columns - width) / 2, y = i / pane.columns - (pane.rows - height) / 2;
    const PaneCell& c = cells[i];
    if (x >= 0 && x < width && y >= 0 && y < height
            ? c.bg == kDefaultColour || !(full || c.glyph == " " || c.glyph == "\u2580")
            : c.bg != kDefaultColour || c.glyph != " ") {
      return "'" + c.glyph + "' on " + std::to_string(c.bg) + " at " + std::to_string(i % pane.columns) + "," +
             std::to_string(i / pane.columns);
    }
  }
  return "";
}

// How the show is ended: keys sent to the pane, or a signal sent to the
// program, or neither (the track ends, or it never starts).
struct WayOut {
  const char* name;
  int columns = 80, rows = 50;
  bool trueColour = false, resizes = false;   // resizes: through sizes of either layout first
  double trackSeconds = 300;                  // 0: a file that is no MP3
  const char* keys = nullptr;
  int signal = 0, status = 0;
  const char* message = nullptr;   // on the main screen afterwards
  const char* launch = "";
  const char* args = "";           // of the program; --colour=palette: the palette must be given back
  const char* program = DEMO_CONSOLE_PATH;
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

// A pane runs the program from a script that sets a title, notes the
// terminal modes before and after, and keeps the pane open after the program
// ends, so that what it leaves behind is seen. Ctrl+C and Ctrl+\ reach the
// pane's whole process group: the script ignores them, as an interactive
// shell does while a job runs.
TEST_P(DemoConsoleEnds, WithTheTerminalGivenBack) {
  const WayOut& p = GetParam();
  if (p.trackSeconds > 0) WriteFileBytes("qx3.mp3", MakeSineMp3(TrackShape{p.trackSeconds, 22050, 1, false}));
  else std::ofstream("qx3.mp3") << std::string(5000, 'x');
  TmuxPane pane(std::string("ulimit -c 0\ntrap '' INT QUIT\nprintf '\\033]2;") + kTitleBefore +
                    "\\007'\nstty -g > modes.before\n" + (p.trueColour ? "export COLORTERM=truecolor\n" : "unset COLORTERM\n") +
                    p.launch + " SDL_AUDIODRIVER=dummy sh -c 'echo $$ > pid; exec \"$0\" " + p.args + "' '" + p.program + "'\n" +
                    "code=$?\nstty -g > modes.after\n"
                    // tmux answers a palette query only for a colour set in the pane
                    "stty raw -echo min 0 time 5\nprintf '\\033]4;4;?\\007\\033[c'\ndd bs=1 count=99 > palette 2>/dev/null\n"
                    "echo $code > status.part\nmv status.part status\nexec sleep 600\n",
                p.columns, p.rows);
  const auto modes = [&] { return pane.Format("#{alternate_on} #{cursor_flag} #{wrap_flag} #{pane_title}"); };
  std::string err;
  const auto expectPicture = [&] { EXPECT_TRUE(WaitUntil([&] { return (err = PictureCheck(pane)).empty(); })) << err; };
  if (p.keys != nullptr || p.signal != 0) {
    ASSERT_TRUE(WaitUntil([&] { return modes() == std::string("1 0 0 ") + kConsoleTitle; })) << modes();
    expectPicture();
    for (const auto& [columns, rows] : {std::pair{84, 52}, std::pair{120, 30}, std::pair{60, 20}, std::pair{90, 55}}) {
      if (!p.resizes) break;
      pane.Run("resize-window -t pane -x " + std::to_string(columns) + " -y " + std::to_string(rows));
      std::tie(pane.columns, pane.rows) = std::tie(columns, rows);
      expectPicture();
    }
    if (p.keys != nullptr) pane.Run(std::string("send-keys -t pane ") + p.keys);
    else kill(std::stoi(ReadText("pid")), p.signal);
  }
  ASSERT_TRUE(WaitUntil([] { return std::filesystem::exists("status"); }));
  EXPECT_EQ(std::stoi(ReadText("status")), p.status);
  EXPECT_EQ(modes(), std::string("0 1 1 ") + kTitleBefore);
  EXPECT_NE(ReadText("modes.before"), "");
  EXPECT_EQ(ReadText("modes.before"), ReadText("modes.after"));
  EXPECT_EQ(ReadText("palette").find("]4;"), std::string::npos) << ReadText("palette");
  EXPECT_EQ(ReadText("out"), "");   // redirected: not one byte of terminal set-up
  EXPECT_TRUE(p.message == nullptr ||
              WaitUntil([&] { return (err = pane.Run("capture-pane -p -t pane")).find(p.message) != std::string::npos; }))
      << err;
}

const WayOut kWaysOut[] = {
    {.name = "ResizesThenEscape", .columns = 100, .rows = 60, .resizes = true, .keys = "Escape", .args = "--colour=palette"},
    {.name = "CtrlC", .keys = "C-c", .args = "--colour=palette"},
    {.name = "CtrlBackslash", .rows = 24, .trueColour = true, .keys = "'C-\\'"},
    {.name = "Sigterm", .trueColour = true, .signal = SIGTERM, .args = "--colour=palette"},
    {.name = "SighupAt33x17", .columns = 33, .rows = 17, .signal = SIGHUP},
    {.name = "Sigsegv", .signal = SIGSEGV, .status = Crashed(SIGSEGV), .args = "--colour=palette"},
    {.name = "SigbusAt60x20", .columns = 60, .rows = 20, .signal = SIGBUS, .status = Crashed(SIGBUS)},
    {.name = "Sigfpe", .signal = SIGFPE, .status = Crashed(SIGFPE)},
    {.name = "Sigill", .trueColour = true, .signal = SIGILL, .status = Crashed(SIGILL)},
    {.name = "SigabrtAt80x24", .rows = 24, .trueColour = true, .signal = SIGABRT, .status = Crashed(SIGABRT)},
    {.name = "InputRedirectedThenEscape", .keys = "Escape", .launch = "</dev/null"},
    {.name = "DumbTerminal", .status = 1, .message = "demo_console: TERM is dumb; the show needs", .launch = "TERM=dumb"},
    {.name = "NoTerm", .status = 1, .message = "demo_console: TERM is not set;", .launch = "unset TERM;"},
    {.name = "OutputRedirected", .status = 1, .message = "demo_console: standard output is not a terminal", .launch = ">out"},
    {.name = "EndOfTrack", .trueColour = true, .trackSeconds = 1.5},
    {.name = "FromPastTheShow", .status = 2, .message = "--from takes seconds from 0 to 200, not \"200.5\"", .args = "--from 200.5"},
    {.name = "FromPastTheTrack", .trackSeconds = 1.5, .status = 2, .message = "is not before the end of the track (1.", .args = "--from 2"},
    {.name = "BadMusic", .trueColour = true, .trackSeconds = 0, .status = 255, .message = "holds no MPEG audio stream"},
    // The probe fails as a missing resource would, once it has the terminal
    // (and has set the palette).
    {.name = "FailureDuringTheShow", .trueColour = true, .keys = "x", .status = 255,
     .message = "resource \"probe.png\" not found", .program = CONSOLE_PROBE_PATH}};
INSTANTIATE_TEST_SUITE_P(Console, DemoConsoleEnds, ::testing::ValuesIn(kWaysOut),
                         [](const auto& info) { return std::string(info.param.name); });

// A full-size truecolour pane's text, or the text such a pane shows for the
// screen's cells: glyph, foreground (not for a blank) and background.
std::string PaneText(const std::vector<PaneCell>& cells) {
  std::string text;
  for (const PaneCell& c : cells) text += c.glyph + (c.glyph == " " ? "" : std::to_string(c.fg)) + ":" + std::to_string(c.bg) + ";";
  return text;
}
std::string PaneText(const Cell* screen) {
  std::vector<PaneCell> cells(kScreenCells);
  for (int i = 0; i < kScreenCells; ++i) {
    const DecodedCell d = DecodeCell(screen[i]);
    cells[i] = PaneCell{Glyph(d), Colour(d.attribute, true), Colour(d.attribute >> 4, true)};
  }
  return PaneText(cells);
}

// Started at 100 s, the show's pictures (in the font's marks) follow its
// music from there. The program is stopped once its picture shows, and the
// pane then holds the show's frame for a time from 100 s plus the time from
// the music's start (between the launch and the first picture seen) to the
// stop, less a frame's lag. A stop in the middle of a frame's bytes leaves a
// picture no time gives: the program goes on and is stopped again.
TEST(DemoConsole, StartsWhereFromSays) {
  constexpr int64_t kFromMs = 100000, kLagMs = 500;
  WriteFileBytes("qx3.mp3", MakeSineMp3(TrackShape{110, 22050, 1, false}));
  const auto launched = std::chrono::steady_clock::now();
  const auto sinceLaunchMs = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - launched).count();
  };
  TmuxPane pane("export COLORTERM=truecolor\nSDL_AUDIODRIVER=dummy sh -c 'echo $$ > pid; exec \"$0\" --from 100 "
                "--glyphs=marks' '" + std::string(DEMO_CONSOLE_PATH) + "'\nexec sleep 600\n", 80, 50);
  TextScreen* screen = TextScreen::Get();
  ResourceTable::Instance();
  BuildShow();
  std::unordered_map<int64_t, size_t> frames;   // show time (ms) -> hash of the pane's text
  std::string err, shown;
  int64_t firstPictureMs = -1, foundMs = -1, low = 0, high = 0;
  for (int stop = 0; stop < 5 && foundMs < 0; ++stop) {
    ASSERT_TRUE(WaitUntil([&] { return (err = PictureCheck(pane)).empty(); })) << err;
    const int pid = std::stoi(ReadText("pid"));
    kill(pid, SIGSTOP);
    const int64_t stoppedMs = sinceLaunchMs();
    if (firstPictureMs < 0) firstPictureMs = stoppedMs;
    ASSERT_TRUE(WaitUntil([&] {   // the terminal has taken every byte written
      const std::string now = PaneText(pane.Capture());
      return std::exchange(shown, now) == now;
    }));
    const size_t shownHash = std::hash<std::string>{}(shown);
    low = kFromMs + std::max<int64_t>(0, stoppedMs - firstPictureMs - kLagMs);
    high = kFromMs + stoppedMs;
    for (int64_t t = low; t <= high && foundMs < 0; ++t) {
      if (!frames.contains(t)) {
        RenderFrame(static_cast<uint32_t>(t));
        frames[t] = std::hash<std::string>{}(PaneText(screen->cells));
      }
      if (frames[t] == shownHash) foundMs = t;
    }
    kill(pid, SIGCONT);
  }
  EXPECT_GE(foundMs, 0) << "no frame from " << low << " to " << high << " ms";
  TearDownShow();
  ResourceTable::Release();
  TextScreen::Release();
}

// An installed copy: cmake --install puts the three programs, the track and
// their manual pages under a fresh prefix, and nothing else. Started from
// "/", demo_console finds the track only in the prefix's data directory (a
// missing one ends it with 255 before the picture); the pages render
// without a warning from man.
TEST(Installed, FindsItsTrackFromAnyDirectory) {
  const std::string prefix = std::filesystem::absolute("prefix").string();
  ASSERT_EQ(RunProgram(CMAKE_PATH, "--install '" + std::string(std::getenv("LUMEN_BINARY_DIR")) + "' --prefix " + prefix,
                       "install").exitCode, 0);
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(prefix)) {
    if (!entry.is_directory()) files.insert(std::filesystem::relative(entry.path(), prefix).string());
  }
  const char* const pages[] = {"demo_console", "demo_gl", "demo_render"};
  std::set<std::string> expected = {"share/lumen-gravel/qx3.mp3"};
  for (const char* page : pages) {
    expected.insert(std::string("bin/") + page);
    expected.insert(std::string("share/man/man1/") + page + ".1");
  }
  EXPECT_EQ(files, expected);

  TmuxPane pane("unset COLORTERM\ncd / && SDL_AUDIODRIVER=dummy '" + prefix + "/bin/demo_console'\necho $? > '" +
                    std::filesystem::current_path().string() + "/status'\nexec sleep 600\n",
                80, 50);
  std::string err;
  const auto ended = [] { return ReadText("status").find('\n') != std::string::npos; };
  EXPECT_TRUE(WaitUntil([&] { return (err = PictureCheck(pane)).empty() || ended(); }) && err.empty()) << err;
  pane.Run("send-keys -t pane Escape");
  ASSERT_TRUE(WaitUntil(ended));
  EXPECT_EQ(std::stoi(ReadText("status")), 0) << pane.Run("capture-pane -p -t pane");

  for (const char* page : pages) {
    const RunResult man = RunProgram("man", "--warnings -l " + prefix + "/share/man/man1/" + page + ".1", page);
    EXPECT_EQ(man.exitCode, 0) << page;
    EXPECT_EQ(man.err, "") << page;
    EXPECT_NE(man.out.find("qx3.mp3"), std::string::npos) << page;
    EXPECT_EQ(man.out.find('@'), std::string::npos) << page;   // every configured path filled in
  }
}

// A frame the terminal takes only part of (a pty nobody reads, written
// non-blocking, so the write gives up after a stall) is followed by a whole
// frame, as a fresh encoder makes it, not by the changes since the cut one.
// A terminal that answers status requests gets no frame while the last
// one's request is unanswered; the frame after the answer carries every
// change since the last frame written.
TEST(TerminalLayer, CutAndUnansweredFrames) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  const winsize size{50, 80, 0, 0};
  ioctl(master, TIOCSWINSZ, &size);
  const int slave = open(ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK), savedIn = dup(0), savedOut = dup(1);
  std::fflush(stdout);
  for (const int fd : {0, 1}) dup2(slave, fd);
  setenv("TERM", "xterm", 1);
  setenv("COLORTERM", "truecolor", 1);
  std::vector<Cell> screen(kScreenCells), next(kScreenCells);
  std::mt19937 rng(7);
  for (Cell& c : screen) c = MakeLiteralCell('#', rng() & 0xFF);   // colours change at almost every cell
  // The next frame changes few cells: its changes fit in the smallest
  // byte budget, so the drain rate measured here (it depends on how busy
  // the machine is) cannot cut it.
  next = screen;
  for (size_t i = 0; i < kScreenCells; i += 97) next[i] = MakeLiteralCell('%', rng() & 0xFF);
  // The answers to the set-up queries, there before they are asked: a
  // status and the attributes, no palette colour.
  const auto answer = [&](const char* bytes) { return write(master, bytes, strlen(bytes)) == ssize_t(strlen(bytes)); };
  ASSERT_TRUE(answer("\x1b[0n\x1b[?1;2c"));
  ASSERT_TRUE(OpenConsole("test"));
  ResourceTable::Instance();
  SetUpConsole({});
  EXPECT_TRUE(PresentConsole(screen.data()));
  std::string all;
  std::thread reader([&] {
    char bytes[4096];
    for (ssize_t n; (n = read(master, bytes, sizeof bytes)) > 0;) all.append(bytes, static_cast<size_t>(n));
  });
  EXPECT_TRUE(PresentConsole(screen.data()));
  EXPECT_FALSE(PresentConsole(next.data()));
  ASSERT_TRUE(answer("\x1b[0n"));
  EXPECT_TRUE(WaitUntil([&] { return PresentConsole(next.data()); }));
  RestoreConsole();
  dup2(savedIn, 0);
  dup2(savedOut, 1);
  for (const int fd : {slave, savedIn, savedOut}) close(fd);
  reader.join();   // ends once nothing holds the pty's other side
  ConsoleEncoder fresh;
  const float coverage[kShadeCount] = {};   // not used at full size
  fresh.Configure(80, 50, true, coverage);
  std::string frames;
  fresh.EncodeFrame(screen.data(), frames);
  frames += "\x1b[5n";
  fresh.EncodeFrame(next.data(), frames);
  frames += "\x1b[5n\x1b[?2026l";   // then the leave sequence
  const size_t whole = all.find(frames);   // not the first frame: that one was cut
  EXPECT_TRUE(whole != std::string::npos && whole > all.find(kSyncBegin)) << all.size() << " bytes";
}

}  // namespace
