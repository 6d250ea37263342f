#include <SDL.h>
#include <stb_image.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/core/decode.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/bitmap.h"
#include "frontends/gl/window_frame.h"
#include "tests/gl/gl_test_support.h"
#include "tests/gl/test_display.h"
#include "tests/support/test_bitmaps.h"

namespace {

namespace fs = std::filesystem;

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

Rgb PixelAt(const std::vector<uint8_t>& rgb, int width, int x, int y) {
  const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
  return {p[0], p[1], p[2]};
}

Rgb PaletteRgb(int colour) { return {PaletteByte(colour, 0), PaletteByte(colour, 1), PaletteByte(colour, 2)}; }

std::string Describe(Rgb c) {
  return "(" + std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + ")";
}

// Draws the glyph records into the 640 x 400 window and reads them back.
std::vector<uint8_t> DrawAtWindowSize() {
  DrawTextScreen(kTextModeWidth, kTextModeHeight);
  return ReadBackBuffer(kTextModeWidth, kTextModeHeight);
}

std::vector<uint8_t> Rasterise(const GlyphCell* glyphs, const Bitmap& image) {
  std::vector<uint8_t> rgb(static_cast<size_t>(kTextModeWidth) * kTextModeHeight * 3);
  RasteriseTextMode(glyphs, image, rgb.data());
  return rgb;
}

// How many pixels differ, and where the first one is.
std::string FirstDifference(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want, int width) {
  int count = 0;
  std::string first;
  for (size_t i = 0; i + 2 < got.size() && i + 2 < want.size(); i += 3) {
    if (got[i] == want[i] && got[i + 1] == want[i + 1] && got[i + 2] == want[i + 2]) continue;
    if (count++ == 0) {
      const int pixel = static_cast<int>(i / 3);
      first = " first at (" + std::to_string(pixel % width) + "," + std::to_string(pixel / width) + "): " +
              Describe({got[i], got[i + 1], got[i + 2]}) + " instead of " +
              Describe({want[i], want[i + 1], want[i + 2]});
    }
  }
  if (got.size() != want.size()) return "sizes differ";
  return count == 0 ? std::string() : std::to_string(count) + " pixels differ;" + first;
}

// ---------------------------------------------------------------------------
// Geometry and texels: no GL needed.

TEST(TextModeGeometry, UniformScaleWithCentredBars) {
  struct Case {
    int w, h;
    float scale, offsetX, offsetY, cell;
  };
  const Case cases[] = {
      {640, 400, 1.0f, 0.0f, 0.0f, 8.0f},
      {1280, 800, 2.0f, 0.0f, 0.0f, 16.0f},       // no bars
      {1920, 1080, 2.7f, 96.0f, 0.0f, 21.6f},     // the height decides: bars left and right
      {800, 1000, 1.25f, 0.0f, 250.0f, 10.0f},    // the width decides: bars top and bottom
  };
  for (const Case& c : cases) {
    const ViewFit fit = FitTextScreen(c.w, c.h);
    EXPECT_FLOAT_EQ(fit.scale, c.scale) << c.w << "x" << c.h;
    EXPECT_NEAR(fit.offsetX, c.offsetX, 1e-3) << c.w << "x" << c.h;
    EXPECT_NEAR(fit.offsetY, c.offsetY, 1e-3) << c.w << "x" << c.h;
    EXPECT_NEAR(fit.cell, c.cell, 1e-4) << c.w << "x" << c.h;
  }
}

TEST(GlyphTexels, BlueGreenRedBlueOfEachPixel) {
  Bitmap* image = MakeFilledBitmap(256, 256, 0);
  image->pixels[0] = 0x123456;
  image->pixels[255 * 256 + 255] = 0xFFFFFF;
  image->pixels[9 * 256 + 17] = 0xA0B0C0;
  std::vector<uint8_t> texels(kGlyphTexels * 4, 0xEE);
  BuildGlyphTexels(*image, texels.data());
  const uint8_t first[4] = {0x56, 0x34, 0x12, 0x56};
  EXPECT_EQ(std::memcmp(&texels[0], first, 4), 0);
  const uint8_t grey[4] = {0xC0, 0xB0, 0xA0, 0xC0};
  EXPECT_EQ(std::memcmp(&texels[(9 * 256 + 17) * 4], grey, 4), 0);
  const uint8_t white[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(std::memcmp(&texels[(255 * 256 + 255) * 4], white, 4), 0);
  const uint8_t black[4] = {0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(&texels[(9 * 256 + 18) * 4], black, 4), 0);
  ReleaseBitmap(image);
}

TEST(GlyphTexels, ImagesOfTheWrongSizeAreReadOnlyWhereTheyHavePixels) {
  // Smaller: its own pixels at the same (x, y), black elsewhere.
  Bitmap* small = MakeFilledBitmap(10, 3, 0xFFFFFF);
  std::vector<uint8_t> texels(kGlyphTexels * 4, 0xEE);
  BuildGlyphTexels(*small, texels.data());
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const uint8_t want = (x < 10 && y < 3) ? 0xFF : 0;
      for (int c = 0; c < 4; ++c) ASSERT_EQ(texels[(y * 256 + x) * 4 + c], want) << x << "," << y;
    }
  }
  ReleaseBitmap(small);

  // Wider and taller: its top-left 256 x 256 pixels, rows kept apart.
  Bitmap* large = MakeFilledBitmap(300, 260, 0);
  large->pixels[1 * 300 + 0] = 0x0000FF;      // (0, 1)
  large->pixels[0 * 300 + 299] = 0x0000FF;    // (299, 0): outside the texture
  BuildGlyphTexels(*large, texels.data());
  EXPECT_EQ(texels[(1 * 256 + 0) * 4], 0xFF);
  EXPECT_EQ(texels[(0 * 256 + 43) * 4], 0);   // where a 256-wide reading would put (299, 0)
  ReleaseBitmap(large);

  // A bitmap holding fewer pixels than its size says, and one with none.
  Bitmap* shortOfPixels = MakeFilledBitmap(16, 1, 0xFFFFFF);
  shortOfPixels->height = 256;   // 16 pixels behind a 16 x 256 claim
  BuildGlyphTexels(*shortOfPixels, texels.data());
  EXPECT_EQ(texels[15 * 4], 0xFF);
  EXPECT_EQ(texels[(1 * 256) * 4], 0);
  ReleaseBitmap(shortOfPixels);

  Bitmap empty{0, nullptr, 256, 256};
  BuildGlyphTexels(empty, texels.data());
  for (size_t i = 0; i < texels.size(); ++i) ASSERT_EQ(texels[i], 0) << i;
}

// ---------------------------------------------------------------------------
// Drawn by OpenGL in the window.

using TextModeRenderer = WindowTest;

TEST_F(TextModeRenderer, BeforeAnyFrameEveryCellIsBlackOnBlack) {
  const std::vector<uint8_t> rgb = DrawAtWindowSize();
  for (size_t i = 0; i < rgb.size(); ++i) ASSERT_EQ(rgb[i], 0) << "byte " << i;
}

TEST_F(TextModeRenderer, EveryCellShowsItsGlyphInItsPaletteColours) {
  Bitmap* image = LoadBitmap("textmodechars.png");
  ASSERT_EQ(image->width, 256u);
  ASSERT_EQ(image->height, 256u);
  for (int32_t i = 0; i < image->pixelCount; ++i) {
    ASSERT_TRUE(image->pixels[i] == 0 || image->pixels[i] == 0xFFFFFF) << "glyph image pixel " << i;
  }
  // Every attribute with every slot, over 16 screens.
  GlyphCell* glyphs = GlyphCells();
  for (int pass = 0; pass < kShadeCount; ++pass) {
    for (int i = 0; i < kScreenCells; ++i) {
      glyphs[i] = GlyphCell{static_cast<uint32_t>(i % 256), (pass + i / 256) % kShadeCount};
    }
    const std::vector<uint8_t> rgb = DrawAtWindowSize();
    int wrong = 0;
    for (int cell = 0; cell < kScreenCells && wrong < 5; ++cell) {
      const int fg = static_cast<int>(glyphs[cell].attribute & 15);
      const int bg = static_cast<int>(glyphs[cell].attribute >> 4);
      const int cx = cell % kScreenWidth, cy = cell / kScreenWidth;
      for (int py = 0; py < 8; ++py) {
        for (int px = 0; px < 8; ++px) {
          const uint32_t p = image->pixels[(GlyphSlotY() + py) * 256 + GlyphSlotX(glyphs[cell].slot) + px];
          const Rgb want = PaletteRgb(p != 0 ? fg : bg);
          const Rgb got = PixelAt(rgb, kTextModeWidth, cx * 8 + px, cy * 8 + py);
          if (got != want && wrong++ < 5) {
            ADD_FAILURE() << "pass " << pass << " cell " << cell << " attribute " << glyphs[cell].attribute
                          << " slot " << glyphs[cell].slot << " pixel " << px << "," << py << ": "
                          << Describe(got) << " instead of " << Describe(want);
          }
        }
      }
    }
  }
  ReleaseBitmap(image);
}

TEST_F(TextModeRenderer, HalfAndThreeQuarterChannelsRoundAsThePaletteBytes) {
  // Eight-bit framebuffer values of the palette's 0.5 and 0.75 channels.
  GlyphCell* glyphs = GlyphCells();
  for (int i = 0; i < kScreenCells; ++i) glyphs[i] = GlyphCell{static_cast<uint32_t>((i % 16) << 4), 0};
  const std::vector<uint8_t> rgb = DrawAtWindowSize();
  EXPECT_EQ(PixelAt(rgb, kTextModeWidth, 4 * 8, 0), (Rgb{128, 0, 0}));      // dark red, 0.5
  EXPECT_EQ(PixelAt(rgb, kTextModeWidth, 7 * 8, 0), (Rgb{191, 191, 191}));  // light grey, 0.75
  for (int colour = 0; colour < 16; ++colour) {
    EXPECT_EQ(PixelAt(rgb, kTextModeWidth, colour * 8 + 3, 3), PaletteRgb(colour)) << colour;
  }
}

TEST_F(TextModeRenderer, DecodedScreenMatchesTheHeadlessRasteriser) {
  // Ramp cells of every row, level and both saturation sides, RGB cells and
  // a literal cell, whose record must stay as it was.
  Cell* cells = TextScreen::Get()->cells;
  for (int i = 0; i < kScreenCells; ++i) {
    const uint32_t hue = static_cast<uint32_t>((i * 7) % kRampRows) * 10;
    const uint32_t saturation = (i / 81) % 2 == 0 ? 5 : kSaturationFull;
    cells[i] = MakeRampCell(hue, static_cast<uint32_t>(i % 81), saturation);
    if (i % 5 == 0) cells[i] = static_cast<Cell>(i * 0x010305u) & 0x00FFFFFFu;
  }
  cells[123] = (kCellKindLiteral << 24) | (0x1Fu << 8) | 'A';
  GlyphCell* glyphs = GlyphCells();
  glyphs[123] = GlyphCell{0x2E, 7};

  std::vector<GlyphCell> expected(glyphs, glyphs + kScreenCells);
  DecodeToGlyphCells(cells, expected.data());
  PrepareGlyphCells();
  EXPECT_EQ(glyphs[123].attribute, 0x2Eu);
  EXPECT_EQ(glyphs[123].slot, 7);

  Bitmap* image = LoadBitmap("textmodechars.png");
  const std::vector<uint8_t> want = Rasterise(expected.data(), *image);
  const std::vector<uint8_t> got = DrawAtWindowSize();
  EXPECT_EQ(FirstDifference(got, want, kTextModeWidth), "");
  ReleaseBitmap(image);
}

TEST_F(TextModeRenderer, ShowFramesMatchDemoRenderPngs) {
  const fs::path dir = fs::current_path() / "demo_render_frames";
  fs::remove_all(dir);
  fs::create_directories(dir);
  // A frame of every effect of the programme, cross-fades among them.
  for (uint32_t timeMs : {0u, 1500u, 8000u, 30000u, 60000u, 85000u, 115000u, 145000u, 158500u, 170000u, 187500u,
                          195000u}) {
    const std::string png = (dir / ("frame_" + std::to_string(timeMs) + ".png")).string();
    ASSERT_EQ(RunCommand({DEMO_RENDER_PATH, "--time", std::to_string(timeMs), "--out", png}, 120000), 0) << timeMs;
    int w = 0, h = 0, n = 0;
    unsigned char* decoded = stbi_load(png.c_str(), &w, &h, &n, 3);
    ASSERT_NE(decoded, nullptr) << png;
    ASSERT_EQ(w, kTextModeWidth);
    ASSERT_EQ(h, kTextModeHeight);
    const std::vector<uint8_t> want(decoded, decoded + static_cast<size_t>(w) * h * 3);
    stbi_image_free(decoded);

    // The same single frame of a freshly built show, as demo_render makes it.
    BuildShow();
    RenderFrame(timeMs);
    PrepareGlyphCells();
    const std::vector<uint8_t> got = DrawAtWindowSize();
    TearDownShow();
    EXPECT_EQ(FirstDifference(got, want, kTextModeWidth), "") << "at " << timeMs << " ms";
  }
}

TEST_F(TextModeRenderer, GlyphImagesOfTheWrongSizeDrawAsTheRasteriserReadsThem) {
  Bitmap* small = MakeFilledBitmap(16, 16, 0xFFFFFF);   // only slot 0 lies inside
  Bitmap* strip = MakeFilledBitmap(200, 12, 0);          // slots 0..11, rows 8..11 only
  for (uint32_t i = 0; i < 200 * 12; ++i) strip->pixels[i] = (i * 7) % 3 == 0 ? 0xFFFFFF : 0;
  Bitmap* undecoded = MakeFilledBitmap(80, 50, 0);        // what a PNG that fails to decode leaves
  Bitmap* shortOfPixels = MakeFilledBitmap(256, 12, 0xFFFFFF);
  shortOfPixels->height = 256;
  GlyphCell* glyphs = GlyphCells();
  for (int i = 0; i < kScreenCells; ++i) glyphs[i] = GlyphCell{static_cast<uint32_t>((i * 37) % 256), i % 16};
  for (Bitmap* image : {small, strip, undecoded, shortOfPixels}) {
    ASSERT_TRUE(SetUpGLWithImage(*image));
    const std::vector<uint8_t> want = Rasterise(glyphs, *image);
    EXPECT_EQ(FirstDifference(DrawAtWindowSize(), want, kTextModeWidth), "") << image->width << "x" << image->height;
    ReleaseBitmap(image);
  }
}

// Solid cells coloured by position, so that every pixel tells its cell.
int PatternColour(int column, int row) { return (column + 2 * row) % 16; }

void CheckLetterbox(int width, int height, double offsetX, double offsetY, double cell) {
  GlyphCell* glyphs = GlyphCells();
  for (int i = 0; i < kScreenCells; ++i) {
    const uint32_t colour = static_cast<uint32_t>(PatternColour(i % kScreenWidth, i / kScreenWidth));
    glyphs[i] = GlyphCell{colour << 4 | colour, 0};
  }
  DrawTextScreen(width, height);
  const std::vector<uint8_t> rgb = ReadBackBuffer(width, height);
  int wrong = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // The cell whose quad covers the pixel's centre; the bars are black.
      const double column = std::floor((x + 0.5 - offsetX) / cell);
      const double row = std::floor((y + 0.5 - offsetY) / cell);
      Rgb want{0, 0, 0};
      if (column >= 0 && column < kScreenWidth && row >= 0 && row < kScreenHeight) {
        want = PaletteRgb(PatternColour(static_cast<int>(column), static_cast<int>(row)));
      }
      const Rgb got = PixelAt(rgb, width, x, y);
      if (got != want && wrong++ < 5) {
        ADD_FAILURE() << width << "x" << height << " pixel " << x << "," << y << ": " << Describe(got)
                      << " instead of " << Describe(want);
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(TextModeRenderer, At1280By800CellsAre16PixelsWithoutBars) {
  SDL_Window* window = TheWindow().window;
  SDL_SetWindowSize(window, 1280, 800);
  int width = 0, height = 0;
  for (int tries = 0; tries < 200 && (width != 1280 || height != 800); ++tries) {
    PumpMessages();
    GetClientSize(&width, &height);
    SleepMs(10);
  }
  ASSERT_EQ(width, 1280);
  ASSERT_EQ(height, 800);
  PumpMessages();
  GLint viewport[4] = {};
  glGetIntegerv(GL_VIEWPORT, viewport);   // the size change reached ResizeView
  EXPECT_EQ(viewport[2], 1280);
  EXPECT_EQ(viewport[3], 800);
  // GL takes the window's new size at the next swap, as the show's next frame does.
  DrawAndShow();
  CheckLetterbox(1280, 800, 0.0, 0.0, 16.0);
}

TEST_F(TextModeRenderer, At1920By1080CellsAre21Point6PixelsWith96PixelBars) {
  CloseWindow();
  ASSERT_TRUE(OpenWindow(true));   // the desktop of the virtual display
  int width = 0, height = 0;
  GetClientSize(&width, &height);
  ASSERT_EQ(width, kDisplayWidth);
  ASSERT_EQ(height, kDisplayHeight);
  CheckLetterbox(1920, 1080, 96.0, 0.0, 21.6);
}

TEST_F(TextModeRenderer, ZeroHeightStillGetsAValidProjection) {
  for (int width : {640, 0}) {
    while (glGetError() != GL_NO_ERROR) {
    }
    ResizeView(width, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    const int w = width == 0 ? 1 : width;
    EXPECT_EQ(viewport[2], w);
    EXPECT_EQ(viewport[3], 1);
    // glOrtho(0, w, 1, 0, -1, 1): one unit per pixel, y downwards.
    GLfloat m[16] = {};
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    EXPECT_FLOAT_EQ(m[0], 2.0f / static_cast<float>(w));
    EXPECT_FLOAT_EQ(m[5], -2.0f);
    EXPECT_FLOAT_EQ(m[10], -1.0f);
    EXPECT_FLOAT_EQ(m[12], -1.0f);
    EXPECT_FLOAT_EQ(m[13], 1.0f);
    EXPECT_FLOAT_EQ(m[15], 1.0f);
    DrawTextScreen(width, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
  }
}

}  // namespace
