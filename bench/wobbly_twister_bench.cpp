// Per-frame cost of the wobbler, the wobbly cube and the twister: each
// effect's Render, and Render plus the frame finishing, swept over the
// effect's window one 16 ms frame at a time; and whole frames (RenderFrame,
// with the cross-fades at both ends) over each window. A frame has 16 ms; the
// aim is under 0.8 ms per frame on one core.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdint>

#include "engine/core/frame_finisher.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/effects/effects.h"
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
    screen = TextScreen::Get();
    BuildShow();
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

// Next frame time of a sweep over [first, last].
uint32_t NextFrame(uint32_t t, uint32_t first, uint32_t last) { return t + kFrameMs > last ? first : t + kFrameMs; }

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
    t = NextFrame(t, first, last);
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
    t = NextFrame(t, first, last);
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
