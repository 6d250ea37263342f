// The mesh writer and the show's two meshes: the file layout, a round trip
// through the engine's loader, and the shape of what ships (closed,
// outward-facing, unit normals, the sizes the effects are framed for).

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <utility>

#include "engine/render3d/mesh.h"
#include "tools/showdata/mesh_build.h"
#include "tools/showdata/mesh_file.h"
#include "tools/showdata/show_meshes.h"

namespace {

using showdata::MeshFile;
using showdata::Vec3;

uint32_t BigEndianAt(const std::vector<uint8_t>& b, size_t at) {
  return (uint32_t{b[at]} << 24) | (uint32_t{b[at + 1]} << 16) | (uint32_t{b[at + 2]} << 8) | b[at + 3];
}
int32_t LittleEndianAt(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<int32_t>(uint32_t{b[at]} | (uint32_t{b[at + 1]} << 8) | (uint32_t{b[at + 2]} << 16) |
                              (uint32_t{b[at + 3]} << 24));
}

MeshFile SmallMesh() {
  MeshFile m;
  m.vertices = {{{0x10000, -0x20000, 0x7FFFFFFF}, {0, 0x10000, 0}},
                {{-1, 2, -3}, {-0x10000, 0, 0}},
                {{0x123456, 0x654321, -0x7F}, {0, 0, 0x10000}}};
  m.faces = {{{0, 1, 2}, {0, 0, 0x10000}, showdata::kMeshMapCoordinates, {1, 0, 2}},
             {{2, 1, 0}, {0, 0, -0x10000}, showdata::kMeshMapEnvironment, {0, 0, 0}}};
  m.uvs = {{0x1999, 0xFE0000}, {0x10000, 0x20000}, {0x800000, 0x7FE666}};
  return m;
}

TEST(MeshWriter, LaysTheFileOut) {
  const MeshFile m = SmallMesh();
  const std::vector<uint8_t> b = showdata::EncodeMesh(m);
  ASSERT_EQ(b.size(), 12u + 36 * 3 + 56 * 2 + 8 * 3);
  EXPECT_EQ(b.size(), MeshFileBytes(3, 2, 3));
  for (size_t at : {0, 4, 8}) EXPECT_EQ(BigEndianAt(b, at), at == 4 ? 2u : 3u) << at;
  EXPECT_EQ(b[12], 0x00);   // 0x10000 little-endian: 00 00 01 00
  EXPECT_EQ(b[14], 0x01);
  EXPECT_EQ(LittleEndianAt(b, 12 + 8), 0x7FFFFFFF);
  // The transformed-normal slot holds a copy of the normal.
  for (int k = 0; k < 3; ++k) EXPECT_EQ(LittleEndianAt(b, 12 + 24 + 4 * k), m.vertices[0].normal[k]);
  const size_t faces = 12 + 36 * 3;
  EXPECT_EQ(LittleEndianAt(b, faces + 28 + 24), showdata::kMeshMapEnvironment);
  const size_t faceUVs = faces + 28 * 2 + 8 * 3;
  EXPECT_EQ(LittleEndianAt(b, faceUVs), 1);
  for (int k = 3; k < 7; ++k) EXPECT_EQ(LittleEndianAt(b, faceUVs + 4 * k), 0);
}

TEST(MeshWriter, RoundTripsThroughTheLoader) {
  const MeshFile m = SmallMesh();
  const std::vector<uint8_t> b = showdata::EncodeMesh(m);
  const std::unique_ptr<Mesh> mesh(Mesh::FromBytes("small.ase.bin", b.data(), b.size(), nullptr, nullptr));
  ASSERT_EQ(mesh->vertexCount, 3);
  ASSERT_EQ(mesh->faceCount, 2);
  ASSERT_EQ(mesh->uvCount, 3);
  for (int i = 0; i < 3; ++i) {
    const MeshVertex& v = mesh->vertices[i];
    EXPECT_EQ((std::array<int32_t, 6>{v.px, v.py, v.pz, v.nx, v.ny, v.nz}),
              (std::array<int32_t, 6>{m.vertices[i].position[0], m.vertices[i].position[1], m.vertices[i].position[2],
                                      m.vertices[i].normal[0], m.vertices[i].normal[1], m.vertices[i].normal[2]}));
    EXPECT_EQ(std::make_pair(mesh->uvs[i].u, mesh->uvs[i].v), std::make_pair(m.uvs[i].u, m.uvs[i].v));
  }
  for (int i = 0; i < 2; ++i) {
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(mesh->faces[i].corner[k], m.faces[i].corner[k]);
      EXPECT_EQ(mesh->faceUVs[i].t[k], m.faces[i].uv[k]);
    }
    EXPECT_EQ(mesh->faces[i].mapping, m.faces[i].mapping);
  }
}

TEST(MeshWriter, WritesTheSameBytesToDisk) {
  const MeshFile m = SmallMesh();
  ASSERT_TRUE(showdata::WriteMeshFile(m, "small_written.ase.bin"));
  std::ifstream in("small_written.ase.bin", std::ios::binary);
  const std::vector<uint8_t> disk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(disk, showdata::EncodeMesh(m));
  EXPECT_FALSE(std::filesystem::exists("small_written.ase.bin.part"));
  EXPECT_FALSE(showdata::WriteMeshFile(m, "no_such_directory/x.ase.bin"));
}

TEST(MeshWriter, ToFixedRoundsToTheNearestStep) {
  const std::pair<double, int32_t> cases[] = {
      {1.0, 0x10000}, {-2.5, -0x28000}, {0.4 / 65536, 0}, {0.6 / 65536, 1}, {-0.6 / 65536, -1}};
  for (const auto& [x, fixed] : cases) EXPECT_EQ(showdata::ToFixed(x), fixed) << x;
}

TEST(MeshBuilder, WindsTrianglesToFaceOutward) {
  showdata::MeshBuilder b;
  const int a = b.AddVertex({0, 0, 0});
  const int c = b.AddVertex({1, 0, 0});
  const int d = b.AddVertex({0, 1, 0});
  const int e = b.AddVertex({2, 0, 0});
  ASSERT_EQ(b.AddTriangle(a, c, d, {0, 0, 1}), 0);
  ASSERT_EQ(b.AddTriangle(a, c, d, {0, 0, -1}), 1);
  EXPECT_EQ(b.AddTriangle(a, c, e, {0, 0, 1}), -1);   // collinear: not added
  EXPECT_EQ(b.triangles[0].corner, (std::array<int, 3>{a, c, d}));
  EXPECT_EQ(b.triangles[1].corner, (std::array<int, 3>{a, d, c}));
  b.SmoothNormals();
  // The two opposite triangles cancel.
  EXPECT_NEAR(showdata::Length(b.normals[a]), 0.0, 1e-12);
}

// ---------------------------------------------------------------------------
// The shipped meshes

struct Shape {
  MeshFile file;
  std::vector<Vec3> p;   // positions in units

  explicit Shape(MeshFile f) : file(std::move(f)) {
    for (const auto& v : file.vertices) {
      p.push_back({v.position[0] / 65536.0, v.position[1] / 65536.0, v.position[2] / 65536.0});
    }
  }
  Vec3 Corner(size_t face, int k) const { return p[file.faces[face].corner[k]]; }
  Vec3 FaceCross(size_t face) const {
    return showdata::Cross(Corner(face, 1) - Corner(face, 0), Corner(face, 2) - Corner(face, 0));
  }
};

// Every directed edge once, and its reverse once: a closed surface whose
// faces all turn the same way.
void ExpectClosedAndConsistent(const Shape& s) {
  std::map<std::pair<int, int>, int> edges;
  for (const auto& f : s.file.faces) {
    for (int k = 0; k < 3; ++k) ++edges[{f.corner[k], f.corner[(k + 1) % 3]}];
  }
  int bad = 0;
  for (const auto& [edge, count] : edges) {
    const auto reverse = edges.find({edge.second, edge.first});
    if (count != 1 || reverse == edges.end() || reverse->second != 1) ++bad;
  }
  EXPECT_EQ(bad, 0);
}

// Divergence theorem: with outward faces the enclosed volume is positive.
double SignedVolume(const Shape& s) {
  double volume = 0;
  for (size_t i = 0; i < s.file.faces.size(); ++i) volume += showdata::Dot(s.Corner(i, 0), s.FaceCross(i)) / 6.0;
  return volume;
}

void ExpectUnitNormalsAgreeingWithTheFaces(const Shape& s) {
  int notUnit = 0;
  for (const auto& v : s.file.vertices) {
    const double len = std::sqrt(std::pow(v.normal[0] / 65536.0, 2) + std::pow(v.normal[1] / 65536.0, 2) +
                                 std::pow(v.normal[2] / 65536.0, 2));
    if (std::fabs(len - 1.0) > 1.0 / 8192) ++notUnit;
    for (int k = 0; k < 3; ++k) {
      EXPECT_LE(std::abs(v.normal[k]), 0x10000);
    }
  }
  EXPECT_EQ(notUnit, 0);
  // A smooth surface: each corner's normal leans the face's way.
  int against = 0;
  for (size_t i = 0; i < s.file.faces.size(); ++i) {
    const Vec3 n = showdata::Normalised(s.FaceCross(i));
    for (int k = 0; k < 3; ++k) {
      const auto& vn = s.file.vertices[s.file.faces[i].corner[k]].normal;
      if (showdata::Dot(n, {vn[0] / 65536.0, vn[1] / 65536.0, vn[2] / 65536.0}) <= 0.0) ++against;
    }
  }
  EXPECT_EQ(against, 0);
}

TEST(ShowMeshes, WritesBothMeshesLoadable) {
  ASSERT_EQ(showdata::ShowMeshes().size(), 2u);
  EXPECT_STREQ(showdata::ShowMeshes()[0].fileName, "pineapple3.ase.bin");
  EXPECT_STREQ(showdata::ShowMeshes()[1].fileName, "box.ase.bin");
  std::filesystem::create_directories("meshes_out");
  std::string error;
  ASSERT_TRUE(showdata::WriteShowMeshes("meshes_out", error)) << error;
  for (const auto& entry : showdata::ShowMeshes()) {
    std::ifstream in(std::string("meshes_out/") + entry.fileName, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, showdata::EncodeMesh(entry.generate())) << entry.fileName;
    const std::unique_ptr<Mesh> mesh(Mesh::FromBytes(entry.fileName, bytes.data(), bytes.size(), nullptr, nullptr));
    EXPECT_GT(mesh->faceCount, 0);
  }
  EXPECT_FALSE(showdata::WriteShowMeshes("meshes_out/missing_dir", error));
  EXPECT_NE(error.find("missing_dir"), std::string::npos);
}

// One shape per suite, built once.
template <MeshFile (*Make)()>
class ShippedMesh : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { shape_ = new Shape(Make()); }
  static void TearDownTestSuite() {
    delete shape_;
    shape_ = nullptr;
  }
  static inline Shape* shape_ = nullptr;
};
using SkullMesh = ShippedMesh<showdata::MakeSkullMesh>;
using BoxMesh = ShippedMesh<showdata::MakeBoxMesh>;

TEST_F(SkullMesh, IsAFewThousandFacesWithTheSocketsMappedByCoordinates) {
  const MeshFile& f = shape_->file;
  EXPECT_GE(f.faces.size(), 3000u);
  EXPECT_LE(f.faces.size(), 8000u);
  size_t coordinateFaces = 0;
  for (const auto& face : f.faces) {
    if (face.mapping == showdata::kMeshMapEnvironment) continue;
    ++coordinateFaces;
    for (int t : face.uv) {
      ASSERT_GE(t, 0);
      ASSERT_LT(t, static_cast<int>(f.uvs.size()));
    }
    // Only front faces: the sockets lie on the face of the skull.
    EXPECT_GT(showdata::Dot(shape_->FaceCross(&face - f.faces.data()), showdata::kSkullFront), 0.0);
  }
  EXPECT_GT(coordinateFaces, f.faces.size() / 20);
  EXPECT_LT(coordinateFaces, f.faces.size() / 5);
  for (const auto& uv : f.uvs) {
    EXPECT_GE(uv.u, showdata::ToFixed(0.1));
    EXPECT_LE(uv.u, showdata::ToFixed(254.9));
    EXPECT_GE(uv.v, showdata::ToFixed(0.1));
    EXPECT_LE(uv.v, showdata::ToFixed(254.9));
  }
}

TEST_F(SkullMesh, IsClosedFacesOutwardAndHasSmoothUnitNormals) {
  ExpectClosedAndConsistent(*shape_);
  EXPECT_GT(SignedVolume(*shape_), 0.0);
  ExpectUnitNormalsAgreeingWithTheFaces(*shape_);
}

// Two thirds of its half height across, two halves up the spin axis, a sixth
// thick, raised along the axis.
TEST_F(SkullMesh, SpansItsFrame) {
  double lo[3] = {1e9, 1e9, 1e9}, hi[3] = {-1e9, -1e9, -1e9};
  const Vec3 axes[3] = {showdata::kSkullRight, showdata::kSkullUp, showdata::kSkullFront};
  for (const Vec3& p : shape_->p) {
    for (int a = 0; a < 3; ++a) {
      lo[a] = std::min(lo[a], showdata::Dot(p, axes[a]));
      hi[a] = std::max(hi[a], showdata::Dot(p, axes[a]));
    }
  }
  const double s = showdata::kSkullScale;
  EXPECT_NEAR(hi[0] - lo[0], 4.0 / 3.0 * s, 0.1 * s);
  EXPECT_NEAR(lo[0] + hi[0], 0.0, 1e-3);   // symmetric about the spin axis
  EXPECT_NEAR(hi[1] - lo[1], 2.0 * s, 0.1 * s);
  EXPECT_NEAR(0.5 * (lo[1] + hi[1]), showdata::kSkullLift, 0.3);
  EXPECT_NEAR(hi[2] - lo[2], s / 3.0, 0.07 * s);
  // The frame is right-handed and the up axis is what a tilt of 12000 steps
  // about X turns onto Z.
  EXPECT_NEAR(showdata::Length(showdata::Cross(showdata::kSkullRight, showdata::kSkullUp) - showdata::kSkullFront),
              0.0, 1e-12);
  const double tilt = 2 * 3.14159265358979 * 12000 / 65536;
  EXPECT_NEAR(showdata::kSkullUp.y, std::sin(tilt), 1e-12);
  EXPECT_NEAR(showdata::kSkullUp.z, std::cos(tilt), 1e-12);
}

TEST_F(BoxMesh, IsAFewHundredEnvironmentMappedFaces) {
  EXPECT_GE(shape_->file.faces.size(), 200u);
  EXPECT_LT(shape_->file.faces.size(), 1000u);
  for (const auto& face : shape_->file.faces) EXPECT_EQ(face.mapping, showdata::kMeshMapEnvironment);
  EXPECT_TRUE(shape_->file.uvs.empty());
}

TEST_F(BoxMesh, SpansMinus2_5To2_5OnEveryAxis) {
  for (int a = 0; a < 3; ++a) {
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (const auto& v : shape_->file.vertices) {
      lo = std::min(lo, v.position[a]);
      hi = std::max(hi, v.position[a]);
    }
    EXPECT_EQ(lo, -0x28000) << a;
    EXPECT_EQ(hi, 0x28000) << a;
  }
}

TEST_F(BoxMesh, IsClosedAndFacesOutward) {
  ExpectClosedAndConsistent(*shape_);
  const double volume = SignedVolume(*shape_);
  EXPECT_GT(volume, 0.85 * 125.0);   // rounded, so a little under the cube's 125
  EXPECT_LT(volume, 125.0);
}

// Normals vary over the faces too, so that the environment moves on them.
TEST_F(BoxMesh, HasSmoothUnitNormalsThatTurnAcrossEachFace) {
  ExpectUnitNormalsAgreeingWithTheFaces(*shape_);
  int tilted = 0;
  for (const auto& v : shape_->file.vertices) {
    const int32_t biggest = std::max({std::abs(v.normal[0]), std::abs(v.normal[1]), std::abs(v.normal[2])});
    if (biggest < 0xF000) ++tilted;   // more than about 20 degrees off a face's axis
  }
  EXPECT_GT(tilted, static_cast<int>(shape_->file.vertices.size()) / 4);
}

}  // namespace
