#include <SDL.h>

#include <cstring>
#include <string>

#include "engine/core/decode.h"
#include "engine/core/demo_run.h"
#include "engine/core/text_screen.h"
#include "engine/resources/bitmap.h"
#include "frontends/gl/window_frame.h"
#include "tests/gl/gl_test_support.h"
#include "tests/gl/test_display.h"

namespace {

void PushKey(Uint32 type, SDL_Keycode key) {
  SDL_Event event{};
  event.type = type;
  event.key.type = type;
  event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
  event.key.windowID = SDL_GetWindowID(TheWindow().window);
  event.key.keysym.sym = key;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

void PushWindowEvent(Uint8 what, Uint32 windowId) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.type = SDL_WINDOWEVENT;
  event.window.event = what;
  event.window.windowID = windowId;
  ASSERT_EQ(SDL_PushEvent(&event), 1);
}

Uint32 CurrentWindowId() { return SDL_GetWindowID(TheWindow().window); }

bool AllKeysClear() {
  for (uint32_t state : TheWindow().keyState) {
    if (state != kKeyNoEvent) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------

TEST(VirtualKeys, SdlKeysBecomeWindowsCodes) {
  EXPECT_EQ(VirtualKeyFromKeycode(SDLK_ESCAPE), 27);
  EXPECT_EQ(VirtualKeyFromKeycode(SDLK_m), 77);
  EXPECT_EQ(VirtualKeyFromKeycode(SDLK_F1), 112);
  EXPECT_EQ(VirtualKeyFromKeycode(SDLK_a), 65);
  EXPECT_EQ(VirtualKeyFromKeycode(SDLK_z), 90);
  EXPECT_EQ(VirtualKeyFromKeycode(SDLK_0), 48);
  EXPECT_EQ(VirtualKeyFromKeycode(SDLK_F12), 123);
  EXPECT_EQ(VirtualKeyFromKeycode(SDLK_F24), 135);
  EXPECT_EQ(VirtualKeyFromKeycode(SDLK_SPACE), 32);
  EXPECT_EQ(VirtualKeyFromKeycode(SDLK_LEFT), 37);
  EXPECT_EQ(VirtualKeyFromKeycode(SDLK_AUDIOMUTE), -1);   // no code: ignored
}

TEST(VirtualKeys, CodesOutsideTheTableAreIgnored) {
  GlWindow& window = TheWindow();
  ClearKeyState();
  const bool active = window.windowActive;
  for (int code : {255, 256, -1, 1 << 20}) RecordKey(code, kKeyWentDown);
  EXPECT_TRUE(AllKeysClear());
  EXPECT_EQ(window.windowActive, active);
  RecordKey(254, kKeyWentUp);   // the last entry
  RecordKey(0, kKeyWentDown);   // the first
  EXPECT_EQ(window.keyState[254], kKeyWentUp);
  EXPECT_EQ(window.keyState[0], kKeyWentDown);
  ClearKeyState();
  EXPECT_TRUE(AllKeysClear());
}

TEST(WindowDisplay, OnlyANamedDisplayCounts) {
  const std::string display = std::getenv("DISPLAY");
  EXPECT_TRUE(DisplayNamed());
  setenv("DISPLAY", "", 1);
  EXPECT_FALSE(DisplayNamed());
  setenv("WAYLAND_DISPLAY", "wayland-0", 1);
  EXPECT_TRUE(DisplayNamed());
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("DISPLAY");
  EXPECT_FALSE(DisplayNamed());
  setenv("DISPLAY", display.c_str(), 1);
}

// ---------------------------------------------------------------------------

using GlWindowModes = WindowTest;

TEST_F(GlWindowModes, TheWindowIsFramed640By400AtTheOrigin) {
  SDL_Window* window = TheWindow().window;
  ASSERT_NE(window, nullptr);
  EXPECT_FALSE(TheWindow().fullScreen);
  EXPECT_STREQ(SDL_GetWindowTitle(window), "Lumen Gravel (OpenGL) - Pelkora 2o14 - https://pelkora.example/");
  const Uint32 flags = SDL_GetWindowFlags(window);
  EXPECT_EQ(flags & SDL_WINDOW_BORDERLESS, 0u);
  EXPECT_EQ(flags & SDL_WINDOW_FULLSCREEN, 0u);
  EXPECT_NE(flags & SDL_WINDOW_RESIZABLE, 0u);
  int width = 0, height = 0;
  GetClientSize(&width, &height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 400);
  WindowInfo info;
  ASSERT_TRUE(WaitForWindow(kWindowTitle, 640, 400, 5000, &info));
  EXPECT_EQ(info.x, 0);
  EXPECT_EQ(info.y, 0);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  EXPECT_FALSE(SDL_IsScreenSaverEnabled());

  // The context: double-buffered RGB of 8 bits a channel, depth of 16 bits or more.
  int value = 0;
  EXPECT_EQ(SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &value), 0);
  EXPECT_EQ(value, 1);
  SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &value);
  EXPECT_EQ(value, 8);
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &value);
  EXPECT_GE(value, 16);
  EXPECT_NE(glGetString(GL_VERSION), nullptr);
}

TEST_F(GlWindowModes, FullScreenIsABorderlessWindowOverTheDesktopWithoutCursor) {
  CloseWindow();
  ASSERT_TRUE(OpenWindow(true));
  EXPECT_TRUE(TheWindow().fullScreen);
  const Uint32 flags = SDL_GetWindowFlags(TheWindow().window);
  EXPECT_NE(flags & SDL_WINDOW_BORDERLESS, 0u);
  EXPECT_EQ(flags & SDL_WINDOW_FULLSCREEN_DESKTOP, static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP));
  int width = 0, height = 0;
  GetClientSize(&width, &height);
  EXPECT_EQ(width, kDisplayWidth);
  EXPECT_EQ(height, kDisplayHeight);
  SDL_DisplayMode mode;
  ASSERT_EQ(SDL_GetCurrentDisplayMode(0, &mode), 0);   // the display mode is left alone
  EXPECT_EQ(mode.w, kDisplayWidth);
  EXPECT_EQ(mode.h, kDisplayHeight);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  CloseWindow();
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  EXPECT_EQ(TheWindow().window, nullptr);
  EXPECT_EQ(TheWindow().context, nullptr);
  CloseWindow();   // nothing left to release
}

TEST_F(GlWindowModes, KeyEventsOfAFrameKeepTheLatest) {
  PushKey(SDL_KEYDOWN, SDLK_ESCAPE);
  PushKey(SDL_KEYDOWN, SDLK_m);
  PushKey(SDL_KEYUP, SDLK_m);
  PushKey(SDL_KEYUP, SDLK_F1);
  PushKey(SDL_KEYDOWN, SDLK_AUDIOMUTE);
  EXPECT_FALSE(PumpMessages());
  const GlWindow& window = TheWindow();
  EXPECT_EQ(window.keyState[27], kKeyWentDown);
  EXPECT_EQ(window.keyState[77], kKeyWentUp);
  EXPECT_EQ(window.keyState[112], kKeyWentUp);
  int set = 0;
  for (uint32_t state : window.keyState) set += state != kKeyNoEvent;
  EXPECT_EQ(set, 3);
}

TEST_F(GlWindowModes, MinimiseRestoreAndCloseRequests) {
  const Uint32 id = CurrentWindowId();
  PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED, id);
  EXPECT_FALSE(PumpMessages());
  EXPECT_FALSE(TheWindow().windowActive);
  PushWindowEvent(SDL_WINDOWEVENT_RESTORED, id);
  EXPECT_FALSE(PumpMessages());
  EXPECT_TRUE(TheWindow().windowActive);
  // Focus alone does not stop the drawing.
  PushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST, id);
  EXPECT_FALSE(PumpMessages());
  EXPECT_TRUE(TheWindow().windowActive);
  // Events of a window closed before are stale.
  PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED, id + 1000);
  PushWindowEvent(SDL_WINDOWEVENT_CLOSE, id + 1000);
  EXPECT_FALSE(PumpMessages());
  EXPECT_TRUE(TheWindow().windowActive);

  PushWindowEvent(SDL_WINDOWEVENT_CLOSE, id);
  EXPECT_TRUE(PumpMessages());
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  ASSERT_EQ(SDL_PushEvent(&quit), 1);
  EXPECT_TRUE(PumpMessages());
  EXPECT_FALSE(PumpMessages());   // each request is seen once
}

TEST_F(GlWindowModes, ACloseRequestFromTheServerIsSeen) {
  WindowInfo info;
  ASSERT_TRUE(WaitForWindow(kWindowTitle, 640, 400, 5000, &info));
  ASSERT_TRUE(SendCloseRequest(info.id));
  bool quit = false;
  for (int tries = 0; tries < 200 && !quit; ++tries) {
    quit = PumpMessages();
    SleepMs(10);
  }
  EXPECT_TRUE(quit);
}

TEST_F(GlWindowModes, SizeChangesReachTheProjection) {
  SDL_SetWindowSize(TheWindow().window, 800, 600);
  GLint viewport[4] = {};
  for (int tries = 0; tries < 200 && viewport[2] != 800; ++tries) {
    PumpMessages();
    glGetIntegerv(GL_VIEWPORT, viewport);
    SleepMs(10);
  }
  EXPECT_EQ(viewport[2], 800);
  EXPECT_EQ(viewport[3], 600);
}

// ---------------------------------------------------------------------------
// The window's part of a frame, with the music replaced by a record of mutes.

class RecordingPorts : public FrameLoopPorts {
 public:
  int muteCalls = 0;
  bool lastMute = false;
  uint32_t TickMs() override { return 0; }
  void SleepMs(uint32_t) override {}
  bool QuitRequested() override { return false; }
  void UpdateMusic() override {}
  int32_t MusicPosition(uint32_t* positionMs) override {
    *positionMs = 0;
    return 0;
  }
  void SetMute(bool muted) override {
    ++muteCalls;
    lastMute = muted;
  }
  void Present(FrameLoop&) override {}
  size_t PollKeys(KeyRecord*, size_t) override { return 0; }
};

class WindowFrame : public WindowTest {
 protected:
  FrameLoop loop{ShowProgram::Window};
  RecordingPorts ports;

  // One frame's present step; the key events are gone after it.
  void Frame() {
    loop.stop = false;
    ASSERT_TRUE(PresentWindowFrame(loop, ports));
    EXPECT_TRUE(AllKeysClear());
  }
};

TEST_F(WindowFrame, EscapeDownEndsTheShowOnlyWhileTheWindowIsActive) {
  PushKey(SDL_KEYDOWN, SDLK_ESCAPE);
  Frame();
  EXPECT_TRUE(loop.stop);

  PushWindowEvent(SDL_WINDOWEVENT_MINIMIZED, CurrentWindowId());
  PushKey(SDL_KEYDOWN, SDLK_ESCAPE);
  Frame();
  EXPECT_FALSE(loop.stop);
  Frame();   // the Escape of the minimised frame is not kept
  EXPECT_FALSE(loop.stop);

  PushWindowEvent(SDL_WINDOWEVENT_RESTORED, CurrentWindowId());
  PushKey(SDL_KEYDOWN, SDLK_ESCAPE);
  PushKey(SDL_KEYUP, SDLK_ESCAPE);   // pressed and released within the frame: missed
  Frame();
  EXPECT_FALSE(loop.stop);
  EXPECT_EQ(ports.muteCalls, 0);
}

TEST_F(WindowFrame, QuitRequestsEndTheShow) {
  PushWindowEvent(SDL_WINDOWEVENT_CLOSE, CurrentWindowId());
  Frame();
  EXPECT_TRUE(loop.stop);
}

TEST_F(WindowFrame, MuteTogglesOnReleaseOnly) {
  PushKey(SDL_KEYDOWN, SDLK_m);
  Frame();
  EXPECT_EQ(ports.muteCalls, 0);   // held: nothing yet
  PushKey(SDL_KEYDOWN, SDLK_m);    // key repeat
  Frame();
  EXPECT_EQ(ports.muteCalls, 0);
  PushKey(SDL_KEYUP, SDLK_m);
  Frame();
  EXPECT_EQ(ports.muteCalls, 1);
  EXPECT_TRUE(ports.lastMute);
  EXPECT_TRUE(loop.muted);
  PushKey(SDL_KEYDOWN, SDLK_m);    // press and release in one frame: one toggle
  PushKey(SDL_KEYUP, SDLK_m);
  Frame();
  EXPECT_EQ(ports.muteCalls, 2);
  EXPECT_FALSE(ports.lastMute);
  EXPECT_FALSE(loop.stop);
}

TEST_F(WindowFrame, DrawsAndShowsTheScreenEveryActiveFrame) {
  Cell* cells = TextScreen::Get()->cells;
  for (int i = 0; i < kScreenCells; ++i) cells[i] = kCellNoEffect;   // the dark red fill
  Frame();
  // The drawn frame is now the front buffer; the screen shows it.
  uint32_t pixel = 0;
  for (int tries = 0; tries < 100 && pixel != 0x800000u; ++tries) {
    pixel = ScreenPixel(320, 200);
    SleepMs(10);
  }
  EXPECT_EQ(pixel, 0x800000u);
  EXPECT_EQ(GlyphCells()[0].attribute, DecodeCell(kCellNoEffect).attribute);   // decoded by the frame
}

TEST_F(WindowFrame, F1ReleasesSwitchToFullScreenAndBack) {
  Cell* cells = TextScreen::Get()->cells;
  for (int i = 0; i < kScreenCells; ++i) {
    cells[i] = MakeRampCell(static_cast<uint32_t>(i % kRampRows) * 10, static_cast<uint32_t>(i % 81), 100);
  }
  Frame();

  PushKey(SDL_KEYDOWN, SDLK_F1);
  Frame();
  EXPECT_FALSE(TheWindow().fullScreen);   // a held key does nothing
  PushKey(SDL_KEYUP, SDLK_F1);
  Frame();
  EXPECT_TRUE(TheWindow().fullScreen);
  int width = 0, height = 0;
  GetClientSize(&width, &height);
  EXPECT_EQ(width, kDisplayWidth);
  EXPECT_EQ(height, kDisplayHeight);
  WindowInfo info;
  EXPECT_TRUE(WaitForWindow(kWindowTitle, kDisplayWidth, kDisplayHeight, 5000, &info));

  PushKey(SDL_KEYUP, SDLK_F1);
  Frame();
  EXPECT_FALSE(TheWindow().fullScreen);
  EXPECT_EQ(SDL_GetWindowFlags(TheWindow().window) & SDL_WINDOW_BORDERLESS, 0u);
  ASSERT_TRUE(WaitForWindow(kWindowTitle, 640, 400, 5000, &info));
  EXPECT_EQ(info.x, 0);
  EXPECT_EQ(info.y, 0);

  // The new context has its own glyph texture: the cells look as before.
  DrawTextScreen(kTextModeWidth, kTextModeHeight);
  const std::vector<uint8_t> got = ReadBackBuffer(kTextModeWidth, kTextModeHeight);
  Bitmap* image = LoadBitmap("textmodechars.png");
  std::vector<uint8_t> want(got.size());
  RasteriseTextMode(GlyphCells(), *image, want.data());
  ReleaseBitmap(image);
  EXPECT_TRUE(got == want);
}

}  // namespace
