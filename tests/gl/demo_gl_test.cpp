// demo_gl as a program on the test's own X server, driven by xdotool, with a
// short generated track and the silent audio output.
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
    show = std::make_unique<Program>("env " + environment + " SDL_AUDIODRIVER=dummy '" DEMO_GL_PATH "' >out 2>err");
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
  }
};

// F1 acts on its release, Escape on its press: held until the show has ended,
// the press is seen whether or not the frame loop has started.
TEST_F(DemoGl, F1TwiceReturnsToTheWindowAndEscapeEndsTheShow) {
  Start(300);
  ASSERT_NO_FATAL_FAILURE(WaitForShow());
  WindowInfo full;
  XdoKey("key", "F1");
  ASSERT_TRUE(WaitForWindow(kWindowTitle, kDisplayWidth, kDisplayHeight, &full)) << ReadText("err");
  XdoKey("key", "F1");
  ASSERT_NO_FATAL_FAILURE(WaitForShow());
  EXPECT_NE(window.id, full.id);
  XdoKey("keydown", "Escape");
  ExpectEnd(0);
  XdoKey("keyup", "Escape");
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
  std::vector<WindowInfo> boxes;
  ASSERT_TRUE(WaitUntil([&] { return (boxes = FindWindows("ERROR")).size() == 1; })) << ReadText("err");
  EXPECT_NE(ReadText("err").find("ERROR: Unable to create window"), std::string::npos) << ReadText("err");
  EXPECT_TRUE(FindWindows(kWindowTitle).empty());
  EXPECT_FALSE(show->Ended());
  SendCloseRequest(boxes[0].id);
  ExpectEnd(255);
}

}  // namespace
