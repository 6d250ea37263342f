// The mesh pipeline alone on the show's two meshes: Mesh::Transform plus
// the depth fill and one Mesh::Draw, posed as the skull logo and the liquid
// box pose them, one 16 ms frame after another over each window (so every
// pose is paid for). The skull's frame draws twice; its whole frame, noise
// and blur included, has to stay under 0.8 ms.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "engine/core/angle_tables.h"
#include "engine/core/text_screen.h"
#include "engine/effects/mesh_scenes.h"
#include "engine/render3d/fixed_math.h"
#include "engine/render3d/mesh.h"
#include "engine/resources/bitmap.h"

namespace {

constexpr uint32_t kFrameMs = 16;

struct Loaded {
  Bitmap* uvTexture;
  Bitmap* envTexture;
  Mesh* mesh;

  Loaded(const char* name, const char* env) {
    TextScreen::Get();
    BuildAngleTables();
    uvTexture = LoadBitmap("env_red.png");
    envTexture = LoadBitmap(env);
    mesh = Mesh::Load(name, uvTexture, envTexture);
    mesh->tint = kMeshSceneTint;
  }
  ~Loaded() {
    delete mesh;
    ReleaseBitmap(uvTexture);
    ReleaseBitmap(envTexture);
  }
};

void FillDepth(int32_t* depth) {
  for (int i = 0; i < kScreenCells; ++i) depth[i] = kMeshFarDepth;
}

// place(time, camera, mesh) sets a frame's pose; time runs from first to
// last in 16 ms steps and starts again.
template <typename Place>
void RunFrames(benchmark::State& state, const char* name, const char* env, uint32_t first, uint32_t last,
               Place place, bool transformOnly) {
  Loaded loaded(name, env);
  TextScreen* screen = TextScreen::Get();
  Camera& camera = *screen->camera;
  uint32_t t = first;
  for (auto _ : state) {
    place(t, camera, *loaded.mesh);
    camera.Update();
    loaded.mesh->Transform();
    if (!transformOnly) {
      FillDepth(screen->depth);
      loaded.mesh->Draw(screen->mainCells);
    }
    benchmark::DoNotOptimize(screen->mainCells[2000]);
    t = t + kFrameMs > last ? first : t + kFrameMs;
  }
  state.counters["faces"] = loaded.mesh->faceCount;
  state.counters["vertices"] = loaded.mesh->vertexCount;
}

void SkullPose(uint32_t t, Camera& camera, Mesh& mesh) { PlaceSkull(t, camera, mesh); }
void LiquidPose(uint32_t t, Camera& camera, Mesh& mesh) { PlaceLiquidBox(t, camera, mesh); }

void BM_SkullTransformDraw(benchmark::State& state) {
  RunFrames(state, "pineapple3.ase.bin", "env_red2.png", 1000, 15000, SkullPose, false);
}
void BM_SkullTransform(benchmark::State& state) {
  RunFrames(state, "pineapple3.ase.bin", "env_red2.png", 1000, 15000, SkullPose, true);
}
void BM_BoxTransformDraw(benchmark::State& state) {
  RunFrames(state, "box.ase.bin", "env_red3.png", 0, 29000, LiquidPose, false);
}
void BM_BoxTransform(benchmark::State& state) {
  RunFrames(state, "box.ase.bin", "env_red3.png", 0, 29000, LiquidPose, true);
}

// The skull's face-on pose at 9200 ms, the one that covers most cells.
void BM_SkullDrawFaceOn(benchmark::State& state) {
  Loaded loaded("pineapple3.ase.bin", "env_red2.png");
  TextScreen* screen = TextScreen::Get();
  PlaceSkull(9200, *screen->camera, *loaded.mesh);
  screen->camera->Update();
  loaded.mesh->Transform();
  for (auto _ : state) {
    FillDepth(screen->depth);
    loaded.mesh->Draw(screen->mainCells);
    benchmark::DoNotOptimize(screen->mainCells[2000]);
  }
}

BENCHMARK(BM_SkullTransformDraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SkullTransform)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SkullDrawFaceOn)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BoxTransformDraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BoxTransform)->Unit(benchmark::kMicrosecond);

}  // namespace
