// demo_gl as a program on the test's own X server, driven by xdotool, with a
// short generated track and the silent audio output. Every way out must have
// shut the music down (the preloaded probe tells).
#include <tuple>

#include "tests/gl/test_display.h"
#include "tests/music/test_tracks.h"

namespace {

class DemoGl : public ::testing::Test {
 protected:
  std::unique_ptr<Program> show;
  WindowInfo window;

  // environment: options of env(1).
  void Start(double trackSeconds, const std::string& environment = "") {
    WriteFileBytes("qx3.mp3", MakeSineMp3(TrackShape{trackSeconds, 22050, 1, false}));
    show = std::make_unique<Program>("env " + environment + " SDL_AUDIODRIVER=dummy LD_PRELOAD='" DEMO_GL_PROBE_PATH
                                     "' ASAN_OPTIONS=$ASAN_OPTIONS:verify_asan_link_order=0 '" DEMO_GL_PATH "' >out 2>err");
  }
  // The framed window with the show's title appears, 640 x 400 at the origin.
  void WaitForShow() {
    ASSERT_TRUE(WaitForWindow(kWindowTitle, 640, 400, &window)) << window.width << "x" << window.height << ReadText("err");
    EXPECT_EQ(window.x + window.y, 0);
  }
  void ExpectEnd(int exitCode) {
    ASSERT_TRUE(WaitUntil([&] { return show->Ended(); })) << "still running";
    EXPECT_EQ(show->ExitCode(), exitCode) << ReadText("out") << ReadText("err");
    EXPECT_EQ(ReadText("err").find("runtime error"), std::string::npos) << ReadText("err");
    EXPECT_EQ(ReadText("err").find("audio still open"), std::string::npos) << ReadText("err");
  }
  // Waits for the one error box, then closes it as the viewer would.
  void CloseErrorBox() {
    std::vector<WindowInfo> boxes;
    ASSERT_TRUE(WaitUntil([&] { return (boxes = FindWindows("ERROR")).size() == 1; })) << ReadText("err");
    EXPECT_FALSE(show->Ended());
    SendCloseRequest(boxes[0].id);
  }
};

// F1 acts on its release, Escape on its press, also when released before the
// next frame (xdotool presses and releases at once).
TEST_F(DemoGl, F1TwiceReturnsToTheWindowAndEscapeEndsTheShow) {
  Start(300);
  ASSERT_NO_FATAL_FAILURE(WaitForShow());
  WindowInfo full;
  XdoKey("F1");
  ASSERT_TRUE(WaitForWindow(kWindowTitle, kDisplayWidth, kDisplayHeight, &full)) << ReadText("err");
  XdoKey("F1");
  ASSERT_NO_FATAL_FAILURE(WaitForShow());
  EXPECT_NE(window.id, full.id);
  XdoKey("Escape");
  ExpectEnd(0);
}

TEST_F(DemoGl, AWindowLostAtAModeSwitchEndsTheShowAfterTheErrorBox) {
  Start(300, "LUMEN_TEST_REFUSE_WINDOWS=1");
  ASSERT_NO_FATAL_FAILURE(WaitForShow());
  XdoKey("F1");
  ASSERT_NO_FATAL_FAILURE(CloseErrorBox());
  ExpectEnd(255);
  EXPECT_NE(ReadText("err").find("ERROR: Unable to create window. (refused by the test)"), std::string::npos);
}

TEST_F(DemoGl, ClosingTheWindowEndsTheShow) {
  Start(300);
  ASSERT_NO_FATAL_FAILURE(WaitForShow());
  SendCloseRequest(window.id);
  ExpectEnd(0);
}

// The show ends with its track. Without a display it says so in one line and
// fails; a window that cannot open shows an error box, which waits for the
// viewer while the log already names the failure, and fails.
TEST_F(DemoGl, EndsWithItsTrackOrFailsWhenNoWindowCanOpen) {
  const std::tuple<const char*, bool, int, std::string> cases[] = {   // environment, error box, exit code, the log
      {"", false, 0, "audio: no audio device (dummy audio driver); the show plays without sound\n"},
      {"-u DISPLAY -u WAYLAND_DISPLAY", false, 255,
       "demo_gl: no display to open a window on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n"},
      {"SDL_VIDEODRIVER=no-such-driver", true, 255, "ERROR: Unable to create window"}};
  for (const auto& [environment, errorBox, exitCode, log] : cases) {
    Start(1.5, environment);
    if (errorBox) CloseErrorBox();
    ExpectEnd(exitCode);
    EXPECT_TRUE(errorBox ? ReadText("err").find(log) != std::string::npos : ReadText("err") == log) << ReadText("err");
  }
}

}  // namespace
