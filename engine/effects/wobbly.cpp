#include "engine/effects/wobbly.h"

#include <cmath>

#include "engine/core/float_math.h"
#include "engine/effects/bloom.h"
#include "engine/effects/effects.h"
#include "engine/effects/pixel_lookup.h"
#include "engine/effects/warp.h"
#include "engine/resources/bitmap.h"

const char kGreetingsText[] =
    "greets to  krumb  delta vortex  amber lighthouse  mindsquall  plexon  gravitas  and all other text mode freaks";
static_assert(sizeof kGreetingsText == kGreetingsLength + 1);

namespace {

constexpr int kGlyphSize = 16;         // font pixels = screen cells per letter side
constexpr int kLetterSpacing = 8;      // columns from one letter to the next
constexpr int kShadowDx = 4;           // shadow offset, columns right
constexpr int kShadowDy = 3;           // shadow offset, rows down
constexpr int kLeftmostColumn = -4;    // pixels from here to column -1 cast only a shadow
constexpr uint32_t kScrollSteps = 1430;  // start-column period, never reached in 30 s

// sin evaluated in double on a float argument, rounded back to float.
}  // namespace

int32_t GreetingsStartColumn(uint32_t localMs) {
  return 120 - static_cast<int32_t>((localMs / 30) % kScrollSteps);
}

int32_t GreetingsLetterRow(int j, uint32_t localMs) {
  const float a = SinF((static_cast<float>(j) * 200.0f + static_cast<float>(localMs)) / 300.0f);
  const float b = SinF(static_cast<float>(localMs + 300u * static_cast<uint32_t>(j)) / 260.0f);
  return static_cast<int32_t>(a * 8.0f + b * 8.0f + 0.5f) + 17;
}

int32_t GreetingsLetterFrame(int j, uint32_t localMs, int32_t startColumn) {
  // Unsigned 32-bit sum, as the local time is unsigned.
  const uint32_t phase = localMs + 6u * static_cast<uint32_t>(startColumn) + 48u * static_cast<uint32_t>(j);
  int32_t frame = 10 - static_cast<int32_t>(SinF(static_cast<float>(phase) / 150.0f) * -10.0f);
  if (frame < 0) frame = 0;
  if (frame > 20) frame = 20;
  return frame;
}

void DrawGreetings(Cell* cells, uint32_t localMs) {
  const int32_t x0 = GreetingsStartColumn(localMs);
  for (int j = 0; j < kGreetingsLength; ++j) {
    DrawFontLetter(x0 + kLetterSpacing * j, GreetingsLetterRow(j, localMs), GreetingsLetterFrame(j, localMs, x0),
                   cells, static_cast<uint8_t>(kGreetingsText[j]));
  }
}

void DrawFontLetter(int32_t x, int32_t y, int32_t frame, Cell* cells, uint8_t letter) {
  if (letter < 'a' || letter > 'z') return;
  const LetterFont* font = LetterFont::Get();
  if (font == nullptr) return;
  const Bitmap* bitmap = font->bitmap;
  if (bitmap == nullptr) return;
  const int64_t stride = bitmap->width;

  for (int gy = 0; gy < kGlyphSize; ++gy) {
    const int32_t sy = y + gy;
    if (sy < 0 || sy >= kScreenHeight) continue;
    const int64_t fontRow = (int64_t{letter} - 'a') * kGlyphSize + gy;
    for (int gx = 0; gx < kGlyphSize; ++gx) {
      const int32_t sx = x + gx;
      if (sx < kLeftmostColumn || sx >= kScreenWidth) continue;
      // Half the blue component: 0..127.
      const uint32_t g = BlueOrZero(bitmap, fontRow * stride + int64_t{frame} * kGlyphSize + gx) >> 1;
      if (g <= 1) continue;
      // The shadow is laid as the glyph is scanned: a later pixel landing on
      // it starts again from level 0.
      const int32_t shx = sx + kShadowDx, shy = sy + kShadowDy;
      if (shx < kScreenWidth && shy >= 0 && shy < kScreenHeight) cells[shy * kScreenWidth + shx] = kCellDark;
      if (sx >= 0) {
        Cell& c = cells[sy * kScreenWidth + sx];
        c = CellOrCarriedLevel(kCellDark, CellLevel(c) + g);
      }
    }
  }
}

// ---------------------------------------------------------------------------
// The effect.

namespace {

constexpr uint32_t kWobblyTexelDivisor = 15;   // texel 0..255 -> level 0..17: a dim ground
constexpr uint32_t kMaxWarpLevel = 80;

}  // namespace

EffectWobbly::EffectWobbly(const char* effectName, uint32_t start, uint32_t end) : Effect(effectName, start, end) {
  texture = LoadBitmap("wobbly.png");
  blurA = new Cell[kScreenCells];
  blurB = new Cell[kScreenCells];
}

EffectWobbly::~EffectWobbly() {
  delete[] blurA;
  delete[] blurB;
  ReleaseBitmap(texture);
}

void EffectWobbly::Render() {
  const uint32_t local = LocalTimeMs();

  // Layer 1: the warped texture, row from the angle, column from the band.
  uint32_t texels[kScreenCells];
  WarpTexelIndices(WobblyWarpOffsets(local), WarpAxes::kAngleRows, texels);
  for (int i = 0; i < kScreenCells; ++i) {
    uint32_t level = BlueOrZero(texture, texels[i]) / kWobblyTexelDivisor;
    if (level > kMaxWarpLevel) level = kMaxWarpLevel;
    target[i] = DarkCellAtLevel(level);
  }

  // Layer 2: the greetings over it; layer 3: the bloom makes them glow.
  DrawGreetings(target, local);
  BloomLevels(target, blurA, blurB);
}
