// The terminal output over the whole show: bytes per frame against a full
// redraw of every cell, and the CPU time of encoding a frame. One iteration
// renders all 12501 frames of the 16 ms grid (0..200000 ms).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"
#include "frontends/console/console_encoder.h"

namespace {

constexpr uint32_t kShowEndMs = 200000;

double Percentile(std::vector<size_t> v, double p) {
  std::sort(v.begin(), v.end());
  return static_cast<double>(v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))]);
}

void WholeShow(benchmark::State& state, int columns, int rows, bool trueColour) {
  TextScreen* screen = TextScreen::Get();
  BuildShow();
  Bitmap* glyphs = LoadBitmap("textmodechars.png");
  float coverage[kShadeCount];
  MeasureGlyphCoverage(*glyphs, coverage);

  ConsoleEncoder diff;
  ConsoleEncoder full;
  std::string out;
  out.reserve(1 << 20);
  std::vector<size_t> bytes, fullBytes;
  double encodeSeconds = 0.0;
  for (auto _ : state) {
    diff.Configure(columns, rows, trueColour, coverage);
    full.Configure(columns, rows, trueColour, coverage);
    bytes.clear();
    fullBytes.clear();
    encodeSeconds = 0.0;
    for (uint32_t t = 0; t <= kShowEndMs; t += 16) {
      state.PauseTiming();
      RenderFrame(t);
      state.ResumeTiming();
      out.clear();
      const auto start = std::chrono::steady_clock::now();
      diff.EncodeFrame(screen->cells, out);
      encodeSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      bytes.push_back(out.size());
      state.PauseTiming();
      out.clear();
      full.Invalidate();
      full.EncodeFrame(screen->cells, out);
      fullBytes.push_back(out.size());
      state.ResumeTiming();
    }
  }
  const double frames = static_cast<double>(bytes.size());
  state.counters["frames"] = frames;
  state.counters["median_B"] = Percentile(bytes, 0.5);
  state.counters["p99_B"] = Percentile(bytes, 0.99);
  state.counters["max_B"] = Percentile(bytes, 1.0);
  state.counters["full_median_B"] = Percentile(fullBytes, 0.5);
  state.counters["median_share_%"] = 100.0 * Percentile(bytes, 0.5) / Percentile(fullBytes, 0.5);
  state.counters["encode_us_per_frame"] = 1e6 * encodeSeconds / frames;

  ReleaseBitmap(glyphs);
  TearDownShow();
  ResourceTable::Release();
  TextScreen::Release();
}

void BM_Show80x50TrueColour(benchmark::State& s) { WholeShow(s, 80, 50, true); }
void BM_Show80x50Ansi16(benchmark::State& s) { WholeShow(s, 80, 50, false); }
void BM_Show80x24TrueColour(benchmark::State& s) { WholeShow(s, 80, 24, true); }

BENCHMARK(BM_Show80x50TrueColour)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Show80x50Ansi16)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Show80x24TrueColour)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
