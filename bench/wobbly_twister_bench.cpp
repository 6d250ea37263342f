// Per-frame cost of the wobbler, the wobbly cube and the twister: each
// effect's Render, and Render plus the frame finishing, swept over the
// effect's window one 16 ms frame at a time; and whole frames (RenderFrame,
// with the cross-fades at both ends) over each window. A frame has 16 ms; the
// aim is under 0.8 ms per frame on one core.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/bench_show.h"
#include "engine/core/frame_finisher.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/effects/effects.h"

namespace {

using bench_show::NextFrameTime;
using bench_show::Show;
using bench_show::ThreadCpuMs;

// These sweeps report worst_cpu_ms, the dearest single iteration of the run
// in ms of thread CPU time (a preemption included), rather than the shared
// sweep's cheapest-per-frame worst_frame_ms.

// Renders effect at successive frame times across [first, last]; with
// finish, the finishing pass runs over the result as after a lone effect.
template <typename T>
void SweepEffect(benchmark::State& state, uint32_t first, uint32_t last, bool finish) {
  Show show;
  T* effect = show.Find<T>();
  if (effect == nullptr) {
    state.SkipWithError("effect not in the programme");
    return;
  }
  effect->target = show.screen->cells;
  uint32_t t = first;
  double worstMs = 0.0;
  for (auto _ : state) {
    const double start = ThreadCpuMs();
    DemoClock::Get()->nowMs = t;
    effect->Render();
    if (finish) show.timeline->finisher->Apply();
    benchmark::DoNotOptimize(show.screen->cells[0]);
    const double ms = ThreadCpuMs() - start;
    if (ms > worstMs) worstMs = ms;
    t = NextFrameTime(t, first, last);
  }
  state.counters["worst_cpu_ms"] = worstMs;
}

// Whole frames as the programs draw them, cross-fades included.
void SweepFrames(benchmark::State& state, uint32_t first, uint32_t last) {
  Show show;
  uint32_t t = first;
  double worstMs = 0.0;
  for (auto _ : state) {
    const double start = ThreadCpuMs();
    RenderFrame(t);
    benchmark::DoNotOptimize(show.screen->cells[0]);
    const double ms = ThreadCpuMs() - start;
    if (ms > worstMs) worstMs = ms;
    t = NextFrameTime(t, first, last);
  }
  state.counters["worst_cpu_ms"] = worstMs;
}

void BM_WobblyRender(benchmark::State& state) { SweepEffect<EffectWobbly>(state, 71000, 101000, false); }
void BM_WobblyRenderAndFinish(benchmark::State& state) { SweepEffect<EffectWobbly>(state, 71000, 101000, true); }
void BM_WobblyCubeRender(benchmark::State& state) { SweepEffect<EffectWobblyCube>(state, 100000, 131000, false); }
void BM_WobblyCubeRenderAndFinish(benchmark::State& state) {
  SweepEffect<EffectWobblyCube>(state, 100000, 131000, true);
}
void BM_TwisterRender(benchmark::State& state) { SweepEffect<EffectTwister>(state, 158000, 188000, false); }
void BM_TwisterRenderAndFinish(benchmark::State& state) { SweepEffect<EffectTwister>(state, 158000, 188000, true); }
// The wobbler's and the cube's cross-fade renders both warps.
void BM_WobblerToCubeFrames(benchmark::State& state) { SweepFrames(state, 100000, 101000); }
void BM_WobblerWindowFrames(benchmark::State& state) { SweepFrames(state, 71000, 101000); }
void BM_CubeWindowFrames(benchmark::State& state) { SweepFrames(state, 100000, 131000); }
void BM_TwisterWindowFrames(benchmark::State& state) { SweepFrames(state, 158000, 188000); }

BENCHMARK(BM_WobblyRender)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WobblyRenderAndFinish)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WobblyCubeRender)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WobblyCubeRenderAndFinish)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TwisterRender)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TwisterRenderAndFinish)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WobblerToCubeFrames)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WobblerWindowFrames)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CubeWindowFrames)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TwisterWindowFrames)->Unit(benchmark::kMicrosecond);

}  // namespace
