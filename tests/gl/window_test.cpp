// The window layer in the test process, against the test's own X server:
// modes, events, and the window's part of a frame; and the text-mode
// renderer drawn by OpenGL (Mesa), read back and compared pixel for pixel
// with the headless rasteriser and demo_render.
#include <stb_image.h>

#include <algorithm>
#include <cmath>

#include "engine/core/demo_run.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/bitmap.h"
#include "frontends/gl/window_frame.h"
#include "tests/gl/test_display.h"
#include "tests/support/allocation_count.h"
#include "tests/support/test_bitmaps.h"

namespace {

// Empty when equal, else where the first difference is.
std::string Differences(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
  if (got.size() != want.size()) return "sizes differ";
  const size_t first = (std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin()) / 3;
  return first == got.size() / 3 ? "" : "first difference at pixel " + std::to_string(first % kTextModeWidth) + "," +
                                            std::to_string(first / kTextModeWidth);
}

std::vector<uint8_t> DrawAtWindowSize() {
  DrawTextScreen(kTextModeWidth, kTextModeHeight);
  return ReadBackBuffer(kTextModeWidth, kTextModeHeight);
}

// The context: double-buffered RGB of 8 bits a channel, a depth buffer of 16
// bits or more. The screen saver is off. A size change on the server reaches
// the projection; a minimised window's zero height still gets one.
TEST_F(WindowTest, ContextAndProjection) {
  const SDL_GLattr attributes[3] = {SDL_GL_DOUBLEBUFFER, SDL_GL_RED_SIZE, SDL_GL_DEPTH_SIZE};
  int got[3] = {};
  for (int i = 0; i < 3; ++i) SDL_GL_GetAttribute(attributes[i], &got[i]);
  EXPECT_TRUE(got[0] == 1 && got[1] == 8 && got[2] >= 16) << got[0] << " " << got[1] << " " << got[2];
  EXPECT_FALSE(SDL_IsScreenSaverEnabled());
  SDL_SetWindowSize(SdlWindow(), 800, 600);
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
      e.key.windowID = SDL_GetWindowID(SdlWindow());
      e.key.keysym.sym = keys[i + 1] == 'E' ? SDLK_ESCAPE : keys[i + 1] == 'F' ? SDLK_F1 : keys[i + 1] == 'm' ? SDLK_m : SDLK_AUDIOMUTE;
      SDL_PushEvent(&e);
    }
    SDL_Event e{};
    e.type = event == SDL_QUIT ? SDL_QUIT : SDL_WINDOWEVENT;
    e.window.windowID = SDL_GetWindowID(SdlWindow()) + (staleWindow ? 1000 : 0);
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
// seen once. M acts on its release, also when pressed and released in one frame
// or released and pressed again.
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
  for (const char* keys : {"vm", "vm", "^m", "vm^m", "^mvm"}) Frame(keys);   // held, repeated: nothing till the release
  EXPECT_EQ(mutes, (std::vector<bool>{true, false, true}));
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
  EXPECT_TRUE(WaitUntil([&] { return ScreenPixels(0, 0, kTextModeWidth, kTextModeHeight) == shown; }));
  EXPECT_FALSE(Frame("vF") || TheWindow().fullScreen);   // a held key does nothing
  Frame("^F");
  ASSERT_TRUE(TheWindow().fullScreen);
  const Uint32 modeFlags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_RESIZABLE;
  EXPECT_EQ(SDL_GetWindowFlags(SdlWindow()) & modeFlags, SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
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
  EXPECT_EQ(SDL_GetWindowFlags(SdlWindow()) & modeFlags, SDL_WINDOW_RESIZABLE);
  EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
  EXPECT_EQ(Differences(DrawAtWindowSize(), Rasterise()), "");
}

using TextModeRenderer = WindowTest;

// Every attribute with every slot of the show's glyph image: each pixel in
// the foreground colour where the slot's glyph (x = 8 (2 slot + 1), y = 8)
// is lit, else in the background colour of the text-mode palette. Then glyph
// images of the wrong size, as the rasteriser reads them: smaller (only slot
// 0 inside), a strip of rows 8..11, what a PNG that fails to decode leaves,
// fewer pixels than the size says, none at all, and larger.
TEST_F(TextModeRenderer, DrawsTheGlyphsInThePaletteAsTheRasteriserDoes) {
  GlyphCell* glyphs = GlyphCells();
  for (int i = 0; i < kScreenCells; ++i) glyphs[i] = GlyphCell{static_cast<uint32_t>(i % 256), i / 256 % 16};
  Bitmap* image = LoadBitmap("textmodechars.png");
  std::vector<uint8_t> want(static_cast<size_t>(kTextModeWidth) * kTextModeHeight * 3);
  for (size_t i = 0; i < want.size(); ++i) {
    const size_t x = i / 3 % kTextModeWidth, y = i / 3 / kTextModeWidth;
    const GlyphCell& g = glyphs[y / 8 * kScreenWidth + x / 8];
    const bool lit = image->pixels[(8 + y % 8) * 256 + 8 * (2 * static_cast<size_t>(g.slot) + 1) + x % 8] != 0;
    want[i] = static_cast<uint8_t>(kTextModePalette[lit ? g.attribute & 15 : g.attribute >> 4] >> (16 - 8 * (i % 3)));
  }
  ReleaseBitmap(image);
  EXPECT_EQ(Differences(DrawAtWindowSize(), want), "");

  Bitmap* strip = MakeFilledBitmap(200, 12, 0);
  for (uint32_t i = 0; i < 200 * 12; ++i) strip->pixels[i] = (i * 7) % 3 == 0 ? 0xFFFFFF : 0;
  Bitmap* shortOfPixels = MakeFilledBitmap(256, 12, 0xFFFFFF);
  shortOfPixels->height = 256;
  Bitmap* large = MakeFilledBitmap(300, 260, 0);
  for (uint32_t i = 0; i < 300 * 260; ++i) large->pixels[i] = (i * 5) % 7 < 3 ? 0xFFFFFF : 0;
  for (Bitmap* wrongSize : {MakeFilledBitmap(16, 16, 0xFFFFFF), strip, MakeFilledBitmap(80, 50, 0), shortOfPixels,
                            new Bitmap{0, nullptr, 256, 256}, large}) {
    ASSERT_TRUE(SetUpGLWithImage(*wrongSize));
    EXPECT_EQ(Differences(DrawAtWindowSize(), Rasterise(wrongSize)), "")
        << wrongSize->width << "x" << wrongSize->height << " holding " << wrongSize->pixelCount;
    ReleaseBitmap(wrongSize);
  }
}

// A frame of every effect of the programme and cross-fades among them, as a
// freshly built show renders it in the window and as demo_render writes it.
TEST_F(TextModeRenderer, ShowFramesMatchDemoRenderPngs) {
  for (uint32_t timeMs : {0u, 1500u, 8000u, 30000u, 60000u, 85000u, 115000u, 145000u, 158500u, 170000u, 187500u,
                          195000u}) {
    const std::string png = "frame_" + std::to_string(timeMs) + ".png";
    const std::string command = "'" DEMO_RENDER_PATH "' --time " + std::to_string(timeMs) + " --out " + png;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    int w = 0, h = 0, n = 0;
    unsigned char* decoded = stbi_load(png.c_str(), &w, &h, &n, 3);
    ASSERT_TRUE(decoded != nullptr && w == kTextModeWidth && h == kTextModeHeight) << png;
    const std::vector<uint8_t> want(decoded, decoded + static_cast<size_t>(w) * h * 3);
    stbi_image_free(decoded);
    BuildShow();
    RenderFrame(timeMs);
    PrepareGlyphCells();
    EXPECT_EQ(Differences(DrawAtWindowSize(), want), "") << "at " << timeMs << " ms";
    TearDownShow();
  }
}

// The window's per-frame path over the show, once the driver has compiled
// its state for the first frame: no heap allocation in any frame.
TEST_F(TextModeRenderer, ShowFramesDrawWithoutAllocating) {
  BuildShow();
  RenderFrame(0);
  PrepareGlyphCells();
  DrawAtWindowSize();
  StartCountingAllocations();
  for (uint32_t timeMs = 0; timeMs <= 201000; timeMs += 250) {
    RenderFrame(timeMs);
    PrepareGlyphCells();
    DrawTextScreen(kTextModeWidth, kTextModeHeight);
  }
  EXPECT_EQ(StopCountingAllocations(), 0u);
  TearDownShow();
}

}  // namespace
