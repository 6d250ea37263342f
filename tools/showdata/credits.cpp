// The four credit pictures of the tunnel, 80 x 50, one pixel per screen cell.
// The tunnel takes blue / 2 as the weight of its own level: 127 (blue 254 or
// 255) keeps the tunnel as it is, 0 blacks it out. So the background is pure
// white and the letters are bold capitals of the 3D font's designs
// (letter_shapes), filled black and anti-aliased by coverage, set large
// enough that every stem is two to three cells wide.

#include <cmath>
#include <cstring>

#include "tools/showdata/letter_shapes.h"
#include "tools/showdata/tunnel_images.h"

namespace showdata {

namespace {

constexpr int kWidth = 80;    // one pixel per screen cell
constexpr int kHeight = 50;
constexpr double kLetterGap = 2.6;   // font pixels between letters at scale 1
constexpr double kSpace = 4.5;       // font pixels for a space at scale 1
constexpr double kEmbolden = 0.1;    // font pixels grown onto every outline
constexpr int kSamples = 5;          // supersamples per pixel along each axis
constexpr double kMaxWordWidth = 74.0;  // pixels: a word keeps 3 clear columns each side

// One line of capitals, centred on centreX.
struct Word {
  const char* text;   // lower-case letters and spaces
  double centreX;     // pixels
  double top;         // pixels, top of the capitals
  double scale;       // pixels per font pixel, reduced for words wider than kMaxWordWidth
};

double WordScale(const Word& word) {
  return std::fmin(word.scale, kMaxWordWidth / CreditWordWidth(word.text));
}

// Fraction of pixel (px, py) inside the word's letters.
double WordCoverage(const Word& word, int px, int py) {
  const double scale = WordScale(word);
  const double left = word.centreX - CreditWordWidth(word.text) * scale * 0.5;
  int inside = 0;
  for (int sy = 0; sy < kSamples; ++sy) {
    for (int sx = 0; sx < kSamples; ++sx) {
      const double x = px + (sx + 0.5) / kSamples;
      const double y = py + (sy + 0.5) / kSamples;
      const double fy = (y - word.top) / scale;   // font pixels
      if (fy < -1.0 || fy > kLetterHeight + 1.0) continue;
      double pen = left;
      for (const char* c = word.text; *c != '\0'; ++c) {
        if (*c == ' ') {
          pen += (kSpace + kLetterGap) * scale;
          continue;
        }
        const LetterShape shape = GetLetterShape(*c);
        const double fx = (x - pen) / scale;
        if (fx > -1.0 && fx < shape.width + 1.0 && LetterDistance(shape, fx, fy) < kEmbolden) {
          ++inside;
          break;
        }
        pen += (shape.width + kLetterGap) * scale;
      }
    }
  }
  return static_cast<double>(inside) / (kSamples * kSamples);
}

RgbImage MakeCredit(const Word* words, int count) {
  RgbImage image(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      double cover = 0.0;
      for (int i = 0; i < count; ++i) cover = std::fmax(cover, WordCoverage(words[i], x, y));
      image.SetGrey(x, y, static_cast<uint8_t>(std::lround(255.0 * (1.0 - cover))));
    }
  }
  return image;
}

}  // namespace

double CreditWordWidth(const char* word) {
  double width = 0.0;
  const size_t n = std::strlen(word);
  for (size_t i = 0; i < n; ++i) {
    width += word[i] == ' ' ? kSpace : GetLetterShape(word[i]).width;
    if (i + 1 < n) width += kLetterGap;
  }
  return width;
}

RgbImage MakeCreditPelkora() {
  const Word words[] = {{"pelkora", 40.0, 11.0, 1.0}, {"presents", 40.0, 29.0, 0.68}};
  return MakeCredit(words, 2);
}

RgbImage MakeCreditQx3() {
  const Word words[] = {{"lumen", 40.0, 8.0, 1.15}, {"gravel", 40.0, 27.0, 1.15}};
  return MakeCredit(words, 2);
}

RgbImage MakeCreditTovrik() {
  const Word words[] = {{"tovrik", 40.0, 17.0, 1.15}};
  return MakeCredit(words, 1);
}

RgbImage MakeCreditSambral() {
  const Word words[] = {{"sambral", 40.0, 18.0, 1.0}};
  return MakeCredit(words, 1);
}

}  // namespace showdata
