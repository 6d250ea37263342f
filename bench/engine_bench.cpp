// Per-frame costs of the engine's fixed passes. A frame has 16 ms.
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/core/decode.h"
#include "engine/core/frame_finisher.h"
#include "engine/core/text_screen.h"
#include "engine/resources/resource_table.h"

namespace {

// A frame with structure: a lit blob on a dark field, varying levels.
std::vector<Cell> SampleFrame() {
  std::vector<Cell> cells(kScreenCells);
  for (int y = 0; y < kScreenHeight; ++y)
    for (int x = 0; x < kScreenWidth; ++x) {
      const int dx = x - 40, dy = 2 * (y - 25);
      const int d2 = dx * dx + dy * dy;
      const uint32_t level = d2 < 900 ? 80 - d2 / 12 : (x * 7 + y * 3) % 24;
      cells[y * kScreenWidth + x] = DarkCellAtLevel(level);
    }
  return cells;
}

void BM_FrameFinisherApply(benchmark::State& state) {
  FrameFinisher* finisher = FrameFinisher::Create();   // the show's grain and vignette
  const std::vector<Cell> frame = SampleFrame();
  std::vector<Cell> cells(kScreenCells);
  for (auto _ : state) {
    cells = frame;
    finisher->ApplyTo(cells.data());
    benchmark::DoNotOptimize(cells.data());
  }
  FrameFinisher::Destroy(finisher);
  ResourceTable::Release();
}
BENCHMARK(BM_FrameFinisherApply)->Unit(benchmark::kMicrosecond);

void BM_DecodeScreen(benchmark::State& state) {
  std::vector<Cell> cells = SampleFrame();
  cells[17] = kCellNoEffect;   // one RGB cell among the ramp cells
  uint32_t sink = 0;
  for (auto _ : state) {
    for (int i = 0; i < kScreenCells; ++i) {
      const DecodedCell d = DecodeCell(cells[i]);
      sink += d.attribute + d.shade;
    }
    benchmark::DoNotOptimize(sink);
  }
}
BENCHMARK(BM_DecodeScreen)->Unit(benchmark::kMicrosecond);

void BM_DecodeRgbScreen(benchmark::State& state) {
  std::vector<Cell> cells(kScreenCells);
  for (int i = 0; i < kScreenCells; ++i) cells[i] = MakeRgbCell(i * 37, i * 11, i * 5);
  uint32_t sink = 0;
  for (auto _ : state) {
    for (int i = 0; i < kScreenCells; ++i) sink += DecodeCell(cells[i]).attribute;
    benchmark::DoNotOptimize(sink);
  }
}
BENCHMARK(BM_DecodeRgbScreen)->Unit(benchmark::kMicrosecond);

}  // namespace
