// Helpers of the effect benchmarks: thread CPU time, the real show, and a
// sweep over an effect's window one frame time (kFrameMs, 16 ms) at a time,
// so that every pose, pulse and fade of the window is paid for.
#pragma once

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/core/demo_run.h"
#include "engine/core/effect.h"
#include "engine/core/frame_finisher.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/resource_table.h"

namespace bench_show {

// CPU time of this thread in ms: other load on the machine does not count.
inline double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec * 1e-6;
}

// Frame time (ms) after t in a sweep over [first, last]: back to first once
// the next frame would pass last.
inline uint32_t NextFrameTime(uint32_t t, uint32_t first, uint32_t last) {
  return t + kFrameMs > last ? first : t + kFrameMs;
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
  Show(const Show&) = delete;
  Show& operator=(const Show&) = delete;

  // The programme's first effect of type T, or null when it has none.
  template <typename T>
  T* Find() {
    for (Effect* e : *timeline->effects)
      if (auto* found = dynamic_cast<T*>(e)) return found;
    return nullptr;
  }
  TextScreen* screen;
  Timeline* timeline;
};

// Runs step(t) at successive frame times t (ms) across [first, last], one
// call per benchmark iteration, wrapping back to first.
// worst_frame_ms: the dearest frame time of the window in ms of thread CPU
// time, each frame time taken at its cheapest over the sweeps (so that a
// preemption or an interrupt on this busy machine does not count as the
// frame's cost). Frame times no iteration reached are left out.
template <typename Step>
void Sweep(benchmark::State& state, uint32_t first, uint32_t last, Step step) {
  std::vector<double> cheapest((last - first) / kFrameMs + 1, 1e9);
  uint32_t t = first;
  for (auto _ : state) {
    const double start = ThreadCpuMs();
    step(t);
    double& best = cheapest[(t - first) / kFrameMs];
    best = std::min(best, ThreadCpuMs() - start);
    t = NextFrameTime(t, first, last);
  }
  double worst = 0.0;
  for (double ms : cheapest)
    if (ms < 1e9) worst = std::max(worst, ms);
  state.counters["worst_frame_ms"] = worst;
}

// Sweeps the programme's effect T alone over [first, last] (ms), rendering
// into the screen; with finish, the finishing pass runs over the result as
// after a lone effect. Skips with an error when the programme lacks T.
template <typename T>
void SweepEffect(benchmark::State& state, uint32_t first, uint32_t last, bool finish) {
  Show show;
  T* effect = show.Find<T>();
  if (effect == nullptr) {
    state.SkipWithError("effect not in the programme");
    return;
  }
  effect->target = show.screen->cells;
  Sweep(state, first, last, [&](uint32_t t) {
    DemoClock::Get()->nowMs = t;
    effect->Render();
    if (finish) show.timeline->finisher->Apply();
    benchmark::DoNotOptimize(show.screen->cells[0]);
  });
}

// Sweeps whole frames (RenderFrame: the active effects, any cross-fade blend
// and the finishing) over [first, last] (ms).
inline void SweepFrames(benchmark::State& state, uint32_t first, uint32_t last) {
  Show show;
  Sweep(state, first, last, [&](uint32_t t) {
    RenderFrame(t);
    benchmark::DoNotOptimize(show.screen->cells[0]);
  });
}

}  // namespace bench_show
