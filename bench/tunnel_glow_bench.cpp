// Per-frame cost of the tunnel and the glow: each effect's Render, and Render
// plus the frame finishing, swept over the effect's window one 16 ms frame at
// a time so that every pulse, credit fade and blob position is paid for. A
// frame has 16 ms; the aim is under 0.8 ms per frame on one core.
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/core/frame_finisher.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/effects/effects.h"
#include "engine/render3d/noise.h"
#include "engine/resources/resource_table.h"

namespace {

constexpr uint32_t kFrameMs = 16;

// CPU time of this thread in ms: other load on the machine does not count.
double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec * 1e-6;
}

// The real show (embedded pack, all effects), built once per benchmark.
struct Show {
  Show() {
    BuildShow();
    screen = TextScreen::Get();
    timeline = Timeline::Get();
  }
  ~Show() {
    TearDownShow();
    ResourceTable::Release();
    TextScreen::Release();
  }
  template <typename T>
  T* Find() {
    for (Effect* e : *timeline->effects)
      if (auto* found = dynamic_cast<T*>(e)) return found;
    return nullptr;
  }
  TextScreen* screen;
  Timeline* timeline;
};

// Renders effect at successive frame times across [first, last]; with
// finish, the finishing pass runs over the result as after a lone effect.
// worst_frame_ms: the dearest frame time of the window, each frame time
// taken at its cheapest over the sweeps (so that a preemption or an
// interrupt on this busy machine does not count as the frame's cost).
template <typename T>
void SweepEffect(benchmark::State& state, uint32_t first, uint32_t last, bool finish) {
  Show show;
  T* effect = show.Find<T>();
  if (effect == nullptr) {
    state.SkipWithError("effect not in the programme");
    return;
  }
  effect->target = show.screen->cells;
  std::vector<double> cheapest((last - first) / kFrameMs + 1, 1e9);
  uint32_t t = first;
  for (auto _ : state) {
    const double start = ThreadCpuMs();
    DemoClock::Get()->nowMs = t;
    effect->Render();
    if (finish) show.timeline->finisher->Apply();
    benchmark::DoNotOptimize(show.screen->cells[0]);
    double& best = cheapest[(t - first) / kFrameMs];
    best = std::min(best, ThreadCpuMs() - start);
    t = t + kFrameMs > last ? first : t + kFrameMs;
  }
  double worst = 0.0;
  for (double ms : cheapest)
    if (ms < 1e9) worst = std::max(worst, ms);
  state.counters["worst_frame_ms"] = worst;
}

void BM_TunnelRender(benchmark::State& state) { SweepEffect<EffectTunnel>(state, 14000, 45000, false); }
void BM_TunnelRenderAndFinish(benchmark::State& state) { SweepEffect<EffectTunnel>(state, 14000, 45000, true); }
void BM_GlowRender(benchmark::State& state) { SweepEffect<EffectGlow>(state, 44000, 72000, false); }
void BM_GlowRenderAndFinish(benchmark::State& state) { SweepEffect<EffectGlow>(state, 44000, 72000, true); }
BENCHMARK(BM_TunnelRender)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TunnelRenderAndFinish)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GlowRender)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GlowRenderAndFinish)->Unit(benchmark::kMicrosecond);

// The whole frame driver over the tunnel-to-glow cross-fade: both effects,
// the blend and the finishing.
void BM_TunnelGlowCrossFadeFrame(benchmark::State& state) {
  Show show;
  constexpr uint32_t first = 44000, last = 45000;
  std::vector<double> cheapest((last - first) / kFrameMs + 1, 1e9);
  uint32_t t = first;
  for (auto _ : state) {
    const double start = ThreadCpuMs();
    RenderFrame(t);
    benchmark::DoNotOptimize(show.screen->cells[0]);
    double& best = cheapest[(t - first) / kFrameMs];
    best = std::min(best, ThreadCpuMs() - start);
    t = t + kFrameMs > last ? first : t + kFrameMs;
  }
  double worst = 0.0;
  for (double ms : cheapest)
    if (ms < 1e9) worst = std::max(worst, ms);
  state.counters["worst_frame_ms"] = worst;
}
BENCHMARK(BM_TunnelGlowCrossFadeFrame)->Unit(benchmark::kMicrosecond);

void BM_Noise3(benchmark::State& state) {
  float x = 0.0f;
  float sink = 0.0f;
  for (auto _ : state) {
    sink += Noise3(x, 0.37f, -1.3f);
    x += 0.01f;
    benchmark::DoNotOptimize(sink);
  }
}
BENCHMARK(BM_Noise3);

}  // namespace
