#include "engine/core/level_blur.h"

namespace {

inline int ClampX(int k) { return k < 0 ? 0 : (k >= kScreenWidth ? kScreenWidth - 1 : k); }
inline int ClampY(int k) { return k < 0 ? 0 : (k >= kScreenHeight ? kScreenHeight - 1 : k); }
inline int LevelAt(const Cell* src, int x, int y) { return static_cast<int>(CellLevel(src[y * kScreenWidth + x])); }

}  // namespace

LevelBlur LevelBlur::Make(float scale, float offset) {
  LevelBlur blur;
  for (int s = 0; s <= kMaxTapSum; ++s) {
    float v = static_cast<float>(s) / 11.0f;
    v = v * scale;
    v = v - offset;
    if (v < 0.0f) v = 0.0f;
    if (v > 255.0f) v = 255.0f;
    blur.value[s] = v;
    blur.level[s] = static_cast<uint8_t>(static_cast<int>(v));
  }
  return blur;
}

// A running sum per row: add the tap entering on the right, drop the one
// leaving on the left.
void BlurLevelRows(const Cell* src, Cell* dst, const LevelBlur& blur) {
  for (int y = 0; y < kScreenHeight; ++y) {
    int s = 0;
    for (int k = -5; k <= 4; ++k) s += LevelAt(src, ClampX(k), y);
    for (int x = 0; x < kScreenWidth; ++x) {
      const int i = y * kScreenWidth + x;
      dst[i] = CellWithLevel(src[i], blur.level[s]);
      s += LevelAt(src, ClampX(x + 5), y) - LevelAt(src, ClampX(x - 5), y);
    }
  }
}

float BlurLevelColumns(const Cell* src, Cell* dst, const LevelBlur& blur) {
  float total = 0.0f;
  for (int x = 0; x < kScreenWidth; ++x) {
    int s = 0;
    for (int k = -5; k <= 4; ++k) s += LevelAt(src, x, ClampY(k));
    for (int y = 0; y < kScreenHeight; ++y) {
      const int i = y * kScreenWidth + x;
      dst[i] = CellWithLevel(src[i], blur.level[s]);
      total += blur.value[s];
      s += LevelAt(src, x, ClampY(y + 5)) - LevelAt(src, x, ClampY(y - 5));
    }
  }
  return total;
}
