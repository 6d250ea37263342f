// The Windows programs, cross-built, run under Wine from this machine: their
// frames against the native build's, demo_console.exe in a real terminal (a
// tmux pane, where Wine gives it a console), and demo_gl.exe's window on a
// private X server with Mesa's OpenGL.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "engine/core/decode.h"
#include "frontends/console/console.h"
#include "frontends/console/ansi.h"
#include "frontends/gl/gl_window.h"
#include "tests/console/tmux_pane.h"
#include "tests/music/test_tracks.h"
#include "tests/support/x_display.h"

namespace {

std::string NativeProgram(const char* name) { return std::string(std::getenv("LUMEN_BINARY_DIR")) + "/bin/" + name; }
std::string WindowsProgram(const char* name) {
  const char* dir = std::getenv("LUMEN_WINDOWS_BIN_DIR");
  return std::string(dir != nullptr ? dir : "") + "/" + name + ".exe";
}
RunResult RunUnderWine(const char* name, const std::string& args) {
  return RunProgram("wine", "'" + WindowsProgram(name) + "' " + args, std::string(name) + ".wine");
}

// Every frame the players can show, one per 16 ms grid step through the
// show and past its end, as cell digests: no maths function of either C
// runtime may make one differ.
TEST(WindowsFrames, EveryFrameOfTheShowEqualsTheNativeBuilds) {
  const std::string args = "--digest --from 0 --to 201000 --step 16";
  const RunResult native = RunProgram(NativeProgram("demo_render"), args, "native");
  const RunResult windows = RunUnderWine("demo_render", args);
  ASSERT_EQ(native.exitCode, 0) << native.err;
  ASSERT_EQ(windows.exitCode, 0) << windows.err;
  ASSERT_EQ(std::count(native.out.begin(), native.out.end(), '\n'), 201000 / 16 + 1);
  if (native.out == windows.out) return;
  size_t at = 0;
  while (native.out[at] == windows.out[at]) ++at;
  at = native.out.rfind('\n', at) + 1;
  FAIL() << "first frame that differs, native / Windows:\n"
         << native.out.substr(at, native.out.find('\n', at) - at) << "\n"
         << windows.out.substr(at, windows.out.find('\n', at) - at);
}

// The PNGs, pixel for pixel, inside each effect and at each cross-fade.
TEST(WindowsFrames, PngsEqualTheNativeBuilds) {
  for (const int ms : {500, 2000, 8000, 14500, 30000, 44500, 60000, 71500, 90000, 100500, 120000, 130500, 145000,
                       158500, 175000, 187500, 195000, 200500}) {
    SCOPED_TRACE(ms);
    const std::string time = std::to_string(ms);
    ASSERT_EQ(RunProgram(NativeProgram("demo_render"), "--time " + time + " --out native.png", "native").exitCode, 0);
    ASSERT_EQ(RunUnderWine("demo_render", "--time " + time + " --out windows.png").exitCode, 0);
    int w[2], h[2], n[2];
    stbi_uc* pixels[2] = {stbi_load("native.png", &w[0], &h[0], &n[0], 3), stbi_load("windows.png", &w[1], &h[1], &n[1], 3)};
    ASSERT_TRUE(pixels[0] != nullptr && pixels[1] != nullptr);
    ASSERT_TRUE(w[0] == 640 && h[0] == 400 && w[1] == 640 && h[1] == 400);
    EXPECT_TRUE(std::equal(pixels[0], pixels[0] + 640 * 400 * 3, pixels[1]));
    stbi_image_free(pixels[0]);
    stbi_image_free(pixels[1]);
  }
}

// Each program imports only DLLs that every Windows has, and no maths
// function: a frame computed by a DLL's maths could differ between Windows
// versions and Wine.
TEST(WindowsPrograms, ImportOnlySystemDllsAndNoMaths) {
  const std::set<std::string> systemDlls = {"KERNEL32.dll", "msvcrt.dll", "USER32.dll", "GDI32.dll", "OPENGL32.dll",
                                            "WINMM.dll", "SHLWAPI.dll"};
  const std::set<std::string> maths = {"sin", "cos", "tan", "asin", "acos", "atan", "atan2", "hypot", "_hypot",
                                       "sqrt", "pow", "exp", "log", "log10", "fmod", "floor", "ceil", "sinh",
                                       "cosh", "tanh", "ldexp", "frexp", "modf"};
  for (const char* name : {"demo_console", "demo_render", "demo_gl"}) {
    const RunResult r = RunProgram("x86_64-w64-mingw32-objdump", "-p '" + WindowsProgram(name) + "'", name);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::istringstream lines(r.out);
    int dlls = 0;
    bool inImports = false;
    for (std::string line; std::getline(lines, line);) {
      if (const size_t at = line.find("DLL Name: "); at != std::string::npos) {
        EXPECT_EQ(systemDlls.count(line.substr(at + 10)), 1u) << name << " imports " << line.substr(at + 10);
        ++dlls;
        inImports = true;
      } else if (line.find_first_not_of(" \t") == std::string::npos) {
        inImports = false;
      } else if (inImports) {
        EXPECT_EQ(maths.count(line.substr(line.find_last_of(" \t") + 1)), 0u) << name << " imports " << line;
      }
    }
    EXPECT_GE(dlls, 2) << r.out;
  }
}

// The release archive, unpacked into an empty directory, holds the programs,
// the track, the licence and the README, and its demo_render.exe renders
// from there.
constexpr const char* kPackageFolder = "lumen-gravel-windows-x64";
void Unpack() {
  ASSERT_EQ(RunProgram("cmake", "-E tar xf '" + std::string(std::getenv("LUMEN_WINDOWS_ZIP")) + "'", "unzip").exitCode, 0);
}

TEST(WindowsPackage, HoldsTheProgramsAndRendersFromAnEmptyDirectory) {
  Unpack();
  std::set<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(kPackageFolder)) files.insert(entry.path().filename().string());
  EXPECT_EQ(files, (std::set<std::string>{"LICENSE.txt", "README.txt", "demo_console.exe", "demo_gl.exe", "demo_render.exe",
                                          "qx3.mp3"}));
  const RunResult run = RunProgram("sh", std::string("-c 'cd ") + kPackageFolder + " && wine ./demo_render.exe --time 120000 --out ../cube.png'", "render");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  ASSERT_EQ(RunProgram(NativeProgram("demo_render"), "--time 120000 --out native.png", "native").exitCode, 0);
  EXPECT_EQ(ReadText("cube.png"), ReadText("native.png"));
}

// How a run of demo_console.exe is ended: keys sent to its pane, or the
// track's end; from the build, or from the unpacked release archive with
// its own track.
struct WayOut {
  const char* name;
  const char* keys = nullptr;
  double trackSeconds = 300;
  int status = 0;
  const char* message = nullptr;   // in the pane afterwards
  const char* launch = "";
  bool fromPackage = false;
};
void PrintTo(const WayOut& w, std::ostream* os) { *os << w.name; }

class WindowsConsoleEnds : public ::testing::TestWithParam<WayOut> {};

// The pane shows the show in code page 437 shading glyphs on the show's
// colours, every cell of 80 x 50; the program ends with the status asked
// for, and the console it leaves shows its cursor and no longer the show's
// title. (Wine's console cannot read the terminal's title, so it gives back
// an empty one.) Ctrl+C reaches the pane's whole process group: the script
// ignores it, as an interactive shell does while a job runs.
TEST_P(WindowsConsoleEnds, WithTheConsoleGivenBack) {
  const WayOut& p = GetParam();
  if (p.fromPackage) Unpack();
  else WriteFileBytes("qx3.mp3", MakeSineMp3(TrackShape{p.trackSeconds, 22050, 1, false}));
  const std::string program = p.fromPackage ? "(cd " + std::string(kPackageFolder) + " && wine ./demo_console.exe)"
                                            : "wine '" + WindowsProgram("demo_console") + "'";
  TmuxPane pane("trap '' INT QUIT\nprintf '\\033]2;title before\\007'\n" + std::string(p.launch) + " " + program +
                    "\necho $? > status.part\nmv status.part status\nexec sleep 600\n",
                80, 50);
  std::set<std::string> shading;
  for (const uint8_t glyph : ShadeGlyphs) shading.insert(Cp437ToUtf8(glyph));
  std::string seen;
  const auto showing = [&] {
    const std::vector<PaneCell> cells = pane.Capture();
    int shaded = 0, marks = 0;
    for (const PaneCell& c : cells) {
      shaded += shading.count(c.glyph) != 0 && c.bg != kDefaultColour;
      marks += c.glyph != " ";
    }
    seen = std::to_string(shaded) + " shaded cells, " + std::to_string(marks) + " marks";
    return shaded == 4000 && marks > 0;   // the skull's noise is on from 1 s
  };
  if (p.keys != nullptr) {
    ASSERT_TRUE(WaitUntil(showing)) << seen;
    EXPECT_EQ(pane.Format("#{pane_title}"), kConsoleTitle);
    pane.Run(std::string("send-keys -t pane ") + p.keys);
  }
  ASSERT_TRUE(WaitUntil([] { return std::filesystem::exists("status"); }));
  EXPECT_EQ(std::stoi(ReadText("status")), p.status);
  EXPECT_EQ(pane.Format("#{cursor_flag}"), "1");
  EXPECT_NE(pane.Format("#{pane_title}"), kConsoleTitle);
  std::string text;
  EXPECT_TRUE(p.message == nullptr ||
              WaitUntil([&] { return (text = pane.Run("capture-pane -p -t pane")).find(p.message) != std::string::npos; }))
      << text;
}

const WayOut kWaysOut[] = {
    {.name = "Escape", .keys = "Escape"},
    {.name = "CtrlC", .keys = "C-c"},
    {.name = "EndOfTrack", .trackSeconds = 1.5},
    {.name = "OutputRedirected", .status = 1, .message = "standard output is not a console", .launch = "2>&1 >out"},
    {.name = "FromTheReleaseArchive", .keys = "Escape", .fromPackage = true},
};
INSTANTIATE_TEST_SUITE_P(Wine, WindowsConsoleEnds, ::testing::ValuesIn(kWaysOut),
                         [](const auto& info) { return std::string(info.param.name); });

// How a run of demo_gl.exe goes: steps in turn, words separated by spaces.
// "show": the framed 640 x 400 window appears with the show's title, and,
// with the show held, its pixels become demo_render's frame of that time;
// "full": a window covering the screen replaces it; "close": the window is
// asked to close; "box": the error box appears and is closed; anything else
// is a key (xdotool's name) pressed and released.
struct WindowRun {
  const char* name;
  const char* steps;
  int holdMs = 60000;   // LUMEN_TEST_HOLD_MS, or -1 to play the track
  double trackSeconds = 300;
  int status = 0;
  const char* serverOptions = "";   // Xvfb's
  const char* log = "audio: no audio device";   // in its standard error
  bool fromPackage = false;   // run from the unpacked release archive, with its own track
};
void PrintTo(const WindowRun& r, std::ostream* os) { *os << r.name; }

// Wine's desktop process draws on the X display of the program that started
// it, and without one every later window of that prefix has none: these
// cases run in a Wine prefix of their own (LUMEN_WINE_X_PREFIX, made by the
// first), one at a time (a ctest lock), and end every Wine process of it
// before their X server stops.
class WindowsGlRuns : public ::testing::TestWithParam<WindowRun> {
 protected:
  VirtualDisplay display;
  std::unique_ptr<Program> show;

  void SetUp() override {
    ASSERT_TRUE(display.Start(GetParam().serverOptions)) << "Xvfb did not start";
    const char* prefix = std::getenv("LUMEN_WINE_X_PREFIX");
    ASSERT_TRUE(prefix != nullptr);
    setenv("WINEPREFIX", prefix, 1);
    RunProgram("wineserver", "-k", "wineserver");   // left by a case that failed
    if (!std::filesystem::exists(std::string(prefix) + "/system.reg")) {
      ASSERT_EQ(RunProgram("wineboot", "-i", "wineboot").exitCode, 0);
    }
  }
  void TearDown() override {
    show.reset();
    RunProgram("wineserver", "-k", "wineserver");
    RunProgram("wineserver", "-w", "wineserver");
    display.Stop();
  }
};

// Where a window's pixels first differ from a frame's, or "" when equal.
std::string FirstDifference(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
  const size_t at = (std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin()) / 3;
  return at == want.size() / 3 ? "" : "first difference at pixel " + std::to_string(at % 640) + "," + std::to_string(at / 640);
}

TEST_P(WindowsGlRuns, EndAsAsked) {
  const WindowRun& p = GetParam();
  if (p.fromPackage) Unpack();
  else WriteFileBytes("qx3.mp3", MakeSineMp3(TrackShape{p.trackSeconds, 22050, 1, false}));
  std::vector<uint8_t> frame;
  if (p.holdMs >= 0) {
    const std::string time = std::to_string(p.holdMs);
    ASSERT_EQ(RunProgram(NativeProgram("demo_render"), "--time " + time + " --out frame.png", "render").exitCode, 0);
    int w = 0, h = 0, n = 0;
    stbi_uc* pixels = stbi_load("frame.png", &w, &h, &n, 3);
    ASSERT_TRUE(pixels != nullptr && w == 640 && h == 400);
    frame.assign(pixels, pixels + 640 * 400 * 3);
    stbi_image_free(pixels);
  }
  const auto started = std::chrono::steady_clock::now();
  const std::string program = p.fromPackage ? "wine ./demo_gl.exe" : "wine '" + WindowsProgram("demo_gl") + "'";
  show = std::make_unique<Program>("env " + (p.fromPackage ? std::string("-C ") + kPackageFolder + " " : "") +
                                   (p.holdMs >= 0 ? "LUMEN_TEST_HOLD_MS=" + std::to_string(p.holdMs) : "") + " " + program +
                                   " >out 2>err");
  WindowInfo window;
  std::istringstream steps(p.steps);
  for (std::string step; steps >> step;) {
    SCOPED_TRACE(step);
    if (step == "show") {
      ASSERT_TRUE(WaitForWindow(kWindowTitle, 640, 400, &window)) << window.width << "x" << window.height << ReadText("err");
      std::string difference;
      EXPECT_TRUE(frame.empty() || WaitUntil([&] {
        return (difference = FirstDifference(ScreenPixels(window.x, window.y, 640, 400), frame)).empty();
      })) << difference;
    } else if (step == "full") {
      ASSERT_TRUE(WaitForWindow(kWindowTitle, kDisplayWidth, kDisplayHeight, &window)) << ReadText("err");
      EXPECT_EQ(window.x + window.y, 0);
    } else if (step == "close") {
      SendCloseRequest(window.id);
    } else if (step == "box") {
      std::vector<WindowInfo> boxes;
      ASSERT_TRUE(WaitUntil([&] { return (boxes = FindWindows("ERROR")).size() == 1; })) << ReadText("err");
      EXPECT_FALSE(show->Ended());   // the box waits for the viewer
      SendCloseRequest(boxes[0].id);
    } else {
      XdoKey(step);
    }
  }
  ASSERT_TRUE(WaitUntil([&] { return show->Ended(); })) << "still running";
  EXPECT_EQ(show->ExitCode(), p.status) << ReadText("out") << ReadText("err");
  EXPECT_NE(ReadText("err").find(p.log), std::string::npos) << ReadText("err");
  const std::chrono::duration<double> ran = std::chrono::steady_clock::now() - started;
  EXPECT_TRUE(p.holdMs >= 0 || ran.count() >= p.trackSeconds) << "ended after " << ran.count() << " s";
}

// Escape acts on its press, F1 on its release; xdotool presses and releases
// at once, so both arrive within one frame. A machine whose OpenGL offers no
// pixel format (an X server without GLX) gets the error box, and the cause in
// the log.
const WindowRun kWindowRuns[] = {
    {.name = "Escape", .steps = "show Escape"},
    {.name = "CloseRequest", .steps = "show close"},
    {.name = "EndOfTrack", .steps = "", .holdMs = -1, .trackSeconds = 2},
    {.name = "F1TwiceThenEscape", .steps = "show F1 full F1 show Escape", .holdMs = 145000},
    {.name = "FromTheReleaseArchive", .steps = "show Escape", .fromPackage = true},
    {.name = "NoPixelFormat", .steps = "box", .status = 255, .serverOptions = "-extension GLX",
     .log = "ERROR: Unable to create window. (ChoosePixelFormat failed)"},
};
INSTANTIATE_TEST_SUITE_P(Wine, WindowsGlRuns, ::testing::ValuesIn(kWindowRuns),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
