// The window layer in the test process: modes, events, and the window's
// part of a frame, against the test's own X server.
#include <algorithm>
#include <cmath>
#include <tuple>

#include "engine/core/demo_run.h"
#include "engine/core/text_screen.h"
#include "frontends/gl/window_frame.h"
#include "tests/gl/test_display.h"

namespace {

using GlWindowModes = WindowTest;

// The context: double-buffered RGB of 8 bits a channel, a depth buffer of 16
// bits or more. The screen saver is off. A size change on the server reaches
// the projection; a minimised window's zero height still gets one.
TEST_F(GlWindowModes, ContextAndProjection) {
  int doubleBuffer = 0, red = 0, depth = 0;
  SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &doubleBuffer);
  SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &red);
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depth);
  EXPECT_TRUE(doubleBuffer == 1 && red == 8 && depth >= 16) << doubleBuffer << " " << red << " " << depth;
  EXPECT_FALSE(SDL_IsScreenSaverEnabled());
  SDL_SetWindowSize(TheWindow().window, 800, 600);
  GLint viewport[4] = {};
  EXPECT_TRUE(WaitUntil([&] { return PumpMessages() || (glGetIntegerv(GL_VIEWPORT, viewport), viewport[3] == 600); }));
  EXPECT_EQ(viewport[2], 800);
  for (int width : {640, 0}) {
    ResizeView(width, 0);
    DrawTextScreen(width, 0);
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2] * 10 + viewport[3], (width == 0 ? 1 : width) * 10 + 1);
  }
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// The window's part of a frame, with the music replaced by a record of mutes.
class WindowFrame : public WindowTest, public FrameLoopPorts {
 protected:
  FrameLoop loop{ShowProgram::Window};
  std::vector<bool> mutes;

  uint32_t TickMs() override { return 0; }
  void SleepMs(uint32_t) override {}
  bool QuitRequested() override { return false; }
  void UpdateMusic() override {}
  int32_t MusicPosition(uint32_t*) override { return 0; }
  void SetMute(bool muted) override { mutes.push_back(muted); }
  void Present(FrameLoop&) override {}
  size_t PollKeys(KeyRecord*, size_t) override { return 0; }

  // One frame with these events (a window event of another window when
  // staleWindow) after them; whether it ended the show.
  bool Frame(const std::string& keys, Uint32 event = 0, bool staleWindow = false) {
    for (size_t i = 0; i + 1 < keys.size(); i += 2) {   // "v" down, "^" up: "vE^E" Escape down and up
      SDL_Event e{};
      e.type = keys[i] == 'v' ? SDL_KEYDOWN : SDL_KEYUP;
      e.key.windowID = SDL_GetWindowID(TheWindow().window);
      e.key.keysym.sym = keys[i + 1] == 'E' ? SDLK_ESCAPE : keys[i + 1] == 'F' ? SDLK_F1 : keys[i + 1] == 'm' ? SDLK_m : SDLK_AUDIOMUTE;
      SDL_PushEvent(&e);
    }
    SDL_Event e{};
    e.type = event == SDL_QUIT ? SDL_QUIT : SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(TheWindow().window) + (staleWindow ? 1000 : 0);
    e.window.event = static_cast<Uint8>(event);
    if (event != 0) SDL_PushEvent(&e);
    loop.stop = false;
    EXPECT_TRUE(PresentWindowFrame(loop, *this));
    EXPECT_TRUE(std::all_of(std::begin(TheWindow().keyState), std::end(TheWindow().keyState),
                            [](uint32_t s) { return s == kKeyNoEvent; }));   // gone after the frame
    return loop.stop;
  }
};

// Escape ends the show when pressed in a frame of an active window, also when
// released in the same frame, but not while minimised or hidden. Focus alone
// changes nothing, nor do events of a window closed before; a quit request is
// seen once. M acts on its release, also when pressed again in that frame.
TEST_F(WindowFrame, EscapeAndQuitRequestsEndTheShowAndMOnReleaseMutes) {
  EXPECT_TRUE(Frame("vE"));
  EXPECT_FALSE(Frame("vE", SDL_WINDOWEVENT_MINIMIZED));
  EXPECT_FALSE(Frame(""));   // the Escape of the minimised frame is not kept
  EXPECT_TRUE(Frame("vE^E", SDL_WINDOWEVENT_RESTORED));
  EXPECT_FALSE(Frame("vE", SDL_WINDOWEVENT_HIDDEN));
  EXPECT_TRUE(Frame("vE", SDL_WINDOWEVENT_SHOWN));
  EXPECT_TRUE(Frame("vE", SDL_WINDOWEVENT_FOCUS_LOST));
  EXPECT_TRUE(Frame("vE^x", SDL_WINDOWEVENT_MINIMIZED, true));   // a key without a code on the way
  EXPECT_FALSE(Frame("", SDL_WINDOWEVENT_CLOSE, true));
  EXPECT_TRUE(Frame("", SDL_WINDOWEVENT_CLOSE));
  EXPECT_TRUE(Frame("", SDL_QUIT));
  EXPECT_FALSE(Frame(""));
  Frame("vm");
  Frame("vm");   // held, repeated: nothing yet
  EXPECT_EQ(mutes, std::vector<bool>{});
  Frame("^m");
  Frame("vm^m");   // pressed and released in one frame: one toggle
  Frame("^mvm");   // released and pressed again: one toggle
  EXPECT_EQ(mutes, (std::vector<bool>{true, false, true}));
  EXPECT_TRUE(loop.muted);
}

// Each active frame is decoded, drawn and shown; F1 released switches to full
// screen, a borderless window over the desktop without the cursor (640 x 400
// scaled by 2.7 between bars of 96 pixels: solid cells coloured by position,
// so that each pixel tells its cell), and back to the framed, resizable
// window; each new context has its glyph texture.
TEST_F(WindowFrame, DrawsEveryFrameAndF1ReleasesSwitchModes) {
  Cell* cells = TextScreen::Get()->cells;
  std::fill_n(cells, kScreenCells, kCellNoEffect);   // dark red
  Frame("");
  const std::vector<uint8_t> shown = Rasterise();
  EXPECT_TRUE(WaitUntil([&] { return ScreenPixels(kTextModeWidth, kTextModeHeight) == shown; }));
  EXPECT_FALSE(Frame("vF") || TheWindow().fullScreen);   // a held key does nothing
  Frame("^F");
  ASSERT_TRUE(TheWindow().fullScreen);
  const Uint32 modeFlags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_RESIZABLE;
  EXPECT_EQ(SDL_GetWindowFlags(TheWindow().window) & modeFlags, SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
  WindowInfo info;
  ASSERT_TRUE(WaitForWindow(kWindowTitle, kDisplayWidth, kDisplayHeight, &info));
  EXPECT_EQ(info.x + info.y, 0);
  GlyphCell* glyphs = GlyphCells();
  for (int i = 0; i < kScreenCells; ++i) glyphs[i] = GlyphCell{(i % 80 + 2 * (i / 80)) % 16 * 0x11u, 0};
  DrawTextScreen(kDisplayWidth, kDisplayHeight);
  const std::vector<uint8_t> got = ReadBackBuffer(kDisplayWidth, kDisplayHeight);
  for (int i = 0; i < kDisplayWidth * kDisplayHeight * 3; ++i) {
    // The cell whose quad covers the pixel's centre; the bars are black.
    const int column = static_cast<int>(std::floor((i / 3 % kDisplayWidth + 0.5 - 96) / 21.6));
    const int row = static_cast<int>(std::floor((i / 3 / kDisplayWidth + 0.5) / 21.6));
    const int want = column < 0 || column >= 80 ? 0 : PaletteByte((column + 2 * row) % 16, i % 3);
    ASSERT_EQ(got[i], want) << "pixel " << i / 3 % kDisplayWidth << "," << i / 3 / kDisplayWidth;
  }
  for (int i = 0; i < kScreenCells; ++i) cells[i] = MakeRampCell(i % 24 * 10u, static_cast<uint32_t>(i % 81), 100);
  Frame("^F");
  ASSERT_TRUE(WaitForWindow(kWindowTitle, 640, 400, &info));
  EXPECT_EQ(info.x + info.y, 0);
  EXPECT_EQ(SDL_GetWindowFlags(TheWindow().window) & modeFlags, SDL_WINDOW_RESIZABLE);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  DrawTextScreen(kTextModeWidth, kTextModeHeight);
  EXPECT_TRUE(ReadBackBuffer(kTextModeWidth, kTextModeHeight) == Rasterise());
}

}  // namespace
