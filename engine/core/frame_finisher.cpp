#include "engine/core/frame_finisher.h"

#include <cmath>

#include "engine/core/level_blur.h"
#include "engine/core/text_screen.h"
#include "engine/resources/bitmap.h"

namespace {

constexpr int kMaxFinishedLevel = 80;

// Blue byte of pixel i; images shorter than the screen read as 0 past their end.
inline uint32_t BlueAt(const Bitmap* bitmap, int i) {
  if (bitmap == nullptr || bitmap->pixels == nullptr || i >= bitmap->pixelCount) return 0;
  return bitmap->pixels[i] & 0xFF;
}

// Three plain passes, then a vertical one that stretches contrast
// (x 6 - 40), so that only bright clusters glow.
const LevelBlur& PlainBlur() {
  static const LevelBlur blur = LevelBlur::Make(1.0f, 0.0f);
  return blur;
}
const LevelBlur& ContrastBlur() {
  static const LevelBlur blur = LevelBlur::Make(6.0f, 40.0f);
  return blur;
}

// The glow is the blur enlarged 1.8x across and 2.2x down, anchored at glow
// column 20, row 20; float quotients truncated toward zero. Screen column x
// samples glow column 20..63, row y glow row 20..42.
int GlowSampleColumn(int x) { return 20 - static_cast<int>(static_cast<float>(x) / -1.8f); }
int GlowSampleRow(int y) { return 20 - static_cast<int>(static_cast<float>(y) / -2.2f); }

}  // namespace

FrameFinisher* FrameFinisher::Create() {
  FrameFinisher* finisher = new FrameFinisher;
  finisher->crud = LoadBitmap("crud.png");
  finisher->vignette = LoadBitmap("vignette.png");
  return finisher;
}

void FrameFinisher::Destroy(FrameFinisher* finisher) {
  if (finisher == nullptr) return;
  ReleaseBitmap(finisher->crud);
  ReleaseBitmap(finisher->vignette);
  delete finisher;
}

void FrameFinisher::Apply() { ApplyTo(TextScreen::Get()->cells); }

void FrameFinisher::ApplyTo(Cell* cells) {
  BlurLevelRows(cells, glowA, PlainBlur());
  BlurLevelColumns(glowA, glowB, PlainBlur());
  BlurLevelRows(glowB, glowA, PlainBlur());
  const float total = BlurLevelColumns(glowA, glowB, ContrastBlur());

  float n = static_cast<float>(std::sqrt(static_cast<double>(total)));
  n = n * 1.5f;
  if (n < 1.0f) n = 1.0f;

  for (int y = 0; y < kScreenHeight; ++y) {
    const int sy = GlowSampleRow(y);
    for (int x = 0; x < kScreenWidth; ++x) {
      const int sx = GlowSampleColumn(x);
      const int i = y * kScreenWidth + x;
      uint32_t g = 0;
      if (sx >= 0 && sx < kScreenWidth && sy >= 0 && sy < kScreenHeight) {
        g = CellLevel(glowB[sy * kScreenWidth + sx]);
      }
      const float grain = static_cast<float>(BlueAt(crud, i));
      const float w = static_cast<float>(BlueAt(vignette, i));
      const float level = static_cast<float>(CellLevel(cells[i]));
      int v = static_cast<int>((grain / n) * static_cast<float>(g)) +
              static_cast<int>((w / 255.0f) * level);
      if (v < 0) v = 0;
      if (v > kMaxFinishedLevel) v = kMaxFinishedLevel;
      cells[i] = CellWithLevel(cells[i], static_cast<uint32_t>(v));
    }
  }
}
