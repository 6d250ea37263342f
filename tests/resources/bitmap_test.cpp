// Bitmaps decoded from PNG resources, the fallback after a decoding failure,
// and the letter font holder.
#include "engine/resources/bitmap.h"
#include "tests/resources/resource_test_support.h"

namespace {

using BitmapTest = ResourceFixture;

TEST_F(BitmapTest, RgbPixelsBecomeRgbWords) {
  InstallPack({{"two.png", MakePng(2, 1, 3, {255, 0, 0, 0, 0, 255}), kPackMethodLzma}});
  Bitmap* bitmap = LoadBitmap("two.png");
  EXPECT_EQ(2u, bitmap->width);
  EXPECT_EQ(1u, bitmap->height);
  ASSERT_EQ(2, bitmap->pixelCount);
  EXPECT_EQ(0x00FF0000u, bitmap->pixels[0]);
  EXPECT_EQ(0x000000FFu, bitmap->pixels[1]);
  ReleaseBitmap(bitmap);
}

TEST_F(BitmapTest, RowsRunFromTheTop) {
  // 2 x 3: each component differs so any swap of channels, rows or columns shows.
  std::vector<uint8_t> samples = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 0xF8};
  InstallPack({{"rows.png", MakePng(2, 3, 3, samples), kPackMethodStored}});
  Bitmap bitmap;
  bitmap.Load("rows.png");
  ASSERT_EQ(6, bitmap.pixelCount);
  EXPECT_EQ(2u, bitmap.width);
  EXPECT_EQ(3u, bitmap.height);
  for (int i = 0; i < 6; ++i) {
    uint32_t expected = (uint32_t{samples[3 * i]} << 16) | (uint32_t{samples[3 * i + 1]} << 8) | samples[3 * i + 2];
    EXPECT_EQ(expected, bitmap.pixels[i]) << i;
  }
  delete[] bitmap.pixels;
}

TEST_F(BitmapTest, GreyPixelsHaveEqualComponents) {
  std::vector<uint8_t> greys = {0, 17, 128, 200, 254, 255};
  InstallPack({{"grey.png", MakePng(3, 2, 1, greys), kPackMethodLzma}});
  Bitmap* bitmap = LoadBitmap("grey.png");
  ASSERT_EQ(6, bitmap->pixelCount);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(greys[i] * 0x010101u, bitmap->pixels[i]) << i;
  ReleaseBitmap(bitmap);
}

TEST_F(BitmapTest, AlphaIsDropped) {
  InstallPack({{"alpha.png", MakePng(1, 1, 4, {10, 20, 30, 40}), kPackMethodLzma}});
  Bitmap* bitmap = LoadBitmap("alpha.png");
  ASSERT_EQ(1, bitmap->pixelCount);
  EXPECT_EQ(0x000A141Eu, bitmap->pixels[0]);
  ReleaseBitmap(bitmap);
}

TEST_F(BitmapTest, PngFileBesideTheProgramIsDecoded) {
  InstallPack({});
  WriteFileBytes("../data/file.png", MakePng(1, 2, 3, {9, 8, 7, 6, 5, 4}));
  Bitmap* bitmap = LoadBitmap("file.png");
  ASSERT_EQ(2, bitmap->pixelCount);
  EXPECT_EQ(0x00090807u, bitmap->pixels[0]);
  EXPECT_EQ(0x00060504u, bitmap->pixels[1]);
  ReleaseBitmap(bitmap);
}

// The failure line names the resource and gives a non-empty reason; the
// bitmap is 80 x 50 and all zero.
void ExpectFallback(const char* name, const std::string& printed, const Bitmap& bitmap) {
  std::string head = std::string("bitmap loading failed! ") + name + " (";
  ASSERT_GT(printed.size(), head.size() + 2) << printed;
  EXPECT_EQ(head, printed.substr(0, head.size())) << printed;
  EXPECT_EQ(")\n", printed.substr(printed.size() - 2)) << printed;
  EXPECT_EQ(printed.size() - 1, printed.find('\n')) << "one line: " << printed;
  EXPECT_EQ(80u, bitmap.width);
  EXPECT_EQ(50u, bitmap.height);
  ASSERT_EQ(4000, bitmap.pixelCount);
  int nonZero = 0;
  for (int i = 0; i < 4000; ++i) nonZero += bitmap.pixels[i] != 0;
  EXPECT_EQ(0, nonZero);
}

TEST_F(BitmapTest, NotAPngGivesMessageAndBlank80By50) {
  InstallPack({{"junk.png", Bytes("this is not a picture at all"), kPackMethodLzma}});
  testing::internal::CaptureStdout();
  Bitmap* bitmap = LoadBitmap("junk.png");
  std::string printed = testing::internal::GetCapturedStdout();
  ExpectFallback("junk.png", printed, *bitmap);
  ReleaseBitmap(bitmap);
}

TEST_F(BitmapTest, DamagedPngGivesMessageAndBlank80By50) {
  std::vector<uint8_t> png = MakePng(16, 16, 3, PatternBytes(16 * 16 * 3, 5));
  std::vector<uint8_t> half(png.begin(), png.begin() + png.size() / 2);
  InstallPack({{"half.png", half, kPackMethodLzma}});
  testing::internal::CaptureStdout();
  Bitmap* bitmap = LoadBitmap("half.png");
  std::string printed = testing::internal::GetCapturedStdout();
  ExpectFallback("half.png", printed, *bitmap);
  ReleaseBitmap(bitmap);
}

TEST_F(BitmapTest, OversizedPngGivesMessageAndBlank80By50) {
  // A header claiming 2^20 x 2^20 pixels: more than a 32-bit pixel count.
  std::vector<uint8_t> png = MakePng(2, 2, 3, PatternBytes(12, 6));
  ASSERT_EQ(0, std::memcmp(png.data() + 12, "IHDR", 4));
  for (size_t at : {size_t{16}, size_t{20}}) {
    png[at] = 0;
    png[at + 1] = 0x10;
    png[at + 2] = 0;
    png[at + 3] = 0;
  }
  InstallPack({{"huge.png", png, kPackMethodStored}});
  testing::internal::CaptureStdout();
  Bitmap* bitmap = LoadBitmap("huge.png");
  std::string printed = testing::internal::GetCapturedStdout();
  ExpectFallback("huge.png", printed, *bitmap);
  ReleaseBitmap(bitmap);
}

TEST_F(BitmapTest, MissingResourceEndsTheProgram) {
  InstallPack({});
  EXPECT_FATAL(LoadBitmap("nothere.png"), "^resource \"nothere.png\" not found\n$");
}

TEST_F(BitmapTest, LetterFontIsOneHolderOf3dfontPng) {
  InstallPack({{"3dfont.png", MakePng(4, 3, 1, PatternBytes(12, 9)), kPackMethodLzma}});
  EXPECT_EQ(nullptr, LetterFont::Get());
  LetterFont* font = LoadLetterFont();
  ASSERT_NE(nullptr, font);
  EXPECT_EQ(font, LetterFont::Get());
  ASSERT_NE(nullptr, font->bitmap);
  EXPECT_EQ(4u, font->bitmap->width);
  EXPECT_EQ(3u, font->bitmap->height);
  EXPECT_EQ(12, font->bitmap->pixelCount);
  EXPECT_EQ(font, LoadLetterFont());
  ReleaseLetterFont();
  EXPECT_EQ(nullptr, LetterFont::Get());
  ReleaseLetterFont();  // nothing left to release
}

TEST_F(BitmapTest, LoadCreatesTheTableWhenNoneExists) {
  // No table installed: Load builds the instance from the embedded pack,
  // which lacks this name, so the file in "./" is read.
  WriteFileBytes("local_only.png", MakePng(1, 1, 3, {1, 2, 3}));
  Bitmap* bitmap = LoadBitmap("local_only.png");
  ASSERT_EQ(1, bitmap->pixelCount);
  EXPECT_EQ(0x00010203u, bitmap->pixels[0]);
  ReleaseBitmap(bitmap);
  ResourceTable* table = ResourceTable::Instance();
  EXPECT_EQ(0, std::strcmp("local_only.png", table->entries[table->count - 1].name));
}

}  // namespace
