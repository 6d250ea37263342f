#include "engine/core/frame_finisher.h"

#include <cmath>

#include "engine/core/text_screen.h"
#include "engine/resources/bitmap.h"

namespace {

constexpr int kMaxFinishedLevel = 80;

inline int ClampX(int k) { return k < 0 ? 0 : (k >= kScreenWidth ? kScreenWidth - 1 : k); }
inline int ClampY(int k) { return k < 0 ? 0 : (k >= kScreenHeight ? kScreenHeight - 1 : k); }
inline float Limit255(float v) { return v < 0.0f ? 0.0f : (v > 255.0f ? 255.0f : v); }

inline float ColumnTapSum(const Cell* src, int x, int y) {
  float s = 0.0f;
  for (int k = y - 5; k <= y + 4; ++k) s += static_cast<float>(CellLevel(src[ClampY(k) * kScreenWidth + x]));
  return s;
}

// Blue byte of pixel i; images shorter than the screen read as 0 past their end.
inline uint32_t BlueAt(const Bitmap* bitmap, int i) {
  if (bitmap == nullptr || bitmap->pixels == nullptr || i >= bitmap->pixelCount) return 0;
  return bitmap->pixels[i] & 0xFF;
}

}  // namespace

namespace finishing {

// Ten taps, five before the cell, the cell and four after; the divisor is 11.
void BlurRows(const Cell* src, Cell* dst) {
  for (int y = 0; y < kScreenHeight; ++y) {
    const Cell* row = src + y * kScreenWidth;
    for (int x = 0; x < kScreenWidth; ++x) {
      float s = 0.0f;
      for (int k = x - 5; k <= x + 4; ++k) s += static_cast<float>(CellLevel(row[ClampX(k)]));
      const int v = static_cast<int>(Limit255(s / 11.0f));
      dst[y * kScreenWidth + x] = CellWithLevel(row[x], static_cast<uint32_t>(v));
    }
  }
}

void BlurColumns(const Cell* src, Cell* dst) {
  for (int x = 0; x < kScreenWidth; ++x) {
    for (int y = 0; y < kScreenHeight; ++y) {
      const int v = static_cast<int>(Limit255(ColumnTapSum(src, x, y) / 11.0f));
      const int i = y * kScreenWidth + x;
      dst[i] = CellWithLevel(src[i], static_cast<uint32_t>(v));
    }
  }
}

// The last vertical pass also stretches contrast and sums the glow, column by
// column (the float total depends on that order).
float BlurColumnsWithContrast(const Cell* src, Cell* dst) {
  float total = 0.0f;
  for (int x = 0; x < kScreenWidth; ++x) {
    for (int y = 0; y < kScreenHeight; ++y) {
      float v = ColumnTapSum(src, x, y) / 11.0f;
      v = v * 6.0f;
      v = v - 40.0f;
      v = Limit255(v);
      total += v;
      const int i = y * kScreenWidth + x;
      dst[i] = CellWithLevel(src[i], static_cast<uint32_t>(static_cast<int>(v)));
    }
  }
  return total;
}

// The glow is the blur enlarged 1.8x across and 2.2x down, anchored at glow
// column 20, row 20; float quotients truncated toward zero.
int GlowSampleColumn(int x) { return 20 - static_cast<int>(static_cast<float>(x) / -1.8f); }
int GlowSampleRow(int y) { return 20 - static_cast<int>(static_cast<float>(y) / -2.2f); }

}  // namespace finishing

using namespace finishing;

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
  BlurRows(cells, glowA);
  BlurColumns(glowA, glowB);
  BlurRows(glowB, glowA);
  const float total = BlurColumnsWithContrast(glowA, glowB);

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
