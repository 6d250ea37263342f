// demo_gl as a program on the test's own X server, driven by xdotool, with a
// short generated track and the silent audio output. Every way out must have
// shut the music down (the preloaded probe tells).
#include "tests/gl/test_display.h"
#include "tests/music/test_tracks.h"
#include "tests/support/run_tool.h"

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
  XdoKey("key", "F1");
  ASSERT_TRUE(WaitForWindow(kWindowTitle, kDisplayWidth, kDisplayHeight, &full)) << ReadText("err");
  XdoKey("key", "F1");
  ASSERT_NO_FATAL_FAILURE(WaitForShow());
  EXPECT_NE(window.id, full.id);
  XdoKey("key", "Escape");
  ExpectEnd(0);
}

TEST_F(DemoGl, AWindowLostAtAModeSwitchEndsTheShowAfterTheErrorBox) {
  Start(300, "LUMEN_TEST_REFUSE_WINDOWS=1");
  ASSERT_NO_FATAL_FAILURE(WaitForShow());
  XdoKey("key", "F1");
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

TEST_F(DemoGl, TheShowEndsWithItsTrack) {
  Start(1.5);
  ExpectEnd(0);
}

TEST_F(DemoGl, WithoutADisplayItSaysSoInOneLineAndFails) {
  Start(1.5, "-u DISPLAY -u WAYLAND_DISPLAY");
  ExpectEnd(255);
  const std::string err = ReadText("err");
  EXPECT_TRUE(err.find("no display") != std::string::npos && std::count(err.begin(), err.end(), '\n') == 1) << err;
}

// The box waits for the viewer; the log already names the failure.
TEST_F(DemoGl, AWindowThatCannotOpenShowsAnErrorBoxAndFails) {
  Start(1.5, "SDL_VIDEODRIVER=no-such-driver");
  ASSERT_NO_FATAL_FAILURE(CloseErrorBox());
  EXPECT_NE(ReadText("err").find("ERROR: Unable to create window"), std::string::npos) << ReadText("err");
  EXPECT_TRUE(FindWindows(kWindowTitle).empty());
  ExpectEnd(255);
}

}  // namespace
