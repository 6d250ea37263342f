// Per-frame cost of the tunnel and the glow: each effect's Render, and Render
// plus the frame finishing, swept over the effect's window one 16 ms frame at
// a time so that every pulse, credit fade and blob position is paid for. A
// frame has 16 ms; the aim is under 0.8 ms per frame on one core.
#include <benchmark/benchmark.h>

#include "bench/bench_show.h"
#include "engine/effects/effects.h"
#include "engine/render3d/noise.h"

namespace {

using bench_show::SweepEffect;

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
void BM_TunnelGlowCrossFadeFrame(benchmark::State& state) { bench_show::SweepFrames(state, 44000, 45000); }
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
