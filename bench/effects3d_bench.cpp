// Per-frame cost of the two mesh effects, the skull logo and the liquid box:
// each effect's Render (the skull: transform, two rasterisations, four blur
// passes and 8000 noise evaluations; the liquid: 8000 noise evaluations, a
// transform and one rasterisation), the same plus the frame finishing, and
// the steps alone. Swept over each window one 16 ms frame at a time, so every
// pose of the objects is paid for. A frame has 16 ms; the aim is under
// 0.8 ms per frame on one core.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench/bench_show.h"
#include "engine/core/text_screen.h"
#include "engine/effects/effects.h"
#include "engine/effects/mesh_scenes.h"
#include "engine/render3d/fixed_math.h"
#include "engine/render3d/mesh.h"

namespace {

using bench_show::Show;
using bench_show::Sweep;
using bench_show::SweepEffect;

constexpr uint32_t kSkullFirst = 1000, kSkullLast = 15000;        // ms
constexpr uint32_t kLiquidFirst = 130000, kLiquidLast = 159000;   // ms

void BM_SkullRender(benchmark::State& state) { SweepEffect<EffectSkullLogo>(state, kSkullFirst, kSkullLast, false); }
void BM_SkullRenderAndFinish(benchmark::State& state) {
  SweepEffect<EffectSkullLogo>(state, kSkullFirst, kSkullLast, true);
}
void BM_LiquidRender(benchmark::State& state) { SweepEffect<EffectLiquid>(state, kLiquidFirst, kLiquidLast, false); }
void BM_LiquidRenderAndFinish(benchmark::State& state) {
  SweepEffect<EffectLiquid>(state, kLiquidFirst, kLiquidLast, true);
}
BENCHMARK(BM_SkullRender)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SkullRenderAndFinish)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiquidRender)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiquidRenderAndFinish)->Unit(benchmark::kMicrosecond);

// The steps alone, to see where a frame's time goes.
void BM_SkullBackground(benchmark::State& state) {
  std::vector<Cell> cells(kScreenCells);
  Sweep(state, kSkullFirst, kSkullLast, [&](uint32_t t) {
    SkullBackground(t, cells.data());
    benchmark::DoNotOptimize(cells[0]);
  });
}
void BM_SkullGlow(benchmark::State& state) {
  std::vector<Cell> source(kScreenCells), a(kScreenCells), b(kScreenCells);
  for (int i = 0; i < kScreenCells; ++i) source[i] = DarkCellAtLevel(static_cast<uint32_t>(i * 37 % 81));
  for (auto _ : state) {
    SkullGlow(source.data(), a.data(), b.data());
    AddGlowLevels(source.data(), b.data());
    benchmark::DoNotOptimize(source[0]);
  }
}
void BM_SkullMeshTransformAndDraw(benchmark::State& state) {
  Show show;
  EffectSkullLogo* skull = show.Find<EffectSkullLogo>();
  if (skull == nullptr) {
    state.SkipWithError("effect not in the programme");
    return;
  }
  Camera& camera = *show.screen->camera;
  Sweep(state, kSkullFirst, kSkullLast, [&](uint32_t t) {
    PlaceSkull(t, camera, *skull->mesh);
    camera.Update();
    skull->mesh->Transform();
    for (int32_t& d : show.screen->depth) d = kMeshFarDepth;
    skull->mesh->Draw(show.screen->cells);
    benchmark::DoNotOptimize(show.screen->cells[0]);
  });
}
void BM_LiquidBackground(benchmark::State& state) {
  std::vector<Cell> cells(kScreenCells);
  Sweep(state, 0, kLiquidLast - kLiquidFirst, [&](uint32_t lt) {
    LiquidBackground(lt, cells.data());
    benchmark::DoNotOptimize(cells[0]);
  });
}
BENCHMARK(BM_SkullBackground)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SkullGlow)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SkullMeshTransformAndDraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiquidBackground)->Unit(benchmark::kMicrosecond);

// The whole frame driver over the cross-fades: both effects, the blend and
// the finishing.
void BM_LogoSkullCrossFadeFrame(benchmark::State& state) { bench_show::SweepFrames(state, 1000, 3000); }
void BM_SkullTunnelCrossFadeFrame(benchmark::State& state) { bench_show::SweepFrames(state, 14000, 15000); }
void BM_CubeLiquidCrossFadeFrame(benchmark::State& state) { bench_show::SweepFrames(state, 130000, 131000); }
void BM_LiquidTwisterCrossFadeFrame(benchmark::State& state) { bench_show::SweepFrames(state, 158000, 159000); }
BENCHMARK(BM_LogoSkullCrossFadeFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SkullTunnelCrossFadeFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CubeLiquidCrossFadeFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LiquidTwisterCrossFadeFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
