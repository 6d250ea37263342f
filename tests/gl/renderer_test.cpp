// The text-mode renderer drawn by OpenGL (Mesa) in a window, read back and
// compared pixel for pixel with the headless rasteriser and demo_render.
#include <stb_image.h>

#include <filesystem>

#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/bitmap.h"
#include "tests/gl/test_display.h"
#include "tests/support/allocation_count.h"
#include "tests/support/test_bitmaps.h"

namespace {

// How many pixels differ, and where the first one is.
std::string Differences(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
  size_t count = 0, first = 0;
  for (size_t i = 0; i < got.size() && got.size() == want.size(); ++i) {
    if (got[i] != want[i] && count++ == 0) first = i / 3;
  }
  if (got.size() != want.size()) return "sizes differ";
  return count == 0 ? "" : std::to_string(count) + " bytes differ, first at pixel " + std::to_string(first % kTextModeWidth) +
                               "," + std::to_string(first / kTextModeWidth);
}

std::vector<uint8_t> DrawAtWindowSize() {
  DrawTextScreen(kTextModeWidth, kTextModeHeight);
  return ReadBackBuffer(kTextModeWidth, kTextModeHeight);
}

using TextModeRenderer = WindowTest;

// Every attribute with every slot of the show's glyph image: each pixel in
// the foreground colour where the slot's glyph (x = 8 (2 slot + 1), y = 8)
// is lit, else in the background colour of the text-mode palette (half a
// channel is 128, three quarters 191). Then glyph images of the wrong size,
// as the rasteriser reads them: smaller (only slot 0 inside), a strip of
// rows 8..11, what a PNG that fails to decode leaves, fewer pixels than the
// size says, none at all, and larger.
TEST_F(TextModeRenderer, DrawsTheGlyphsInThePaletteAsTheRasteriserDoes) {
  constexpr uint32_t kPalette[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080, 0x808000, 0xBFBFBF,
                                     0x808080, 0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
  GlyphCell* glyphs = GlyphCells();
  for (int i = 0; i < kScreenCells; ++i) glyphs[i] = GlyphCell{static_cast<uint32_t>(i % 256), i / 256 % 16};
  Bitmap* image = LoadBitmap("textmodechars.png");
  std::vector<uint8_t> want(static_cast<size_t>(kTextModeWidth) * kTextModeHeight * 3);
  for (size_t i = 0; i < want.size(); ++i) {
    const size_t x = i / 3 % kTextModeWidth, y = i / 3 / kTextModeWidth;
    const GlyphCell& g = glyphs[y / 8 * kScreenWidth + x / 8];
    const bool lit = image->pixels[(8 + y % 8) * 256 + 8 * (2 * static_cast<size_t>(g.slot) + 1) + x % 8] != 0;
    want[i] = static_cast<uint8_t>(kPalette[lit ? g.attribute & 15 : g.attribute >> 4] >> (16 - 8 * (i % 3)));
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
