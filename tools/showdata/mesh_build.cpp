#include "tools/showdata/mesh_build.h"

#include <algorithm>
#include <utility>

namespace showdata {

namespace {

// 16.16 of a unit component, kept within -1.0..1.0 after rounding.
int32_t UnitToFixed(double v) { return std::clamp(ToFixed(v), -65536, 65536); }

}  // namespace

int MeshBuilder::AddTriangle(int a, int b, int c, Vec3 outward) {
  const Vec3 n = Cross(positions[b] - positions[a], positions[c] - positions[a]);
  if (Length(n) <= 1e-12) return -1;
  Triangle t;
  t.corner = Dot(n, outward) >= 0 ? std::array<int, 3>{a, b, c} : std::array<int, 3>{a, c, b};
  triangles.push_back(t);
  return static_cast<int>(triangles.size()) - 1;
}

void MeshBuilder::SmoothNormals() {
  std::vector<Vec3> sum(positions.size());
  for (const Triangle& t : triangles) {
    const Vec3 p[3] = {positions[t.corner[0]], positions[t.corner[1]], positions[t.corner[2]]};
    const Vec3 n = Normalised(Cross(p[1] - p[0], p[2] - p[0]));
    for (int k = 0; k < 3; ++k) {
      const Vec3 e1 = Normalised(p[(k + 1) % 3] - p[k]);
      const Vec3 e2 = Normalised(p[(k + 2) % 3] - p[k]);
      const double angle = std::acos(std::clamp(Dot(e1, e2), -1.0, 1.0));
      sum[t.corner[k]] = sum[t.corner[k]] + n * angle;
    }
  }
  normals.resize(positions.size());
  for (size_t i = 0; i < positions.size(); ++i) normals[i] = Normalised(sum[i]);
}

MeshFile MeshBuilder::ToFile() const {
  MeshFile file;
  file.vertices.reserve(positions.size());
  for (size_t i = 0; i < positions.size(); ++i) {
    const Vec3 p = positions[i];
    const Vec3 n = i < normals.size() ? normals[i] : Vec3{};
    file.vertices.push_back({{ToFixed(p.x), ToFixed(p.y), ToFixed(p.z)},
                             {UnitToFixed(n.x), UnitToFixed(n.y), UnitToFixed(n.z)}});
  }
  file.faces.reserve(triangles.size());
  for (const Triangle& t : triangles) {
    const Vec3 n = Normalised(Cross(positions[t.corner[1]] - positions[t.corner[0]],
                                    positions[t.corner[2]] - positions[t.corner[0]]));
    MeshFileFace f{};
    for (int k = 0; k < 3; ++k) f.corner[k] = t.corner[k];
    f.normal[0] = UnitToFixed(n.x);
    f.normal[1] = UnitToFixed(n.y);
    f.normal[2] = UnitToFixed(n.z);
    f.mapping = t.mapping;
    for (int k = 0; k < 3; ++k) f.uv[k] = t.mapping == kMeshMapEnvironment ? 0 : t.uv[k];
    file.faces.push_back(f);
  }
  file.uvs.reserve(uvs.size());
  for (const auto& uv : uvs) file.uvs.push_back({ToFixed(uv[0]), ToFixed(uv[1])});
  return file;
}

}  // namespace showdata
