// The ".ase.bin" mesh loader on any bytes, and a mesh it takes drawn: the
// loader promises that every index the rasteriser follows names a record,
// and the rasteriser that no corner, however far out, writes outside the
// 80 x 50 screen or reads outside the texture.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "engine/core/text_screen.h"
#include "engine/render3d/fixed_math.h"
#include "engine/render3d/mesh.h"
#include "engine/resources/bitmap.h"

namespace {

// A 5 x 3 texture with a row length that is not a power of two, so that a
// texel read beyond it is caught.
Bitmap& SmallTexture() {
  static uint32_t pixels[15];
  static Bitmap texture{15, pixels, 5, 3};
  return texture;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MeshRefusal refusal;
  Mesh* mesh = Mesh::TryFromBytes("fuzz.ase.bin", data, size, &SmallTexture(), &SmallTexture(), refusal);
  if (mesh == nullptr) return 0;

  TextScreen* screen = TextScreen::Get();
  screen->camera->Update();
  std::fill(std::begin(screen->depth), std::end(screen->depth), kMeshFarDepth);
  mesh->focal = 200 << 16;
  mesh->z = 40 << 16;   // the show's meshes sit in front of the camera
  mesh->Transform();
  mesh->Draw(nullptr);
  delete mesh;
  return 0;
}
