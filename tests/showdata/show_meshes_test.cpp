// The show's two meshes: written files that the engine's loader reads back
// field for field, and their shape (closed, outward-facing, unit normals
// agreeing with the faces, the sizes the effects are framed for).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <tuple>
#include <utility>

#include "engine/render3d/mesh.h"
#include "tests/support/run_tool.h"
#include "tools/showdata/show_meshes.h"

namespace {

using showdata::Dot;
using showdata::MeshFile;
using showdata::Vec3;

TEST(ShowMeshes, WrittenFilesRoundTripThroughTheLoader) {
  std::string error;
  ASSERT_TRUE(showdata::WriteShowMeshes(".", error)) << error;
  for (const showdata::ShowMesh& entry : showdata::ShowMeshes()) {
    SCOPED_TRACE(entry.fileName);
    const std::string text = ReadText(entry.fileName);
    const MeshFile m = entry.generate();
    ASSERT_EQ(text.size(), MeshFileBytes(m.vertices.size(), m.faces.size(), m.uvs.size()));
    const std::unique_ptr<Mesh> mesh(Mesh::FromBytes(entry.fileName, reinterpret_cast<const uint8_t*>(text.data()),
                                                     text.size(), nullptr, nullptr));
    ASSERT_EQ(std::tuple(mesh->vertexCount, mesh->faceCount, mesh->uvCount),
              std::tuple(int(m.vertices.size()), int(m.faces.size()), int(m.uvs.size())));
    int differ = 0;
    for (size_t i = 0; i < m.vertices.size(); ++i) {
      const MeshVertex& v = mesh->vertices[i];
      const auto& [p, n] = m.vertices[i];
      differ += std::array{v.px, v.py, v.pz, v.nx, v.ny, v.nz} != std::array{p[0], p[1], p[2], n[0], n[1], n[2]};
    }
    for (size_t i = 0; i < m.faces.size(); ++i)
      for (int k = 0; k < 3; ++k)
        differ += mesh->faces[i].corner[k] != m.faces[i].corner[k] || mesh->faceUVs[i].t[k] != m.faces[i].uv[k] ||
                  mesh->faces[i].mapping != m.faces[i].mapping;
    for (size_t i = 0; i < m.uvs.size(); ++i) differ += mesh->uvs[i].u != m.uvs[i].u || mesh->uvs[i].v != m.uvs[i].v;
    EXPECT_EQ(differ, 0);
  }
}

Vec3 Units(const int32_t (&v)[3]) { return {v[0] / 65536.0, v[1] / 65536.0, v[2] / 65536.0}; }

Vec3 FaceCross(const MeshFile& m, size_t face) {
  const auto& c = m.faces[face].corner;
  const Vec3 p0 = Units(m.vertices[c[0]].position);
  return showdata::Cross(Units(m.vertices[c[1]].position) - p0, Units(m.vertices[c[2]].position) - p0);
}

// Every directed edge once and its reverse once (a closed surface whose faces
// all turn the same way); unit vertex normals, each leaning its faces' way.
// Returns the enclosed volume (divergence theorem: positive for outward faces).
double ExpectClosedWithSmoothUnitNormals(const MeshFile& m) {
  std::map<std::pair<int, int>, int> edges;
  int badEdges = 0, notUnit = 0, against = 0;
  double volume = 0;
  for (size_t i = 0; i < m.faces.size(); ++i) {
    const auto& c = m.faces[i].corner;
    for (int k = 0; k < 3; ++k) {
      ++edges[{c[k], c[(k + 1) % 3]}];
      against += Dot(FaceCross(m, i), Units(m.vertices[c[k]].normal)) <= 0.0;
    }
    volume += Dot(Units(m.vertices[c[0]].position), FaceCross(m, i)) / 6.0;
  }
  for (const auto& [edge, count] : edges) badEdges += count != 1 || edges[{edge.second, edge.first}] != 1;
  for (const auto& v : m.vertices) notUnit += std::fabs(showdata::Length(Units(v.normal)) - 1.0) > 1.0 / 8192;
  EXPECT_EQ(std::tuple(badEdges, notUnit, against), std::tuple(0, 0, 0));
  return volume;
}

TEST(ShowMeshes, SkullIsClosedFramedAndHasItsSocketsMappedByCoordinates) {
  const MeshFile f = showdata::MakeSkullMesh();
  EXPECT_TRUE(f.faces.size() >= 3000u && f.faces.size() <= 8000u) << f.faces.size();
  EXPECT_GT(ExpectClosedWithSmoothUnitNormals(f), 0.0);
  size_t coordinateFaces = 0;
  for (size_t i = 0; i < f.faces.size(); ++i) {
    if (f.faces[i].mapping == showdata::kMeshMapEnvironment) continue;
    ++coordinateFaces;   // its coordinates are checked by the loader (round trip above)
    EXPECT_GT(Dot(FaceCross(f, i), showdata::kSkullFront), 0.0);  // the sockets lie on the face
  }
  EXPECT_TRUE(coordinateFaces > f.faces.size() / 20 && coordinateFaces < f.faces.size() / 5) << coordinateFaces;
}

TEST(ShowMeshes, BoxIsARoundedEnvironmentMappedBoxWithTurningNormals) {
  const MeshFile box = showdata::MakeBoxMesh();
  EXPECT_TRUE(box.faces.size() >= 200u && box.faces.size() < 1000u) << box.faces.size();
  const double volume = ExpectClosedWithSmoothUnitNormals(box);
  EXPECT_TRUE(volume > 0.85 * 125.0 && volume < 125.0) << volume;  // rounded: a little under the cube's
  for (const auto& face : box.faces) EXPECT_EQ(face.mapping, showdata::kMeshMapEnvironment);
  EXPECT_TRUE(box.uvs.empty());
  int tilted = 0;
  std::array<int32_t, 3> lo{}, hi{};
  for (const auto& [p, n] : box.vertices) {
    for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], p[a]), hi[a] = std::max(hi[a], p[a]);
    tilted += std::max({std::abs(n[0]), std::abs(n[1]), std::abs(n[2])}) < 0xF000;
  }
  EXPECT_EQ(lo, (std::array{-0x28000, -0x28000, -0x28000}));
  EXPECT_EQ(hi, (std::array{0x28000, 0x28000, 0x28000}));
  // Normals turn across each face too, so that the environment moves on them.
  EXPECT_GT(tilted, static_cast<int>(box.vertices.size()) / 4);
}

}  // namespace
