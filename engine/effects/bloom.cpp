#include "engine/effects/bloom.h"

#include <array>
#include <cstdint>

namespace {

constexpr uint32_t kMaxBloomedLevel = 80;
constexpr int kTaps = 10;                    // five before, the cell, four after
constexpr int kMaxTapSum = kTaps * 255;      // 2550

inline float Limit255(float v) { return v < 0.0f ? 0.0f : (v > 255.0f ? 255.0f : v); }

// A pass's result for every possible tap sum. The sum of ten levels is an
// integer below 2551, exact in float whatever the order of the additions, so
// the tables give exactly the float quotient of the summed taps, truncated.
struct TapTables {
  std::array<uint8_t, kMaxTapSum + 1> blur;        // sum / 11, limited to 0..255
  std::array<uint8_t, kMaxTapSum + 1> brightened;  // sum / 11 x 6 - 30, limited to 0..255
};

const TapTables& Tables() {
  static const TapTables tables = [] {
    TapTables t;
    for (int s = 0; s <= kMaxTapSum; ++s) {
      float v = static_cast<float>(s) / 11.0f;
      t.blur[s] = static_cast<uint8_t>(static_cast<int>(Limit255(v)));
      v = v * 6.0f;
      v = v - 30.0f;
      t.brightened[s] = static_cast<uint8_t>(static_cast<int>(Limit255(v)));
    }
    return t;
  }();
  return tables;
}

inline int ClampX(int k) { return k < 0 ? 0 : (k >= kScreenWidth ? kScreenWidth - 1 : k); }
inline int ClampY(int k) { return k < 0 ? 0 : (k >= kScreenHeight ? kScreenHeight - 1 : k); }

// Ten-tap box along each row (columns x-5..x+4 clamped to 0..79), as a
// running sum: add the tap entering on the right, drop the one leaving.
void BlurRows(const Cell* src, Cell* dst, const std::array<uint8_t, kMaxTapSum + 1>& table) {
  for (int y = 0; y < kScreenHeight; ++y) {
    const Cell* row = src + y * kScreenWidth;
    Cell* out = dst + y * kScreenWidth;
    int s = 0;
    for (int k = -5; k <= 4; ++k) s += static_cast<int>(CellLevel(row[ClampX(k)]));
    for (int x = 0; x < kScreenWidth; ++x) {
      out[x] = CellWithLevel(row[x], table[s]);
      s += static_cast<int>(CellLevel(row[ClampX(x + 5)])) - static_cast<int>(CellLevel(row[ClampX(x - 5)]));
    }
  }
}

// The same down each column (rows y-5..y+4 clamped to 0..49), with one
// running sum per column, walked row by row.
void BlurColumns(const Cell* src, Cell* dst, const std::array<uint8_t, kMaxTapSum + 1>& table) {
  int sums[kScreenWidth];
  for (int x = 0; x < kScreenWidth; ++x) {
    int s = 0;
    for (int k = -5; k <= 4; ++k) s += static_cast<int>(CellLevel(src[ClampY(k) * kScreenWidth + x]));
    sums[x] = s;
  }
  for (int y = 0; y < kScreenHeight; ++y) {
    const Cell* row = src + y * kScreenWidth;
    const Cell* entering = src + ClampY(y + 5) * kScreenWidth;
    const Cell* leaving = src + ClampY(y - 5) * kScreenWidth;
    Cell* out = dst + y * kScreenWidth;
    for (int x = 0; x < kScreenWidth; ++x) {
      out[x] = CellWithLevel(row[x], table[sums[x]]);
      sums[x] += static_cast<int>(CellLevel(entering[x])) - static_cast<int>(CellLevel(leaving[x]));
    }
  }
}

}  // namespace

namespace bloom {

void BlurRowsPlain(const Cell* src, Cell* dst) { BlurRows(src, dst, Tables().blur); }
void BlurColumnsPlain(const Cell* src, Cell* dst) { BlurColumns(src, dst, Tables().blur); }
void BlurColumnsBrightened(const Cell* src, Cell* dst) { BlurColumns(src, dst, Tables().brightened); }

}  // namespace bloom

// The ten-tap window is off centre, so the glow sits half a cell right of and
// below what casts it; each plain pass keeps 10/11 of a flat level.
void BloomLevels(Cell* cells, Cell* blurA, Cell* blurB) {
  bloom::BlurRowsPlain(cells, blurA);
  bloom::BlurColumnsPlain(blurA, blurB);
  bloom::BlurRowsPlain(blurB, blurA);
  bloom::BlurColumnsBrightened(blurA, blurB);
  for (int i = 0; i < kScreenCells; ++i) {
    uint32_t level = CellLevel(cells[i]) + CellLevel(blurB[i]);
    if (level > kMaxBloomedLevel) level = kMaxBloomedLevel;
    cells[i] = CellWithLevel(cells[i], level);
  }
}
