// The generated images, checked for the properties their readers depend on:
// the frame finishing (grain, vignette: blue of pixel i for cell i), the
// greetings letter drawing (blue >= 4 is a lit letter pixel) and the window
// renderer's glyph sheet (slot g at x = 8(2g+1), y = 8, pure black/white).

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <set>
#include <string>

#include "engine/core/decode.h"
#include "tests/showdata/decoded_image.h"
#include "tools/showdata/cp437_glyphs.h"
#include "tools/showdata/show_images.h"

namespace {

using showdata::RgbImage;

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A fresh, empty directory under the test's working directory.
std::filesystem::path FreshDir(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::current_path() / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// ---------------------------------------------------------------------------
// The table, the writer and determinism.

TEST(ShowDataImages, TableNamesEveryImageOnceWithItsSize) {
  struct Expected {
    const char* name;
    int width, height;
  };
  const Expected expected[] = {
      {"crud.png", 80, 50}, {"vignette.png", 80, 50}, {"3dfont.png", 336, 416}, {"textmodechars.png", 256, 256}};
  std::set<std::string> names;
  for (const showdata::ShowImage& entry : showdata::ShowImages()) {
    EXPECT_TRUE(names.insert(entry.fileName).second) << "twice: " << entry.fileName;
  }
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.name);
    const showdata::ShowImage* found = nullptr;
    for (const showdata::ShowImage& entry : showdata::ShowImages())
      if (std::strcmp(entry.fileName, e.name) == 0) found = &entry;
    ASSERT_NE(found, nullptr);
    const DecodedImage decoded = RoundTrip(found->generate());
    ASSERT_FALSE(decoded.rgb.empty());
    EXPECT_EQ(decoded.width, e.width);
    EXPECT_EQ(decoded.height, e.height);
  }
}

TEST(ShowDataImages, WritingTwiceGivesIdenticalFiles) {
  const std::filesystem::path a = FreshDir("determinism_a");
  const std::filesystem::path b = FreshDir("determinism_b");
  std::string error;
  ASSERT_TRUE(showdata::WriteShowImages(a.string(), error)) << error;
  ASSERT_TRUE(showdata::WriteShowImages(b.string(), error)) << error;
  for (const showdata::ShowImage& entry : showdata::ShowImages()) {
    SCOPED_TRACE(entry.fileName);
    const std::vector<uint8_t> first = ReadFile(a / entry.fileName);
    const std::vector<uint8_t> second = ReadFile(b / entry.fileName);
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == second);
    EXPECT_FALSE(std::filesystem::exists(a / (std::string(entry.fileName) + ".part")));
  }
}

TEST(ShowDataImages, PngRoundTripKeepsEveryPixel) {
  // A pattern with all three channels different, so a swapped channel order
  // or a wrong stride in the encoder shows.
  RgbImage image(7, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) image.SetRgb(x, y, static_cast<uint8_t>(x * 30), static_cast<uint8_t>(y * 90), static_cast<uint8_t>(255 - x - y));
  const DecodedImage decoded = RoundTrip(image);
  ASSERT_EQ(decoded.width, 7);
  ASSERT_EQ(decoded.height, 3);
  EXPECT_TRUE(decoded.rgb == image.rgb);
  EXPECT_EQ(decoded.Pixel(6, 2)[0], 180);
  EXPECT_EQ(decoded.Pixel(6, 2)[1], 180);
  EXPECT_EQ(decoded.Pixel(6, 2)[2], 247);

  std::vector<uint8_t> png;
  EXPECT_FALSE(showdata::EncodePng(RgbImage(), png));  // empty image
  RgbImage broken(4, 4);
  broken.rgb.resize(5);
  EXPECT_FALSE(showdata::EncodePng(broken, png));  // pixel array of the wrong size
}

TEST(ShowDataImages, WriterReportsWhatItCannotWrite) {
  std::string error;
  EXPECT_FALSE(showdata::WriteShowImages("no_such_directory/deeper", error));
  EXPECT_NE(error.find("no_such_directory/deeper"), std::string::npos);

  // A directory standing where an image should go cannot be replaced.
  const std::filesystem::path dir = FreshDir("blocked_output");
  std::filesystem::create_directory(dir / "vignette.png");
  error.clear();
  EXPECT_FALSE(showdata::WriteShowImages(dir.string(), error));
  EXPECT_NE(error.find("vignette.png"), std::string::npos) << error;
  EXPECT_FALSE(std::filesystem::exists(dir / "vignette.png.part"));
}

// ---------------------------------------------------------------------------
// crud.png: grain multiplying the glow, read through blue.

TEST(ShowDataCrud, MostlyBrightWithDarkSpecks) {
  const DecodedImage crud = RoundTrip(showdata::MakeCrud());
  ASSERT_EQ(crud.width * crud.height, 4000);
  int bright = 0, dark = 0;
  long sum = 0;
  for (int y = 0; y < crud.height; ++y) {
    for (int x = 0; x < crud.width; ++x) {
      const int b = crud.Blue(x, y);
      sum += b;
      if (b >= 200) ++bright;
      if (b < 160) ++dark;
    }
  }
  // Light through a dusty lens: the glow survives almost everywhere...
  EXPECT_GE(bright, 4000 * 85 / 100);
  EXPECT_GE(sum / 4000, 200);
  // ...but is broken up by specks and scratches, not a flat field.
  EXPECT_GE(dark, 40);
  EXPECT_LE(dark, 400);
}

// ---------------------------------------------------------------------------
// vignette.png: factor blue / 255 on each cell's own level.

TEST(ShowDataVignette, FullInTheMiddleFallingSmoothlyToTheEdges) {
  const DecodedImage v = RoundTrip(showdata::MakeVignette());
  ASSERT_EQ(v.width, 80);
  ASSERT_EQ(v.height, 50);
  for (int y = 20; y < 30; ++y)
    for (int x = 30; x < 50; ++x) EXPECT_EQ(v.Blue(x, y), 255) << x << "," << y;

  // Never brighter further out: along every row from the middle to either
  // side, and along every column from the middle up and down.
  for (int y = 0; y < 50; ++y) {
    for (int x = 40; x < 79; ++x) EXPECT_LE(v.Blue(x + 1, y), v.Blue(x, y)) << x << "," << y;
    for (int x = 39; x > 0; --x) EXPECT_LE(v.Blue(x - 1, y), v.Blue(x, y)) << x << "," << y;
  }
  for (int x = 0; x < 80; ++x) {
    for (int y = 25; y < 49; ++y) EXPECT_LE(v.Blue(x, y + 1), v.Blue(x, y)) << x << "," << y;
    for (int y = 24; y > 0; --y) EXPECT_LE(v.Blue(x, y - 1), v.Blue(x, y)) << x << "," << y;
  }

  // Mirror-symmetric about the middle (pixel centres at x + 0.5, y + 0.5).
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 80; ++x) EXPECT_EQ(v.Blue(x, y), v.Blue(79 - x, 49 - y));

  // A soft edge: the corners keep some light, the edge centres most of it,
  // and no step between neighbours is abrupt.
  for (int corner : {v.Blue(0, 0), v.Blue(79, 0), v.Blue(0, 49), v.Blue(79, 49)}) {
    EXPECT_GE(corner, 90);
    EXPECT_LE(corner, 120);
  }
  for (int edge : {v.Blue(40, 0), v.Blue(40, 49), v.Blue(0, 25), v.Blue(79, 25)}) {
    EXPECT_GE(edge, 170);
    EXPECT_LE(edge, 200);
  }
  int full = 0;
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 80; ++x) {
      if (v.Blue(x, y) == 255) ++full;
      if (x + 1 < 80) {
        EXPECT_LE(std::abs(v.Blue(x + 1, y) - v.Blue(x, y)), 16);
      }
      if (y + 1 < 50) {
        EXPECT_LE(std::abs(v.Blue(x, y + 1) - v.Blue(x, y)), 24);
      }
    }
  }
  EXPECT_GE(full, 4000 * 40 / 100);
  EXPECT_LE(full, 4000 * 65 / 100);
}

// ---------------------------------------------------------------------------
// 3dfont.png: letter k in rows 16k.., frame f in columns 16f..; blue >= 4 lit.

struct FrameBox {
  int lit = 0;  // pixels with blue >= 4
  int x0 = 16, x1 = -1, y0 = 16, y1 = -1;
};

FrameBox BoxOf(const DecodedImage& font, int letter, int frame) {
  FrameBox box;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      if (font.Blue(16 * frame + x, 16 * letter + y) < 4) continue;
      ++box.lit;
      box.x0 = std::min(box.x0, x);
      box.x1 = std::max(box.x1, x);
      box.y0 = std::min(box.y0, y);
      box.y1 = std::max(box.y1, y);
    }
  }
  return box;
}

class ShowDataFont3d : public testing::Test {
 protected:
  static void SetUpTestSuite() { font_ = new DecodedImage(RoundTrip(showdata::Make3dFont())); }
  static void TearDownTestSuite() {
    delete font_;
    font_ = nullptr;
  }
  static bool Lit(int letter, int frame, int x, int y) {
    return font_->Blue(16 * frame + x, 16 * (letter - 'a') + y) >= 4;
  }
  static DecodedImage* font_;
};

DecodedImage* ShowDataFont3d::font_ = nullptr;

TEST_F(ShowDataFont3d, SizeAndCleanBackground) {
  ASSERT_EQ(font_->width, 336);
  ASSERT_EQ(font_->height, 416);
  // Every pixel is plainly background (0) or plainly lit (4 or more): no
  // faint values that the letter drawing would half-draw (blue 2..3 add
  // nothing, 4 adds level 2).
  int background = 0;
  for (int y = 0; y < 416; ++y) {
    for (int x = 0; x < 336; ++x) {
      const int b = font_->Blue(x, y);
      EXPECT_TRUE(b == 0 || b >= 4) << x << "," << y << " = " << b;
      if (b == 0) ++background;
    }
  }
  EXPECT_GT(background, 336 * 416 / 3);
}

TEST_F(ShowDataFont3d, EveryFrameOfEveryLetterDrawsInsideItsCell) {
  for (int k = 0; k < 26; ++k) {
    for (int f = 0; f < 21; ++f) {
      SCOPED_TRACE(testing::Message() << "letter " << static_cast<char>('a' + k) << " frame " << f);
      const FrameBox box = BoxOf(*font_, k, f);
      ASSERT_GT(box.lit, 0);
      // A border pixel would touch the neighbouring frame or letter and look
      // cut off.
      EXPECT_GT(box.x0, 0);
      EXPECT_LT(box.x1, 15);
      EXPECT_GT(box.y0, 0);
      EXPECT_LT(box.y1, 15);
    }
  }
}

TEST_F(ShowDataFont3d, FacingFrameIsCentredAndTurnedFramesAreNarrower) {
  for (int k = 0; k < 26; ++k) {
    SCOPED_TRACE(testing::Message() << "letter " << static_cast<char>('a' + k));
    const FrameBox facing = BoxOf(*font_, k, 10);
    // Centred on the turning axis, which runs between columns 7 and 8.
    EXPECT_LE(std::abs(facing.x0 - (15 - facing.x1)), 1);
    EXPECT_LE(std::abs(facing.y0 - (15 - facing.y1)), 1);
    EXPECT_GE(facing.y1 - facing.y0 + 1, 11);  // letters 12 pixels high, give or take edges

    // Turned away, a letter shows less of its face: frames 0 and 20 are
    // edge-on. (The I is hardly wider than it is deep, so it stays alike.)
    if (k == 'i' - 'a') continue;
    const int facingWidth = facing.x1 - facing.x0 + 1;
    for (int f : {0, 20}) {
      const FrameBox edgeOn = BoxOf(*font_, k, f);
      EXPECT_LE(edgeOn.x1 - edgeOn.x0 + 1, 6) << "frame " << f;  // 4 pixels deep, plus edges
      EXPECT_LT(edgeOn.x1 - edgeOn.x0 + 1, facingWidth) << "frame " << f;
    }
    for (int f : {1, 19}) {
      const FrameBox turned = BoxOf(*font_, k, f);
      EXPECT_LE(turned.x1 - turned.x0 + 1, facingWidth) << "frame " << f;
    }
  }
}

TEST_F(ShowDataFont3d, FramesTurnStepByStep) {
  for (int k = 0; k < 26; ++k) {
    for (int f = 0; f < 20; ++f) {
      // Neighbouring frames differ: the letter keeps turning.
      int changed = 0;
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
          if (font_->Blue(16 * f + x, 16 * k + y) != font_->Blue(16 * (f + 1) + x, 16 * k + y)) ++changed;
      EXPECT_GT(changed, 0) << static_cast<char>('a' + k) << " frames " << f << "," << f + 1;
    }
  }
  EXPECT_DOUBLE_EQ(showdata::FontFrameAngle(10), 0.0);
  EXPECT_NEAR(showdata::FontFrameAngle(0), -std::numbers::pi / 2, 1e-12);
  EXPECT_NEAR(showdata::FontFrameAngle(20), std::numbers::pi / 2, 1e-12);
  EXPECT_NEAR(showdata::FontFrameAngle(15), std::asin(0.5), 1e-12);
  for (int f = 0; f < 20; ++f) EXPECT_LT(showdata::FontFrameAngle(f), showdata::FontFrameAngle(f + 1));
}

TEST_F(ShowDataFont3d, FacingLettersAreShadedAndDistinct) {
  for (int k = 0; k < 26; ++k) {
    std::set<int> levels;
    int brightest = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const int b = font_->Blue(16 * 10 + x, 16 * k + y);
        if (b >= 4) levels.insert(b);
        brightest = std::max(brightest, b);
      }
    // A lit face above the background of the greetings (levels 0..17) yet
    // dim enough not to bloom into a blob, and shading rather than a flat
    // stencil.
    EXPECT_GE(brightest, 40) << static_cast<char>('a' + k);
    EXPECT_LE(brightest, 70) << static_cast<char>('a' + k);
    EXPECT_GE(levels.size(), 8u) << static_cast<char>('a' + k);
  }
  for (int a = 0; a < 26; ++a) {
    for (int b = a + 1; b < 26; ++b) {
      int differ = 0;
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) differ += Lit('a' + a, 10, x, y) != Lit('a' + b, 10, x, y);
      EXPECT_GE(differ, 6) << static_cast<char>('a' + a) << " vs " << static_cast<char>('a' + b);
    }
  }
}

TEST_F(ShowDataFont3d, FacingLettersStandUprightAndUnmirrored) {
  // L: stem on the left over the whole height, foot on the right at the bottom
  // only. A flipped or mirrored rendering fails one of these.
  EXPECT_TRUE(Lit('l', 10, 4, 3));
  EXPECT_FALSE(Lit('l', 10, 11, 3));
  EXPECT_TRUE(Lit('l', 10, 11, 13));
  // F: arms on the right at the top and middle, nothing at the lower right.
  EXPECT_TRUE(Lit('f', 10, 11, 2));
  EXPECT_FALSE(Lit('f', 10, 11, 12));
  // P: bowl at the upper right, open below it.
  EXPECT_TRUE(Lit('p', 10, 12, 5));
  EXPECT_FALSE(Lit('p', 10, 12, 12));
  // O has a counter in the middle, H and X are solid there.
  EXPECT_FALSE(Lit('o', 10, 7, 7) && Lit('o', 10, 8, 8));
  EXPECT_TRUE(Lit('h', 10, 7, 8) || Lit('h', 10, 8, 8));
  EXPECT_TRUE(Lit('x', 10, 7, 8) || Lit('x', 10, 8, 8));
  // H is open above and below its bar, in the middle columns.
  EXPECT_FALSE(Lit('h', 10, 8, 3));
  EXPECT_FALSE(Lit('h', 10, 8, 13));
}

// ---------------------------------------------------------------------------
// textmodechars.png: glyph slots of the window renderer.

TEST(ShowDataTextModeChars, SlotsHoldTheShadingGlyphsAndNothingElse) {
  const DecodedImage sheet = RoundTrip(showdata::MakeTextModeChars());
  ASSERT_EQ(sheet.width, 256);
  ASSERT_EQ(sheet.height, 256);
  auto inSlot = [](int x, int y, int& slot) {
    if (y < 8 || y >= 16) return false;
    if (x < 8 || x >= 8 * 32) return false;
    const int block = x / 8;  // 1, 3, 5, ..., 31 hold slots 0..15
    if (block % 2 == 0) return false;
    slot = block / 2;
    return true;
  };
  int ink[16] = {};
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const uint8_t* p = sheet.Pixel(x, y);
      const bool black = p[0] == 0 && p[1] == 0 && p[2] == 0;
      const bool white = p[0] == 255 && p[1] == 255 && p[2] == 255;
      ASSERT_TRUE(black || white) << x << "," << y;
      int slot = -1;
      if (!inSlot(x, y, slot)) {
        EXPECT_TRUE(black) << "ink outside the slots at " << x << "," << y;
      } else if (white) {
        ++ink[slot];
      }
    }
  }
  EXPECT_EQ(ink[0], 0);   // space
  EXPECT_EQ(ink[15], 0);  // space
  // The ramp's first half grows from empty to dense.
  for (int g = 1; g < 8; ++g) {
    EXPECT_GT(ink[g], 0) << g;
    EXPECT_GE(ink[g], ink[g - 1]) << g;
  }
  // Same character, same pixels; different characters, different pixels.
  // The ramp repeats its characters mirrored (slot g and 15 - g), except the
  // middle pair (sun, section sign).
  int samePairs = 0;
  for (int g = 0; g < 16; ++g) {
    for (int h = g + 1; h < 16; ++h) {
      int differ = 0;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          differ += sheet.Blue(8 * (2 * g + 1) + x, 8 + y) != sheet.Blue(8 * (2 * h + 1) + x, 8 + y);
      if (ShadeGlyphs[g] == ShadeGlyphs[h]) {
        EXPECT_EQ(differ, 0) << "slots " << g << " and " << h;
        ++samePairs;
      } else {
        EXPECT_GT(differ, 0) << "slots " << g << " and " << h;
      }
    }
  }
  EXPECT_EQ(samePairs, 7);  // 0/15, 1/14, ..., 6/9
}

TEST(ShowDataTextModeChars, SlotsMatchTheGlyphDesigns) {
  const DecodedImage sheet = RoundTrip(showdata::MakeTextModeChars());
  for (int g = 0; g < kShadeCount; ++g) {
    bool found = false;
    const showdata::Glyph8x8 glyph = showdata::Cp437Glyph(ShadeGlyphs[g], &found);
    EXPECT_TRUE(found) << "character " << int(ShadeGlyphs[g]);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        const bool set = (glyph.rows[y] >> (7 - x)) & 1;  // bit 7 leftmost
        EXPECT_EQ(sheet.Blue(8 * (2 * g + 1) + x, 8 + y), set ? 255 : 0) << "slot " << g << " " << x << "," << y;
      }
  }
  // The shapes that are symmetric in the text-mode font are left-right
  // symmetric here too (a reversed bit order would still pass them, but not
  // the slot comparison above).
  for (uint8_t code : {7, 9, 15, 43, 79, 250}) {
    const showdata::Glyph8x8 glyph = showdata::Cp437Glyph(code);
    for (int y = 0; y < 8; ++y) {
      uint8_t mirrored = 0;
      for (int x = 0; x < 8; ++x)
        if (glyph.rows[y] & (1 << x)) mirrored |= static_cast<uint8_t>(0x80 >> x);
      EXPECT_EQ(mirrored, glyph.rows[y]) << "character " << int(code) << " row " << y;
    }
  }
  bool found = true;
  const showdata::Glyph8x8 none = showdata::Cp437Glyph('A', &found);
  EXPECT_FALSE(found);
  for (uint8_t row : none.rows) EXPECT_EQ(row, 0);
}

}  // namespace
