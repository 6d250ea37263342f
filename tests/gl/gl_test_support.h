// Shared by the in-process window and renderer tests: a window per test and
// the back buffer read back top row first.
#pragma once

#include <GL/gl.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "frontends/gl/gl_window.h"
#include "frontends/gl/text_mode_renderer.h"

// The back buffer as RGB bytes, row 0 at the top, as the next swap shows it.
inline std::vector<uint8_t> ReadBackBuffer(int width, int height) {
  std::vector<uint8_t> bottomUp(static_cast<size_t>(width) * height * 3);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadBuffer(GL_BACK);
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
  std::vector<uint8_t> rgb(bottomUp.size());
  const size_t row = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    std::copy_n(bottomUp.begin() + static_cast<long>((height - 1 - y) * row), row,
                rgb.begin() + static_cast<long>(y * row));
  }
  return rgb;
}

// Handles the events of the window's creation (mapping, exposure, focus),
// so that a test's own events come last.
inline void DrainEvents() {
  for (int i = 0; i < 10; ++i) {
    PumpMessages();
    SDL_Delay(10);
  }
}

// A framed window opened for the test and closed after it.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenWindow(false));
    DrainEvents();
    ClearGlyphCells();
    ClearKeyState();
  }
  void TearDown() override { CloseWindow(); }
};
