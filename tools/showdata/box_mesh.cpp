// "box.ase.bin": the liquid's tumbling box, a superellipsoid
// |x|^6 + |y|^6 + |z|^6 = 2.5^6.
//
// Each of the six faces of the cube [-1, 1]^3 is cut into kCuts x kCuts
// squares (cuts denser towards the edges, where the surface turns) and every
// point g is pushed onto the surface along its ray: p = 2.5 g / |g|_6. The
// faces share their border points, so the surface is closed, and the normals
// are the surface's own gradient, smooth across edges and corners.

#include <array>
#include <cmath>
#include <map>
#include <numbers>

#include "tools/showdata/show_meshes.h"

namespace showdata {

namespace {

constexpr int kCuts = 8;           // squares per cube face side
constexpr double kExponent = 6.0;

double CutCoordinate(int i) {
  const double l = -1.0 + 2.0 * i / kCuts;
  return 0.4 * l + 0.6 * std::sin(0.5 * std::numbers::pi * l);
}

Vec3 OnSurface(Vec3 g) {
  const double norm = std::pow(std::pow(std::fabs(g.x), kExponent) + std::pow(std::fabs(g.y), kExponent) +
                                   std::pow(std::fabs(g.z), kExponent),
                               1.0 / kExponent);
  return g * (kBoxHalfSize / norm);
}

Vec3 SurfaceNormal(Vec3 p) {
  auto component = [](double v) { return std::copysign(std::pow(std::fabs(v), kExponent - 1.0), v); };
  return Normalised({component(p.x), component(p.y), component(p.z)});
}

}  // namespace

MeshFile MakeBoxMesh() {
  MeshBuilder b;
  // Border points are shared between faces: keyed by their cube-grid cell.
  std::map<std::array<int, 3>, int> index;
  auto vertex = [&](std::array<int, 3> key) {
    auto found = index.find(key);
    if (found != index.end()) return found->second;
    const Vec3 g{CutCoordinate(key[0]), CutCoordinate(key[1]), CutCoordinate(key[2])};
    const int v = b.AddVertex(OnSurface(g));
    index.emplace(key, v);
    return v;
  };

  for (int axis = 0; axis < 3; ++axis) {
    for (int side = 0; side <= kCuts; side += kCuts) {
      const int a1 = (axis + 1) % 3;
      const int a2 = (axis + 2) % 3;
      for (int j = 0; j < kCuts; ++j) {
        for (int i = 0; i < kCuts; ++i) {
          int corners[4];
          const int di[4] = {0, 1, 1, 0};
          const int dj[4] = {0, 0, 1, 1};
          for (int k = 0; k < 4; ++k) {
            std::array<int, 3> key{};
            key[axis] = side;
            key[a1] = i + di[k];
            key[a2] = j + dj[k];
            corners[k] = vertex(key);
          }
          // Split along the diagonal that runs towards the face's centre, so
          // each corner of the box is cut alike.
          const bool flip = (i < kCuts / 2) != (j < kCuts / 2);
          const int t[2][3] = {{corners[0], corners[1], flip ? corners[3] : corners[2]},
                               {flip ? corners[1] : corners[0], corners[2], corners[3]}};
          for (const auto& tri : t) {
            const Vec3 centre = (b.positions[tri[0]] + b.positions[tri[1]] + b.positions[tri[2]]) * (1.0 / 3.0);
            b.AddTriangle(tri[0], tri[1], tri[2], centre);
          }
        }
      }
    }
  }

  b.normals.resize(b.positions.size());
  for (size_t i = 0; i < b.positions.size(); ++i) b.normals[i] = SurfaceNormal(b.positions[i]);
  return b.ToFile();
}

}  // namespace showdata
