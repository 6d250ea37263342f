// What the window tests need around them: the private X server of
// tests/support/x_display.h for each test process, SDL's X11 video driver on
// it, and looks at the window layer's back buffer.
#pragma once

#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/resources/bitmap.h"
#include "frontends/gl/gl_window.h"
#include "frontends/gl/text_mode_renderer.h"
#include "tests/support/x_display.h"

// After gtest, whose names X's macros would take.
#include <SDL_syswm.h>

// The SDL layer's window.
inline SDL_Window* SdlWindow() { return static_cast<SDL_Window*>(TheWindow().window); }

// The back buffer as RGB bytes, row 0 at the top, as the next swap shows it.
inline std::vector<uint8_t> ReadBackBuffer(int width, int height) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  for (int y = 0; y < height; ++y) {
    glReadPixels(0, height - 1 - y, width, 1, GL_RGB, GL_UNSIGNED_BYTE, &rgb[static_cast<size_t>(y) * width * 3]);
  }
  return rgb;
}

// What the headless rasteriser makes of the glyph records, with the show's
// glyph image when none is given.
inline std::vector<uint8_t> Rasterise(const Bitmap* image = nullptr) {
  const std::unique_ptr<Bitmap, void (*)(Bitmap*)> own(image ? nullptr : LoadBitmap("textmodechars.png"), ReleaseBitmap);
  std::vector<uint8_t> rgb(static_cast<size_t>(kTextModeWidth) * kTextModeHeight * 3);
  RasteriseTextMode(GlyphCells(), image ? *image : *own, rgb.data());
  return rgb;
}

// A framed window opened for the test and closed after it. The events of its
// making (mapping, exposure, focus) are all queued after a round trip to the
// server and handled at once, so that a test's own events come last.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenWindow(false));
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    ASSERT_TRUE(SDL_GetWindowWMInfo(SdlWindow(), &info));
    XSync(info.info.x11.display, False);
    PumpMessages();
    ClearGlyphCells();
    ClearKeyState();
  }
  void TearDown() override { CloseWindow(); }
};

// Every test process runs its cases against an Xvfb server of its own.
class SdlOnVirtualDisplay : public ::testing::Environment {
  VirtualDisplay display_;

  void SetUp() override {
    ASSERT_TRUE(display_.Start()) << "Xvfb did not start";
    setenv("SDL_VIDEODRIVER", "x11", 1);
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);   // no session bus for SDL to start
  }
  // SDL stays up: shutting its video down would unload the GL driver, whose
  // own allocations would then look leaked.
  void TearDown() override {
    CloseWindow();
    display_.Stop();
  }
};
inline ::testing::Environment* const gVirtualDisplay = ::testing::AddGlobalTestEnvironment(new SdlOnVirtualDisplay);
