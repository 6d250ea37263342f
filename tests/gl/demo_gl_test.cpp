// demo_gl as a program on the test's own X server, driven by xdotool, with
// a short generated track and the silent audio output.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "frontends/gl/gl_window.h"
#include "tests/gl/test_display.h"
#include "tests/music/test_tracks.h"

namespace {

namespace fs = std::filesystem;

constexpr int kStartMs = 60000;   // window up, show built (longer under the sanitizers)
constexpr int kEndMs = 30000;     // from a quit to the end of the process

class DemoGl : public ::testing::Test {
 protected:
  fs::path dir;
  ChildProcess show;

  void TearDown() override { KillChild(show); }

  // Runs demo_gl in a fresh directory holding a sine track of the given length.
  void Start(double trackSeconds, const std::vector<std::string>& environment = {}) {
    dir = fs::current_path() / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(dir);
    fs::create_directories(dir);
    WriteFileBytes((dir / "qx3.mp3").string(), MakeSineMp3(TrackShape{trackSeconds, 22050, 1, false}));
    std::vector<std::string> env = {"SDL_AUDIODRIVER=dummy", "LUMEN_GL_TRACE=1"};
    env.insert(env.end(), environment.begin(), environment.end());
    show = Spawn({DEMO_GL_PATH}, dir.string(), env, (dir / "out.txt").string(), (dir / "err.txt").string());
    ASSERT_GT(show.pid, 0);
  }

  // The show's windows as the server sees them, for failure messages.
  static std::string Windows() {
    std::string text = "windows:";
    for (const WindowInfo& w : FindWindows(kWindowTitle)) {
      text += " " + std::to_string(w.width) + "x" + std::to_string(w.height) + "+" + std::to_string(w.x) + "+" +
              std::to_string(w.y);
    }
    return text + "\n";
  }

  std::string Errors() { return ReadFileText((dir / "err.txt").string()); }
  std::string Output() { return ReadFileText((dir / "out.txt").string()); }

  // The framed window is up. Key events sent from now on reach it; those
  // sent before its frame loop runs wait in the queue for the first frame.
  void WaitForShow(WindowInfo* window) {
    ASSERT_TRUE(WaitForWindow(kWindowTitle, 640, 400, kStartMs, window)) << Windows() << Errors();
  }

  bool WaitForError(const std::string& text) {
    for (int waited = 0; waited < 10000; waited += 20) {
      if (Errors().find(text) != std::string::npos) return true;
      SleepMs(20);
    }
    return false;
  }

  // Escape counts when pressed in a frame of its own: held until the show
  // has ended, its press is seen whether or not the frame loop has started.
  void QuitWithEscape() {
    ASSERT_TRUE(XdoKey("keydown", "Escape"));
    const bool ended = WaitForExit(show, kStartMs);
    ASSERT_TRUE(XdoKey("keyup", "Escape"));
    ASSERT_TRUE(ended) << "still running";
    ExpectCleanExit();
  }

  // A key held for a few frames.
  static void PressKey(const char* key) {
    ASSERT_TRUE(XdoKey("keydown", key));
    SleepMs(100);
    ASSERT_TRUE(XdoKey("keyup", key));
  }

  void ExpectCleanExit() {
    ASSERT_TRUE(WaitForExit(show, kEndMs)) << "still running";
    EXPECT_EQ(ExitCode(show), 0) << Output() << Errors();
    EXPECT_EQ(Errors().find("ERROR"), std::string::npos) << Errors();
    EXPECT_EQ(Errors().find("runtime error"), std::string::npos) << Errors();
  }
};

TEST_F(DemoGl, EscapeEndsTheShowWithExitCode0) {
  Start(60.0);
  WindowInfo window;
  ASSERT_NO_FATAL_FAILURE(WaitForShow(&window));
  QuitWithEscape();
}

TEST_F(DemoGl, ClosingTheWindowEndsTheShow) {
  Start(60.0);
  WindowInfo window;
  ASSERT_NO_FATAL_FAILURE(WaitForShow(&window));
  ASSERT_TRUE(SendCloseRequest(window.id));
  ExpectCleanExit();
}

TEST_F(DemoGl, TheShowEndsWithItsTrack) {
  Start(1.5);
  ExpectCleanExit();
}

TEST_F(DemoGl, F1TwiceBringsBackTheFramedWindow) {
  Start(60.0);
  WindowInfo window;
  ASSERT_NO_FATAL_FAILURE(WaitForShow(&window));

  PressKey("F1");
  WindowInfo full;
  ASSERT_TRUE(WaitForWindow(kWindowTitle, kDisplayWidth, kDisplayHeight, kStartMs, &full)) << Windows() << Errors();
  EXPECT_EQ(full.x, 0);
  EXPECT_EQ(full.y, 0);
  EXPECT_NE(full.id, window.id);
  // 640 x 400 scaled by 2.7 between black bars of 96 pixels.
  EXPECT_EQ(ScreenPixel(95, 10), 0u);
  EXPECT_EQ(ScreenPixel(1824, 1070), 0u);

  PressKey("F1");
  WindowInfo framed;
  ASSERT_TRUE(WaitForWindow(kWindowTitle, 640, 400, kStartMs, &framed)) << Windows() << Errors();
  EXPECT_EQ(framed.x, 0);
  EXPECT_EQ(framed.y, 0);
  EXPECT_NE(framed.id, full.id);

  QuitWithEscape();
}

TEST_F(DemoGl, MTogglesMuteOnRelease) {
  Start(60.0);
  WindowInfo window;
  ASSERT_NO_FATAL_FAILURE(WaitForShow(&window));

  ASSERT_TRUE(XdoKey("keydown", "m"));
  SleepMs(300);   // about 19 frames with the key held
  EXPECT_EQ(Errors().find("demo_gl: mute"), std::string::npos) << Errors();
  ASSERT_TRUE(XdoKey("keyup", "m"));
  EXPECT_TRUE(WaitForError("demo_gl: mute on\n")) << Errors();

  PressKey("m");
  EXPECT_TRUE(WaitForError("demo_gl: mute on\ndemo_gl: mute off\n")) << Errors();

  QuitWithEscape();
}

TEST_F(DemoGl, AWindowThatCannotOpenShowsAnErrorBoxAndFails) {
  Start(60.0, {"SDL_VIDEODRIVER=no-such-driver"});
  // The box waits for the viewer; the log already names the failure.
  std::vector<WindowInfo> boxes;
  for (int waited = 0; waited < kStartMs && boxes.empty(); waited += 50) {
    boxes = FindWindows("ERROR");
    SleepMs(50);
  }
  ASSERT_EQ(boxes.size(), 1u) << Errors();
  EXPECT_FALSE(WaitForExit(show, 0));
  EXPECT_NE(Errors().find("ERROR: Unable to create window"), std::string::npos) << Errors();
  EXPECT_TRUE(FindWindows(kWindowTitle).empty());
  ASSERT_TRUE(SendCloseRequest(boxes[0].id));
  ASSERT_TRUE(WaitForExit(show, kEndMs));
  EXPECT_NE(ExitCode(show), 0);
  EXPECT_EQ(Errors().find("runtime error"), std::string::npos) << Errors();
}

TEST_F(DemoGl, WithoutADisplayItSaysSoAndFails) {
  Start(1.5, {"DISPLAY", "WAYLAND_DISPLAY"});
  ASSERT_TRUE(WaitForExit(show, kEndMs));
  EXPECT_NE(ExitCode(show), 0);
  const std::string errors = Errors();
  EXPECT_NE(errors.find("no display"), std::string::npos) << errors;
  EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
}

}  // namespace
