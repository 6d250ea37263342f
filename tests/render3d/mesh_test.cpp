// Meshes: the ".ase.bin" loader and what it rejects, the projection, and the
// rasteriser (which faces draw, the screen edges, the depth test, texel
// clamping, corners too far out for 16.16 that must neither trap nor write
// astray). Files are written here, independent of the show data generator's
// writer.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <memory>
#include <numeric>
#include <string>
#include <tuple>
#include <vector>

#include "engine/core/angle_tables.h"
#include "engine/core/text_screen.h"
#include "engine/render3d/mesh.h"
#include "engine/resources/bitmap.h"
#include "tests/support/portable.h"
#include "tests/support/regex_match.h"

namespace {

constexpr int32_t kOne = 0x10000;

// The file of these records under a header of the given counts: records are
// little-endian words in field order, as they lie in memory here (the
// generator's round trip in tests/showdata checks the loader field by field).
template <class T>
void Append(std::vector<uint8_t>& out, const std::vector<T>& records) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(records.data());
  out.insert(out.end(), bytes, bytes + records.size() * sizeof(T));
}

std::vector<uint8_t> Encode(std::array<uint32_t, 3> counts, const std::vector<MeshVertex>& vertices,
                            const std::vector<MeshFace>& faces, const std::vector<MeshUV>& uvs,
                            const std::vector<MeshFaceUV>& faceUVs) {
  std::vector<uint8_t> out;
  for (uint32_t count : counts) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<uint8_t>(count >> (24 - 8 * k)));   // big-endian
  }
  Append(out, vertices), Append(out, faces), Append(out, uvs), Append(out, faceUVs);
  return out;
}

std::unique_ptr<Mesh> FromBytes(const std::vector<uint8_t>& bytes, const Bitmap* uv = nullptr,
                                const Bitmap* env = nullptr) {
  return std::unique_ptr<Mesh>(Mesh::FromBytes("test.ase.bin", bytes.data(), bytes.size(), uv, env));
}

// 3 vertices, 3 faces (mappings 0, -1 and the environment, whose texture
// indices, out of range here, are never read), 2 coordinates.
struct ExampleFile {
  std::vector<MeshVertex> vertices = {{-3, 0x8000, 1 << 20, 0, 1, 2, 7, 8, 9},
                                      {4, -5, 6, 0x10000, 0, -1, -7, -8, -9},
                                      {INT32_MIN, INT32_MAX, 3, 4, 5, 6, 70, 80, 90}};
  std::vector<MeshFace> faces = {{{0, 1, 2}, {5, -5, 0x5A5A5A5A}, 0}, {{2, 0, 1}, {1, 2, 3}, -1},
                                 {{1, 2, 0}, {-1, -2, -3}, kMeshMappingEnv}};
  std::vector<MeshUV> uvs = {{0x1999, 0xFE0000}, {0x12345, -1}};
  std::vector<MeshFaceUV> faceUVs = {{{0, 1, 1}, {1, 2, 3, -77}}, {{1, 0, 0}, {4, 5, 6, 7}}, {{-1, 99, 5}, {}}};
  std::vector<uint8_t> Bytes(std::array<uint32_t, 3> counts = {3, 3, 2}) const {
    return Encode(counts, vertices, faces, uvs, faceUVs);
  }
};

// Through the resource table's file fallback (the pack has no such name);
// bytes after the last record are ignored.
TEST(MeshLoader, RoundTrip) {
  const ExampleFile file;
  std::vector<uint8_t> bytes = file.Bytes();
  ASSERT_TRUE(bytes.size() == 304u && MeshFileBytes(3, 3, 2) == 304u);
  bytes.resize(400, 0xC3);
  std::ofstream("example.ase.bin").write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::unique_ptr<Mesh> mesh(Mesh::Load("example.ase.bin", nullptr, nullptr));
  ASSERT_TRUE(mesh->vertexCount == 3 && mesh->faceCount == 3 && mesh->uvCount == 2);
  EXPECT_EQ(std::memcmp(mesh->vertices, file.vertices.data(), 3 * sizeof(MeshVertex)), 0);
  EXPECT_EQ(std::memcmp(mesh->faces, file.faces.data(), 3 * sizeof(MeshFace)), 0);
  EXPECT_EQ(std::memcmp(mesh->uvs, file.uvs.data(), 2 * sizeof(MeshUV)), 0);
  EXPECT_EQ(std::memcmp(mesh->faceUVs, file.faceUVs.data(), 3 * sizeof(MeshFaceUV)), 0);
}

// Each refusal names the file and leaves nothing allocated (the ASan build's
// leak check sees a half-built mesh left behind); Load ends the program with
// the same line (Fatal() prints on standard output, watched on standard error).
TEST(MeshLoader, RefusesDamagedFilesNamingThem) {
  auto with = [](void (*change)(ExampleFile&)) {
    ExampleFile file;
    change(file);
    return file.Bytes();
  };
  const std::pair<std::vector<uint8_t>, const char*> cases[] = {
      {{0, 0, 0, 1, 0, 0}, "6 bytes, shorter than its 12-byte header"},
      {[] { auto bytes = ExampleFile().Bytes(); return bytes.pop_back(), bytes; }(),
       "303 bytes, but 3 vertices, 3 faces and 2 coordinates need 304"},
      // 36 x 0x071C71C8 = 2^32 + 32 and 56 x 0x04924925 = 2^32 + 24: sizes
      // that wrap in 32 bits to 68 bytes, which the file easily holds.
      {ExampleFile().Bytes({0x071C71C8u, 0x04924925u, 0}),
       "304 bytes, but 119304648 vertices, 76695845 faces and 0 coordinates need 8589934660"},
      {ExampleFile().Bytes({~0u, ~0u, ~0u}), "304 bytes, but 4294967295 vertices, .* need 429496729512"},
      {with([](ExampleFile& f) { f.faces[1].corner[1] = 3; }), "face 1 names vertex 3 of 3"},
      {with([](ExampleFile& f) { f.faces[1].corner[2] = -1; }), "face 1 names vertex -1 of 3"},
      {with([](ExampleFile& f) { f.faceUVs[1].t[2] = 2; }), "face 1 names texture coordinate 2 of 2"},
      {with([](ExampleFile& f) { f.faceUVs[0].t[0] = -3; }), "face 0 names texture coordinate -3 of 2"},
  };
  auto line = [](const char* message) { return std::string("^mesh \"broken.ase.bin\" is damaged: ") + message + "\n$"; };
  for (const auto& [bytes, message] : cases) {
    MeshRefusal refusal{};
    EXPECT_EQ(Mesh::TryFromBytes("broken.ase.bin", bytes.data(), bytes.size(), nullptr, nullptr, refusal), nullptr)
        << message;
    EXPECT_TRUE(ContainsMatch(refusal.line, line(message))) << refusal.line << " vs " << line(message);
  }
  std::ofstream("broken.ase.bin").write(reinterpret_cast<const char*>(cases[1].first.data()), cases[1].first.size());
  EXPECT_EXIT((dup2(STDERR_FILENO, STDOUT_FILENO), Mesh::Load("broken.ase.bin", nullptr, nullptr)),
              ::testing::ExitedWithCode(kFatalExitStatus), line(cases[1].second));
}

// The camera position is added to the object's, not subtracted: (3.0, -1.0,
// 4.0) + (-2.0, 0.5, 6.0) is view (1.0, -0.5, 10.0), which at focal 200.0
// projects to column 40 + 20, row 25 - 10. A view depth of 0 becomes the
// smallest.
TEST(MeshTransform, ProjectsTheReferenceVertex) {
  BuildAngleTables();
  Camera& camera = *TextScreen::Get()->camera;
  // Mesh x, y, z; camera x, y, z; focal; column, row, depth.
  const int32_t cases[][10] = {{3 * kOne, -kOne, 4 * kOne, -2 * kOne, 0x8000, 6 * kOne, 200 * kOne, 60, 15, 10 * kOne},
                               {256, -512, 0, 0, 0, 0, 256, 41, 23, 1}};
  for (const auto& c : cases) {
    std::unique_ptr<Mesh> mesh = FromBytes(Encode({1, 0, 0}, {MeshVertex{}}, {}, {}, {}));
    std::tie(mesh->x, mesh->y, mesh->z, mesh->focal) = std::tie(c[0], c[1], c[2], c[6]);
    camera = Camera{};   // a matrix of exactly 1.0, which Camera::Update never gives
    std::tie(camera.x, camera.y, camera.z) = std::tie(c[3], c[4], c[5]);
    mesh->Transform();
    EXPECT_EQ(std::tie(mesh->screenX[0], mesh->screenY[0], mesh->depth[0]), std::tie(c[7], c[8], c[9]));
  }
}

constexpr uint32_t kUV = 0x00100000, kEnv = 0x00200000;   // texel markers of the two textures
using Corners = std::vector<std::array<int32_t, 3>>;      // column, row, 16.16 depth

// Texel i holds marker | i, so a written cell names the texel it came from.
Bitmap IndexTexture(uint32_t width, uint32_t height, uint32_t marker, std::vector<uint32_t>& storage) {
  storage.resize(size_t{width} * height);
  std::iota(storage.begin(), storage.end(), marker);   // marker | i: markers have no bits below 2^20
  return Bitmap{static_cast<int32_t>(storage.size()), storage.data(), width, height};
}

// Corners projected by hand (no transform runs), all normals (0, 0, 0); face
// k joins corners 3k..3k + 2 by mappings[k]; every coordinate reads texel 0.
// The screen's cells and depths, cleared as the effects clear them before a
// draw, lie in the middle of buffers three screens long, so that writes
// astray show (depths are written with cells).
struct Scene {
  static constexpr Cell kEmpty = 0xAAAAAAAA;
  std::vector<uint32_t> uvStore, envStore;
  Bitmap uvTexture = IndexTexture(256, 256, kUV, uvStore), envTexture = IndexTexture(256, 256, kEnv, envStore);
  std::vector<Cell> cells = std::vector<Cell>(3 * kScreenCells, kEmpty);
  std::vector<int32_t> depths = std::vector<int32_t>(3 * kScreenCells, kMeshFarDepth);
  std::unique_ptr<Mesh> mesh;
  Scene(const Corners& corners, const std::vector<int32_t>& mappings) {
    std::vector<MeshFace> faces;
    for (int k = 0; k < std::ssize(mappings); ++k) faces.push_back({{3 * k, 3 * k + 1, 3 * k + 2}, {}, mappings[k]});
    const std::array<uint32_t, 3> counts = {uint32_t(corners.size()), uint32_t(faces.size()), 1};
    mesh = FromBytes(Encode(counts, std::vector<MeshVertex>(corners.size()), faces, {{0, 0}},
                            std::vector<MeshFaceUV>(faces.size())), &uvTexture, &envTexture);
    std::tie(mesh->target, mesh->depthBuffer) = std::tuple(&cells[kScreenCells], &depths[kScreenCells]);
    for (size_t i = 0; i < corners.size(); ++i) {
      std::tie(mesh->screenX[i], mesh->screenY[i], mesh->depth[i]) = std::tuple_cat(corners[i]);
    }
  }
  Cell At(int column, int row) const { return cells[kScreenCells + row * kScreenWidth + column]; }
  int Written(int first = kScreenCells, int count = kScreenCells) const {
    return count - static_cast<int>(std::count(cells.begin() + first, cells.begin() + first + count, kEmpty));
  }
  bool RowWritten(int row) const { return Written(kScreenCells + row * kScreenWidth, kScreenWidth) > 0; }
  bool WroteAstray() const { return Written(0, 3 * kScreenCells) != Written(); }
};

// Counter-clockwise, so facing: rows 10..19, columns 10..29.
Corners Triangle(int32_t z = kOne) { return {{10, 10, z}, {10, 20, z}, {30, 20, z}}; }

TEST(MeshDraw, OnlyFacingFacesWithACornerOnScreenDraw) {
  const std::pair<Corners, int> cases[] = {   // corners, cells written
      {{{10, 10, kOne}, {30, 20, kOne}, {10, 20, kOne}}, 0},     // clockwise
      {{{10, 10, kOne}, {20, 15, kOne}, {40, 25, kOne}}, 0},     // collinear
      {{{10, 10, kOne}, {10, 20, -1}, {30, 20, kOne}}, 0},       // a corner behind the camera
      {{{-30, 10, kOne}, {-30, 20, kOne}, {-1, 20, kOne}}, 0},   // wholly left
      {{{80, 10, kOne}, {80, 20, kOne}, {120, 20, kOne}}, 0},    // wholly right
      {{{0, 10, kOne}, {-30, 10, kOne}, {-30, 20, kOne}}, 1},    // its tip at column 0
      {{{0, 0, kOne}, {0, 40, kOne}, {16000, 40, kOne}}, 1 + 39 * 80},   // an area that wraps in 16.16
      // Beyond 16.16 the columns wrap and edges that long have no reciprocal.
      {{{10, 10, kOne}, {10, 20, kOne}, {40000, 20, kOne}}, 0},
      {{{-20000, 10, kOne}, {-20000, 40, kOne}, {20000, 40, kOne}}, 0},
      {{{10, -70000, kOne}, {10, 20, kOne}, {30, 20, kOne}}, 0},
  };
  for (const auto& [corners, written] : cases) {
    Scene s(corners, {0});
    s.mesh->Draw(nullptr);
    EXPECT_EQ(s.Written(), written) << corners[1][0] << " " << corners[2][0];
    EXPECT_FALSE(s.WroteAstray());
  }
  Scene s(Triangle(), {0});   // rows from the top corner to just above the bottom one
  s.mesh->Draw(nullptr);
  for (int row = 9; row <= 20; ++row) EXPECT_EQ(s.RowWritten(row), row >= 10 && row <= 19) << row;
  Scene tall({{10, -300, kOne}, {10, 400, kOne}, {70, 400, kOne}}, {0});
  tall.mesh->Draw(nullptr);
  EXPECT_TRUE(tall.RowWritten(0) && tall.RowWritten(49) && !tall.WroteAstray());
}

// A cell takes the nearer face; at equal depth the one drawn first keeps
// it; at the buffer's 100.0 nothing draws. Only mapping 1 reads the
// environment, here its centre.
TEST(MeshDraw, DepthTest) {
  for (int32_t uvMapping : {0, 2, -1}) {
    for (auto [uvZ, envZ] : {std::pair(5, 2), std::pair(2, 5), std::pair(3, 3), std::pair(100, 100)}) {
      const bool uvFirst = uvMapping == 0;
      Corners corners = Triangle((uvFirst ? uvZ : envZ) * kOne), second = Triangle((uvFirst ? envZ : uvZ) * kOne);
      corners.insert(corners.end(), second.begin(), second.end());
      Scene s(corners, uvFirst ? std::vector{uvMapping, 1} : std::vector{1, uvMapping});
      s.mesh->Draw(nullptr);
      const Cell uvOrEnv = uvZ < envZ || (uvZ == envZ && uvFirst) ? kUV : kEnv | (128 * 256 + 128);
      EXPECT_EQ(s.At(12, 18), uvZ == 100 ? Scene::kEmpty : uvOrEnv) << uvZ << " " << envZ << " " << uvMapping;
      EXPECT_EQ(s.depths[kScreenCells + 18 * 80 + 12], std::min(uvZ, envZ) * kOne);
    }
  }
}

TEST(MeshDrawSpan, InterpolatesFromTheLeftEndClipsToTheScreenAndClampsTexels) {
  Scene s({}, {});
  auto span = [&s](int32_t xa, int32_t xb, int32_t row, int32_t ua, int32_t ub, int32_t v = 2 * kOne) {
    s.mesh->DrawSpan(xa, xb, row, ua, v, ub, v, kOne, kOne);
  };
  // 32 cells right to left, one texel each: the clipped end advances the texture.
  span(16, -16, 0, 32 * kOne, 0);
  EXPECT_TRUE(s.At(0, 0) == (kUV | (2 * 256 + 16)) && s.At(16, 0) == (kUV | (2 * 256 + 32)));
  span(70, 102, 3, 0, 32 * kOne);
  EXPECT_TRUE(s.At(79, 3) == (kUV | (2 * 256 + 9)) && !s.RowWritten(4));
  // Rows off the screen, and spans too long for a reciprocal, write nothing.
  const int32_t off[][3] = {{0, 79, -1}, {0, 79, 50}, {-40000, 40, 5}, {-32768, 32767, 5}, {INT32_MIN, INT32_MAX, 5}};
  for (const auto& o : off) span(o[0], o[1], o[2], 0, kOne);
  EXPECT_EQ(s.Written(), 17 + 10);
  span(-32700, 40, 5, 0, kOne);   // 32740 cells: drawn
  EXPECT_TRUE(s.RowWritten(5) && !s.WroteAstray());
  // Texels are clamped to the texture (at most 256 columns); none reads black.
  span(0, 1, 6, INT32_MIN, INT32_MIN, INT32_MAX);
  EXPECT_TRUE(s.At(0, 6) == (kUV | (255 * 256)) && s.At(1, 6) == (kUV | (255 * 256)));
  std::vector<uint32_t> store;
  const Bitmap narrow = IndexTexture(16, 8, kUV, store);
  s.mesh->SelectTexture(&narrow);
  span(0, 1, 7, 3 * kOne, 300 * kOne);
  EXPECT_TRUE(s.At(0, 7) == (kUV | (2 * 16 + 3)) && s.At(1, 7) == (kUV | (2 * 16 + 15)));
  s.mesh->SelectTexture(nullptr);
  span(0, 0, 8, 5 * kOne, 5 * kOne);
  EXPECT_EQ(s.At(0, 8), 0u);
}

}  // namespace
