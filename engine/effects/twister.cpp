#include "engine/effects/twister.h"

#include <cmath>

#include "engine/core/float_math.h"
#include "engine/effects/effects.h"
#include "engine/effects/pixel_lookup.h"
#include "engine/resources/bitmap.h"

namespace {

constexpr Cell kBackground = MakeRampCell(kHueDefault, 70, kSaturationHalf);   // 0x01E64632
constexpr Cell kBarCell = MakeRampCell(kHueDefault, 0, kSaturationHalf);       // 0x01E60032
constexpr int kFirstBarColumn = 3;          // the map's column 0 on screen
constexpr uint32_t kMinBarRed = 11;         // red 0..10: the bar does not cover the pixel
constexpr uint32_t kTextureRows = 255;      // texture rows wrap modulo 255
constexpr uint32_t kTextureColumns = 255;   // red 255 reads column 0

// sin evaluated in double on a float argument, rounded back to float.
}  // namespace

TwisterFrame TwisterFrameAt(uint32_t localMs) {
  const float t = static_cast<float>(localMs);
  TwisterFrame f;
  // The bar turns a map row every 20 ms plus a swing of up to 50 rows.
  const float turn = SinF(t / 250.0f) * SinF(t / 340.0f) * 50.0f + t / 20.0f;
  f.base = static_cast<int32_t>(turn) + 50;
  f.twist = SinF(t / 500.0f) * SinF(t / 280.0f) * SinF(t / 1460.0f) * 5.5f;
  f.rowShift = 5.0f - f.twist * 0.5f;
  f.scroll = localMs >> 3;
  return f;
}

int32_t TwisterMapRow(const TwisterFrame& frame, int r) {
  // The sum is at least 231 within the show; kept non-negative for any input.
  const int64_t sum = int64_t{static_cast<int32_t>(static_cast<float>(r) * frame.twist + 0.5f)} + frame.base + 500;
  const int64_t row = sum % kTwisterMapRows;
  return static_cast<int32_t>(row < 0 ? row + kTwisterMapRows : row);
}

int32_t TwisterRowShift(const TwisterFrame& frame, int r) {
  return static_cast<int32_t>(frame.rowShift * static_cast<float>(r));
}

float TwisterRowLight(int r) { return SinF(static_cast<float>(r) * 0.0625f) * 1.2f; }

uint32_t TwisterLevel(uint32_t texel, uint32_t mapRed, uint32_t mapBlue, float rowLight) {
  float s = static_cast<float>(255 - static_cast<int32_t>(mapBlue)) / 255.0f * rowLight;
  if (mapRed < 70 || mapRed > 250) s = s + 0.3f;
  if (s < 0.0f) s = 0.0f;
  return static_cast<uint32_t>(static_cast<float>(texel) * s);
}

EffectTwister::EffectTwister(const char* effectName, uint32_t start, uint32_t end) : Effect(effectName, start, end) {
  uvMap = LoadBitmap("uvtwist.png");
  textureA = LoadBitmap("twisttex.png");
  textureB = LoadBitmap("twisttex2.png");
}

EffectTwister::~EffectTwister() {
  ReleaseBitmap(uvMap);
  ReleaseBitmap(textureA);
  ReleaseBitmap(textureB);
}

void EffectTwister::Render() {
  const TwisterFrame frame = TwisterFrameAt(LocalTimeMs());
  for (int i = 0; i < kScreenCells; ++i) target[i] = kBackground;

  for (int r = 0; r < kScreenHeight; ++r) {
    const int64_t mapRow = TwisterMapRow(frame, r);
    const uint32_t shift = static_cast<uint32_t>(TwisterRowShift(frame, r));
    const float light = TwisterRowLight(r);
    Cell* line = target + r * kScreenWidth + kFirstBarColumn;
    for (int j = 0; j < kTwisterMapWidth; ++j) {
      const uint32_t p = PixelOrZero(uvMap, mapRow * kTwisterMapWidth + j);
      const uint32_t red = CellRed(p), green = CellGreen(p), blue = CellBlue(p);
      if (red < kMinBarRed) continue;
      // Green: twice the face's texture row offset; below 2 picks the second texture.
      const uint32_t v = (frame.scroll + (green >> 1) + shift) % kTextureRows;
      const Bitmap* texture = green >= 2 ? textureA : textureB;
      const uint32_t texel = BlueOrZero(texture, int64_t{v} * 256 + red % kTextureColumns);
      line[j] = CellOrCarriedLevel(kBarCell, TwisterLevel(texel, red, blue, light));
    }
  }
}
