// Mesh::Transform, Mesh::Draw and Mesh::DrawSpan: projection, face
// rejection, row and span coverage, depth test, texel addressing, and the
// coordinates too large for 16.16 that must neither trap nor write astray.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/core/angle_tables.h"
#include "engine/core/text_screen.h"
#include "engine/render3d/fixed_math.h"
#include "engine/render3d/mesh.h"
#include "tests/render3d/mesh_test_support.h"

namespace {

using meshtest::Encode;
using meshtest::Face;
using meshtest::GuardedBuffers;
using meshtest::UV;
using meshtest::Vertex;

constexpr int32_t kOne = 0x10000;
constexpr uint32_t kUVMarker = 0x00100000;    // texels of the coordinate texture
constexpr uint32_t kEnvMarker = 0x00200000;   // texels of the environment texture

std::unique_ptr<Mesh> Build(const std::vector<Vertex>& vertices, const std::vector<Face>& faces,
                            const std::vector<UV>& uvs, const Bitmap* uvTexture = nullptr,
                            const Bitmap* envTexture = nullptr) {
  const std::vector<uint8_t> bytes = Encode(vertices, faces, uvs);
  return std::unique_ptr<Mesh>(Mesh::FromBytes("raster.ase.bin", bytes.data(), bytes.size(), uvTexture, envTexture));
}

// A mesh of n vertices whose projection the test writes by hand, with the
// two index textures bound.
struct Scene {
  std::vector<uint32_t> uvStore, envStore;
  Bitmap uvTexture = meshtest::IndexTexture(256, 256, kUVMarker, uvStore);
  Bitmap envTexture = meshtest::IndexTexture(256, 256, kEnvMarker, envStore);
  GuardedBuffers buffers;
  std::unique_ptr<Mesh> mesh;

  // Corners (column, row, depth 16.16); one face per triple, all mapped by
  // coordinates (the face's uv indices = its corner indices).
  Scene(const std::vector<std::array<int32_t, 3>>& corners, const std::vector<Face>& faces,
        const std::vector<UV>& uvs) {
    std::vector<Vertex> vertices(corners.size(), Vertex{{0, 0, 0}, {0, 0, 0}});
    mesh = Build(vertices, faces, uvs, &uvTexture, &envTexture);
    buffers.Bind(*mesh);
    // No transform runs: every transformed normal is (0, 0, 0), which reads
    // environment texel (128, 128).
    for (int i = 0; i < mesh->vertexCount; ++i) {
      mesh->vertices[i].tnx = mesh->vertices[i].tny = mesh->vertices[i].tnz = 0;
    }
    for (size_t i = 0; i < corners.size(); ++i) {
      mesh->screenX[i] = corners[i][0];
      mesh->screenY[i] = corners[i][1];
      mesh->depth[i] = corners[i][2];
    }
  }
  void Draw() { mesh->Draw(nullptr); }
};

Face UVFace(int a, int b, int c, int32_t mapping = 0) { return Face{{a, b, c}, mapping, {a, b, c}}; }

// Texture coordinates that read texel (column, row) everywhere.
std::vector<UV> ConstantUV(int n, int column, int row) {
  return std::vector<UV>(n, UV{column * kOne + 0x8000, row * kOne + 0x8000});
}

// ---------------------------------------------------------------------------
// The 32-bit quotients stand for the 64-bit ones on whole-cell lengths.

TEST(MeshQuotients, EqualTheSixtyFourBitForms) {
  const int32_t values[] = {0, 1, -1, 65535, -65536, 0x7FFFFFFF, INT32_MIN, 123456789, -987654321, 0x10000 * 3 + 7};
  for (int32_t n = 1; n <= 32767; ++n) {
    const int64_t h = int64_t{n} << 16;
    ASSERT_EQ(MeshReciprocal(n), static_cast<int32_t>((int64_t{1} << 32) / h)) << n;
    for (int32_t d : values) {
      ASSERT_EQ(MeshDivide(d, n), static_cast<int32_t>(static_cast<uint32_t>((int64_t{d} << 16) / h))) << d << " " << n;
    }
  }
}

// ---------------------------------------------------------------------------
// Transform

class MeshTransform : public ::testing::Test {
 protected:
  void SetUp() override {
    BuildAngleTables();
    camera_ = TextScreen::Get()->camera;
    saved_ = *camera_;
    // A camera matrix of exactly 1.0 (Camera::Update only reaches 65534/65536).
    *camera_ = Camera{};
    SetIdentity(camera_->matrix);
  }
  void TearDown() override { *camera_ = saved_; }
  Camera* camera_ = nullptr;
  Camera saved_;
};

// The mesh translation passes through the identity camera unchanged, so a
// vertex at the object's origin lands exactly at the mesh position.
TEST_F(MeshTransform, ProjectsTheReferenceVertex) {
  std::unique_ptr<Mesh> mesh = Build({{{0, 0, 0}, {0, 0, kOne}}}, {}, {});
  mesh->focal = 200 * kOne;
  mesh->x = kOne;
  mesh->y = -kOne / 2;
  mesh->z = 10 * kOne;
  mesh->Transform();
  EXPECT_EQ(mesh->screenX[0], 60);   // E = 20.0: 40 + 1.0 x 20
  EXPECT_EQ(mesh->screenY[0], 15);   // 25 - 0.5 x 20
  EXPECT_EQ(mesh->depth[0], 10 * kOne);
}

TEST_F(MeshTransform, AddsTheCameraPositionToTheObjectPosition) {
  std::unique_ptr<Mesh> mesh = Build({{{0, 0, 0}, {0, 0, 0}}}, {}, {});
  mesh->focal = 200 * kOne;
  mesh->x = 3 * kOne;
  camera_->x = -2 * kOne;   // added, not subtracted: view X = 1.0
  mesh->y = -kOne;
  camera_->y = kOne / 2;
  mesh->z = 4 * kOne;
  camera_->z = 6 * kOne;
  mesh->Transform();
  EXPECT_EQ(mesh->screenX[0], 60);
  EXPECT_EQ(mesh->screenY[0], 15);
  EXPECT_EQ(mesh->depth[0], 10 * kOne);
}

TEST_F(MeshTransform, ViewDepthZeroProjectsAsTheSmallestDepth) {
  // focal 1/256: E = (256 << 16) / 1 = 256.0 at the smallest depth.
  // The second vertex lands at view Z = 2 x 65534 / 65536 = 1: the smallest depth.
  std::unique_ptr<Mesh> mesh = Build({{{0, 0, 0}, {0, 0, 0}}, {{0, 0, 2}, {0, 0, 0}}}, {}, {});
  mesh->focal = 256;
  mesh->x = 256;        // 1/256 of a unit
  mesh->y = -512;
  mesh->Transform();
  EXPECT_EQ(mesh->depth[0], 1);   // 0 became 1
  EXPECT_EQ(mesh->depth[1], 1);
  EXPECT_EQ(mesh->screenX[0], mesh->screenX[1]);
  EXPECT_EQ(mesh->screenY[0], mesh->screenY[1]);
  EXPECT_EQ(mesh->screenX[0], 41);   // 1/256 x 256 = 1 column right of the centre
  EXPECT_EQ(mesh->screenY[0], 23);
}

TEST_F(MeshTransform, ReducesTheAnglesAndRotatesTheNormals) {
  std::unique_ptr<Mesh> mesh = Build({{{kOne, 0, 0}, {0, 0, kOne}}}, {}, {});
  mesh->angleX = 70000;
  mesh->angleZ = -1;
  mesh->Transform();
  EXPECT_EQ(mesh->angleX, 4464);
  EXPECT_EQ(mesh->angleZ, 0xFFFF);
  Matrix3 r;
  BuildRotation(r, SinTable[4464], SinTable[0], SinTable[0xFFFF], CosTable[4464], CosTable[0], CosTable[0xFFFF]);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(mesh->matrix.m[i], r.m[i]) << i;
  // The identity camera leaves W = the object matrix: the normal is row 2.
  EXPECT_EQ(mesh->vertices[0].tnx, FixedMul(kOne, r.m[6]));
  EXPECT_EQ(mesh->vertices[0].tny, FixedMul(kOne, r.m[7]));
  EXPECT_EQ(mesh->vertices[0].tnz, FixedMul(kOne, r.m[8]));
}

// Object rotation first, camera rotation second, on positions and normals.
TEST_F(MeshTransform, AppliesTheObjectRotationBeforeTheCamera) {
  std::unique_ptr<Mesh> mesh = Build({{{kOne, 2 * kOne, 3 * kOne}, {kOne, 0, 0}}}, {}, {});
  mesh->angleY = 9000;
  camera_->angleX = 20000;
  camera_->Update();
  mesh->z = 30 * kOne;
  mesh->Transform();
  Matrix3 w;
  SetIdentity(w);
  MultiplyMatrix(w, mesh->matrix);
  MultiplyMatrix(w, camera_->matrix);
  int32_t n[3];
  TransformVector(n, w, kOne, 0, 0);
  EXPECT_EQ(mesh->vertices[0].tnx, n[0]);
  EXPECT_EQ(mesh->vertices[0].tny, n[1]);
  EXPECT_EQ(mesh->vertices[0].tnz, n[2]);
  int32_t p[3], t[3];
  TransformVector(p, w, kOne, 2 * kOne, 3 * kOne);
  TransformVector(t, camera_->matrix, 0, 0, 30 * kOne);
  EXPECT_EQ(mesh->depth[0], p[2] + t[2]);
}

// ---------------------------------------------------------------------------
// Face rejection

TEST(MeshDraw, DrawsACounterClockwiseFaceAndStoresItsArea) {
  Scene s({{10, 10, kOne}, {10, 20, kOne}, {30, 20, kOne}}, {UVFace(0, 1, 2)}, ConstantUV(3, 7, 9));
  s.Draw();
  EXPECT_GT(s.buffers.Written(), 0);
  EXPECT_EQ(s.buffers.At(12, 18), kUVMarker | (9 * 256 + 7));
  // (x1 - x0)(y2 - y0) - (x2 - x0)(y1 - y0) = 0 x 10 - 20 x 10 cells.
  EXPECT_EQ(s.mesh->faceArea[0], -200 * kOne);
}

TEST(MeshDraw, SkipsBackFacingAndZeroAreaFaces) {
  Scene s({{10, 10, kOne}, {30, 20, kOne}, {10, 20, kOne}, {20, 15, kOne}, {40, 25, kOne}},
          {UVFace(0, 1, 2), UVFace(0, 3, 4)}, ConstantUV(5, 1, 1));
  s.Draw();
  EXPECT_EQ(s.buffers.Written(), 0);
  EXPECT_EQ(s.mesh->faceArea[0], 200 * kOne);   // the same face, listed the other way round
  EXPECT_EQ(s.mesh->faceArea[1], 0);            // three corners on one line
}

TEST(MeshDraw, SkipsAFaceWithACornerBehindTheCamera) {
  Scene s({{10, 10, kOne}, {10, 20, -1}, {30, 20, kOne}}, {UVFace(0, 1, 2)}, ConstantUV(3, 1, 1));
  s.mesh->faceArea[0] = 12345;
  s.Draw();
  EXPECT_EQ(s.buffers.Written(), 0);
  EXPECT_EQ(s.mesh->faceArea[0], 12345);   // rejected before its area is formed
}

TEST(MeshDraw, SkipsFacesWhollyLeftOrRightOfTheScreen) {
  Scene s({{-30, 10, kOne}, {-30, 20, kOne}, {-1, 20, kOne}, {80, 10, kOne}, {80, 20, kOne}, {120, 20, kOne}},
          {UVFace(0, 1, 2), UVFace(3, 4, 5)}, ConstantUV(6, 1, 1));
  s.mesh->faceArea[0] = s.mesh->faceArea[1] = 777;
  s.Draw();
  EXPECT_EQ(s.buffers.Written(), 0);
  EXPECT_EQ(s.mesh->faceArea[0], 777);
  EXPECT_EQ(s.mesh->faceArea[1], 777);
}

TEST(MeshDraw, ClipsAFaceReachingColumnZero) {
  Scene s({{0, 10, kOne}, {-30, 10, kOne}, {-30, 20, kOne}}, {UVFace(0, 1, 2)}, ConstantUV(3, 1, 1));
  s.Draw();
  EXPECT_NE(s.buffers.At(0, 10), GuardedBuffers::kEmpty);
  EXPECT_EQ(s.buffers.Written(), 1);   // only the tip reaches the screen
  EXPECT_TRUE(s.buffers.GuardsIntact());
}

TEST(MeshDraw, OnlyMappingOneReadsTheEnvironment) {
  // Four faces side by side; every normal (0, 0, 0) reads env texel (128, 128).
  std::vector<std::array<int32_t, 3>> corners;
  std::vector<Face> faces;
  const int32_t mappings[4] = {1, 2, 0, -1};
  for (int f = 0; f < 4; ++f) {
    const int x = 5 + 15 * f;
    corners.push_back({x, 10, kOne});
    corners.push_back({x, 20, kOne});
    corners.push_back({x + 10, 20, kOne});
    faces.push_back(UVFace(3 * f, 3 * f + 1, 3 * f + 2, mappings[f]));
  }
  Scene s(corners, faces, ConstantUV(12, 3, 4));
  s.Draw();
  EXPECT_EQ(s.buffers.At(7, 18), kEnvMarker | (128 * 256 + 128));
  for (int f = 1; f < 4; ++f) EXPECT_EQ(s.buffers.At(7 + 15 * f, 18), kUVMarker | (4 * 256 + 3)) << f;
}

// ---------------------------------------------------------------------------
// Rows, spans and the depth test

TEST(MeshDraw, FillsRowsFromTheTopCornerUpToButNotTheBottomOne) {
  Scene s({{10, 10, kOne}, {10, 20, kOne}, {30, 20, kOne}}, {UVFace(0, 1, 2)}, ConstantUV(3, 1, 1));
  s.Draw();
  EXPECT_FALSE(s.buffers.RowWritten(9));
  for (int row = 10; row <= 19; ++row) EXPECT_TRUE(s.buffers.RowWritten(row)) << row;
  EXPECT_FALSE(s.buffers.RowWritten(20));
}

TEST(MeshDraw, AFaceOnOneRowDrawsNothing) {
  Scene s({{10, 10, kOne}, {40, 10, kOne}, {25, 10, kOne}}, {UVFace(0, 1, 2), UVFace(0, 2, 1)}, ConstantUV(3, 1, 1));
  s.Draw();
  EXPECT_EQ(s.buffers.Written(), 0);
}

TEST(MeshDraw, ClipsRowsAboveAndBelowTheScreen) {
  Scene s({{10, -300, kOne}, {10, 400, kOne}, {70, 400, kOne}}, {UVFace(0, 1, 2)}, ConstantUV(3, 1, 1));
  s.Draw();
  EXPECT_TRUE(s.buffers.RowWritten(0));
  EXPECT_TRUE(s.buffers.RowWritten(49));
  EXPECT_TRUE(s.buffers.GuardsIntact());
}

TEST(MeshDrawSpan, WritesBothEndCellsInEitherOrder) {
  Scene s({}, {}, {});
  s.mesh->SelectTexture(&s.uvTexture);
  s.mesh->DrawSpan(3, 7, 2, 0, 0, 0, 0, kOne, kOne);
  s.mesh->DrawSpan(17, 13, 4, 0, 0, 0, 0, kOne, kOne);
  s.mesh->DrawSpan(30, 30, 6, 0, 0, 0, 0, kOne, kOne);
  for (int x = 3; x <= 7; ++x) EXPECT_NE(s.buffers.At(x, 2), GuardedBuffers::kEmpty) << x;
  for (int x = 13; x <= 17; ++x) EXPECT_NE(s.buffers.At(x, 4), GuardedBuffers::kEmpty) << x;
  EXPECT_NE(s.buffers.At(30, 6), GuardedBuffers::kEmpty);
  EXPECT_EQ(s.buffers.Written(), 11);
}

TEST(MeshDrawSpan, InterpolatesFromTheLeftEnd) {
  Scene s({}, {}, {});
  s.mesh->SelectTexture(&s.uvTexture);
  // u from 10.0 at column 20 to 14.0 at column 24: one texel per cell, and
  // the same written right to left.
  s.mesh->DrawSpan(24, 20, 1, 14 * kOne, 2 * kOne, 10 * kOne, 2 * kOne, kOne, kOne);
  for (int k = 0; k <= 4; ++k) EXPECT_EQ(s.buffers.At(20 + k, 1), kUVMarker | (2 * 256 + 10 + k)) << k;
}

TEST(MeshDrawSpan, ClippedLeftEndAdvancesTheCoordinates) {
  Scene s({}, {}, {});
  s.mesh->SelectTexture(&s.uvTexture);
  // Spans of 32 cells: the reciprocal 2^32 / 32.0 is exact, one texel per cell.
  s.mesh->DrawSpan(-16, 16, 0, 0, 0, 32 * kOne, 0, kOne, kOne);
  EXPECT_EQ(s.buffers.At(0, 0), kUVMarker | 16);
  EXPECT_EQ(s.buffers.At(16, 0), kUVMarker | 32);
  s.mesh->DrawSpan(70, 102, 3, 0, 0, 32 * kOne, 0, kOne, kOne);
  EXPECT_EQ(s.buffers.At(79, 3), kUVMarker | 9);
  EXPECT_TRUE(s.buffers.GuardsIntact());
}

// A sliver whose two edges share a cell on most rows: such a one-cell span
// takes the values of the point on the long edge (corner 0 to corner 2)
// while the upper edge leans right of it, as here.
TEST(MeshDraw, OneCellSpansTakeTheLongEdgesValues) {
  Scene s({{10, 10, kOne}, {10, 30, kOne}, {11, 20, kOne}}, {UVFace(0, 1, 2)},
          {{kOne / 2, kOne / 2}, {kOne / 2, kOne / 2}, {100 * kOne + kOne / 2, kOne / 2}});
  s.Draw();
  for (int row : {15, 19, 25, 29}) EXPECT_EQ(s.buffers.At(10, row), kUVMarker | 0) << row;
  // The upper edge's own values, 5.0 texels per row away from corner 0.
  EXPECT_EQ(s.buffers.At(11, 20), kUVMarker | 100);
}

TEST(MeshDraw, FirstFaceKeepsASharedEdgeAtEqualDepth) {
  // Two faces of one square sharing the diagonal from (10, 10) to (30, 20).
  Scene s({{10, 10, kOne}, {10, 20, kOne}, {30, 20, kOne}, {30, 10, kOne}},
          {UVFace(0, 1, 2), UVFace(0, 2, 3, kMeshMappingEnv)}, ConstantUV(4, 5, 5));
  s.Draw();
  const Cell first = kUVMarker | (5 * 256 + 5);
  const Cell second = kEnvMarker | (128 * 256 + 128);
  // The diagonal's cell on each row, as both faces step their common long
  // edge: 2.0 columns per row through the truncated reciprocal of 10.0 rows.
  auto edge = [](int row) {
    const int32_t dx = FixedMul(20 * kOne, static_cast<int32_t>((int64_t{1} << 32) / (10 * kOne)));
    return (10 * kOne + (row - 10) * dx) >> 16;
  };
  for (int row = 10; row < 20; ++row) {
    EXPECT_EQ(s.buffers.At(10, row), first) << row;
    EXPECT_EQ(s.buffers.At(29, row), second) << row;
    EXPECT_EQ(s.buffers.At(edge(row), row), first) << row;      // drawn by both
    EXPECT_EQ(s.buffers.At(edge(row) + 1, row), second) << row;
    if (row > 10) {
      EXPECT_EQ(s.buffers.At(edge(row) - 1, row), first) << row;
    }
  }
  // Drawn the other way round, the second face keeps them.
  Scene t({{10, 10, kOne}, {10, 20, kOne}, {30, 20, kOne}, {30, 10, kOne}},
          {UVFace(0, 2, 3, kMeshMappingEnv), UVFace(0, 1, 2)}, ConstantUV(4, 5, 5));
  t.Draw();
  for (int row = 10; row < 20; ++row) EXPECT_EQ(t.buffers.At(edge(row), row), second) << row;
}

TEST(MeshDraw, NearerFaceWinsWhicheverComesFirst) {
  for (int order = 0; order < 2; ++order) {
    Scene s({{10, 10, 5 * kOne}, {10, 20, 5 * kOne}, {30, 20, 5 * kOne}, {10, 10, 2 * kOne}, {10, 20, 2 * kOne},
             {30, 20, 2 * kOne}},
            order == 0 ? std::vector<Face>{UVFace(0, 1, 2), UVFace(3, 4, 5, 1)}
                       : std::vector<Face>{UVFace(3, 4, 5, 1), UVFace(0, 1, 2)},
            ConstantUV(6, 1, 1));
    s.Draw();
    EXPECT_EQ(s.buffers.At(12, 18), kEnvMarker | (128 * 256 + 128)) << order;
    EXPECT_EQ(s.buffers.Depth()[18 * 80 + 12], 2 * kOne);
  }
}

TEST(MeshDraw, NothingAtOrBeyondTheFarDepthIsDrawn) {
  Scene far({{10, 10, kMeshFarDepth}, {10, 20, kMeshFarDepth}, {30, 20, kMeshFarDepth}}, {UVFace(0, 1, 2)},
            ConstantUV(3, 1, 1));
  far.Draw();
  EXPECT_EQ(far.buffers.Written(), 0);
  const int32_t nearer = 0x63FD70;   // 99.99
  Scene near({{10, 10, nearer}, {10, 20, nearer}, {30, 20, nearer}}, {UVFace(0, 1, 2)}, ConstantUV(3, 1, 1));
  near.Draw();
  EXPECT_GT(near.buffers.Written(), 0);
  EXPECT_EQ(near.buffers.Depth()[15 * 80 + 12], nearer);
}

// ---------------------------------------------------------------------------
// Texels

TEST(MeshDraw, TintWritesARampCellFromTheBlueByte) {
  Scene s({{10, 10, kOne}, {10, 20, kOne}, {30, 20, kOne}}, {UVFace(0, 1, 2)}, ConstantUV(3, 0, 0));
  s.uvStore[0] = 0x0012F056;   // blue 0x56 = 86 -> level 28
  s.mesh->tint = 0xE60000;
  s.Draw();
  EXPECT_EQ(s.buffers.At(12, 18), 0x01E61C64u);
}

TEST(MeshDrawSpan, ReadsTexel778AtU10_5V3_25) {
  Scene s({}, {}, {});
  s.mesh->SelectTexture(&s.uvTexture);
  const int32_t u = 10 * kOne + kOne / 2, v = 3 * kOne + kOne / 4;
  s.mesh->DrawSpan(5, 5, 7, u, v, u, v, kOne, kOne);
  EXPECT_EQ(s.buffers.At(5, 7), kUVMarker | 778);
}

TEST(MeshDraw, NormalTowardsTheViewerReadsTheEnvironmentCentre) {
  Scene s({{10, 10, kOne}, {10, 20, kOne}, {30, 20, kOne}}, {UVFace(0, 1, 2, kMeshMappingEnv)}, {});
  for (int i = 0; i < 3; ++i) {
    s.mesh->vertices[i].tnx = 0;
    s.mesh->vertices[i].tny = 0;
    s.mesh->vertices[i].tnz = kOne;
  }
  s.Draw();
  EXPECT_EQ(s.buffers.At(12, 18), kEnvMarker | (128 * 256 + 128));
}

// A normal component of exactly +-1.0 maps to 256.0 or 0: clamped to the
// last or first column and row.
TEST(MeshDraw, EnvironmentEdgeNormalsStayInTheTexture) {
  Scene s({{10, 10, kOne}, {10, 20, kOne}, {30, 20, kOne}}, {UVFace(0, 1, 2, kMeshMappingEnv)}, {});
  for (int i = 0; i < 3; ++i) {
    s.mesh->vertices[i].tnx = kOne;
    s.mesh->vertices[i].tny = kOne;
  }
  s.Draw();
  EXPECT_EQ(s.buffers.At(12, 18), kEnvMarker | (255 * 256 + 255));
}

TEST(MeshDrawSpan, ClampsCoordinatesOutsideTheTexture) {
  Scene s({}, {}, {});
  s.mesh->SelectTexture(&s.uvTexture);
  s.mesh->DrawSpan(0, 0, 0, 300 * kOne, 10 * kOne, 300 * kOne, 10 * kOne, kOne, kOne);
  s.mesh->DrawSpan(1, 1, 0, -5 * kOne, -7 * kOne, -5 * kOne, -7 * kOne, kOne, kOne);
  s.mesh->DrawSpan(2, 2, 0, 256 * kOne, 256 * kOne, 256 * kOne, 256 * kOne, kOne, kOne);
  s.mesh->DrawSpan(3, 3, 0, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, kOne, kOne);
  EXPECT_EQ(s.buffers.At(0, 0), kUVMarker | (10 * 256 + 255));
  EXPECT_EQ(s.buffers.At(1, 0), kUVMarker | 0);
  EXPECT_EQ(s.buffers.At(2, 0), kUVMarker | (255 * 256 + 255));
  EXPECT_EQ(s.buffers.At(3, 0), kUVMarker | (255 * 256 + 0));
}

TEST(MeshDrawSpan, NarrowAndShortTexturesAreReadWithTheirOwnSize) {
  Scene s({}, {}, {});
  std::vector<uint32_t> store;
  const Bitmap narrow = meshtest::IndexTexture(16, 8, kUVMarker, store);
  s.mesh->SelectTexture(&narrow);
  s.mesh->DrawSpan(0, 0, 0, 3 * kOne, 2 * kOne, 3 * kOne, 2 * kOne, kOne, kOne);
  s.mesh->DrawSpan(1, 1, 0, 200 * kOne, 200 * kOne, 200 * kOne, 200 * kOne, kOne, kOne);
  EXPECT_EQ(s.buffers.At(0, 0), kUVMarker | (2 * 16 + 3));
  EXPECT_EQ(s.buffers.At(1, 0), kUVMarker | (7 * 16 + 15));   // the last texel
  // The 80 x 50 stand-in of an image that failed to decode.
  std::vector<uint32_t> fallbackStore;
  const Bitmap fallback = meshtest::IndexTexture(80, 50, kEnvMarker, fallbackStore);
  s.mesh->SelectTexture(&fallback);
  s.mesh->DrawSpan(2, 2, 0, 128 * kOne, 128 * kOne, 128 * kOne, 128 * kOne, kOne, kOne);
  EXPECT_EQ(s.buffers.At(2, 0), kEnvMarker | (49 * 80 + 79));
  // No texture at all reads black.
  s.mesh->SelectTexture(nullptr);
  s.mesh->DrawSpan(3, 3, 0, 5 * kOne, 5 * kOne, 5 * kOne, 5 * kOne, kOne, kOne);
  EXPECT_EQ(s.buffers.At(3, 0), 0u);
}

TEST(MeshDraw, MissingTexturesReadBlack) {
  std::vector<Vertex> vertices(3, Vertex{{0, 0, 0}, {0, 0, 0}});
  std::unique_ptr<Mesh> mesh = Build(vertices, {UVFace(0, 1, 2, kMeshMappingEnv)}, {});
  GuardedBuffers buffers;
  buffers.Bind(*mesh);
  const int32_t corners[3][2] = {{10, 10}, {10, 20}, {30, 20}};
  for (int i = 0; i < 3; ++i) {
    mesh->screenX[i] = corners[i][0];
    mesh->screenY[i] = corners[i][1];
    mesh->depth[i] = kOne;
  }
  mesh->Draw(nullptr);
  EXPECT_EQ(buffers.At(12, 18), 0u);
}

// ---------------------------------------------------------------------------
// Coordinates that 16.16 cannot hold

// A corner 40000 columns out: its 16.16 column would wrap, and edges and
// spans as long as that have no 32-bit reciprocal. The face is skipped.
TEST(MeshDraw, SkipsFacesProjectedBeyondTheFixedPointRange) {
  Scene s({{10, 10, kOne}, {10, 20, kOne}, {40000, 20, kOne}, {-20000, 10, kOne}, {-20000, 40, kOne}, {20000, 40, kOne},
           {10, -70000, kOne}, {10, 20, kOne}, {30, 20, kOne}},
          {UVFace(0, 1, 2), UVFace(3, 4, 5), UVFace(6, 7, 8)}, ConstantUV(9, 1, 1));
  s.Draw();
  EXPECT_EQ(s.buffers.Written(), 0);
  EXPECT_TRUE(s.buffers.GuardsIntact());
}

// 16000 x 40 cells: the 16.16 area wraps to a positive value, yet the face
// turns towards the viewer and is drawn; its mirror image is not.
TEST(MeshDraw, FacingOfFacesTooLargeForA16_16Area) {
  Scene s({{0, 0, kOne}, {0, 40, kOne}, {16000, 40, kOne}}, {UVFace(0, 1, 2)}, ConstantUV(3, 1, 1));
  s.Draw();
  EXPECT_GT(s.mesh->faceArea[0], 0);
  EXPECT_EQ(s.buffers.Written(), 1 + 39 * 80);
  EXPECT_TRUE(s.buffers.GuardsIntact());
  Scene back({{0, 0, kOne}, {16000, 40, kOne}, {0, 40, kOne}}, {UVFace(0, 1, 2)}, ConstantUV(3, 1, 1));
  back.Draw();
  EXPECT_LT(back.mesh->faceArea[0], 0);
  EXPECT_EQ(back.buffers.Written(), 0);
}

TEST(MeshDrawSpan, SpansTooLongForTheirReciprocalAreSkipped) {
  Scene s({}, {}, {});
  s.mesh->SelectTexture(&s.uvTexture);
  s.mesh->DrawSpan(-40000, 40, 0, 0, 0, kOne, kOne, kOne, kOne);    // 40040 cells
  s.mesh->DrawSpan(-32768, 32767, 1, 0, 0, kOne, kOne, kOne, kOne);  // 65535 cells
  s.mesh->DrawSpan(INT32_MIN, INT32_MAX, 2, 0, 0, kOne, kOne, kOne, kOne);
  EXPECT_EQ(s.buffers.Written(), 0);
  s.mesh->DrawSpan(-32700, 40, 3, 0, 0, kOne, kOne, kOne, kOne);     // 32740 cells: drawn
  EXPECT_TRUE(s.buffers.RowWritten(3));
  EXPECT_TRUE(s.buffers.GuardsIntact());
}

TEST(MeshDrawSpan, RowsOutsideTheScreenWriteNothing) {
  Scene s({}, {}, {});
  s.mesh->SelectTexture(&s.uvTexture);
  s.mesh->DrawSpan(0, 79, -1, 0, 0, 0, 0, kOne, kOne);
  s.mesh->DrawSpan(0, 79, 50, 0, 0, 0, 0, kOne, kOne);
  EXPECT_EQ(s.buffers.Written(), 0);
  EXPECT_TRUE(s.buffers.GuardsIntact());
}

// Corners anywhere in the 32-bit range, texture coordinates and normals
// anywhere: the buffers' neighbours never change.
TEST(MeshDraw, ArbitraryCornersStayInsideTheBuffers) {
  uint64_t state = 0x243F6A8885A308D3ull;
  auto next = [&state] {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 32);
  };
  // Mostly near the screen, sometimes far out, sometimes at the extremes.
  auto coordinate = [&](int32_t centre) {
    switch (next() % 4) {
      case 0: return static_cast<int32_t>(next());
      case 1: return static_cast<int32_t>(next() % 40001) - 20000;
      default: return centre + static_cast<int32_t>(next() % 161) - 80;
    }
  };
  constexpr int kCorners = 300;
  std::vector<std::array<int32_t, 3>> corners;
  for (int i = 0; i < kCorners; ++i) {
    corners.push_back({coordinate(40), coordinate(25), static_cast<int32_t>(next() % (120u << 16)) - (10 << 16)});
  }
  std::vector<Face> faces;
  std::vector<UV> uvs;
  for (int i = 0; i < 1000; ++i) {
    const int a = static_cast<int>(next() % kCorners), b = static_cast<int>(next() % kCorners),
              c = static_cast<int>(next() % kCorners);
    faces.push_back(Face{{a, b, c}, static_cast<int32_t>(next() % 2), {a, b, c}});
  }
  for (int i = 0; i < kCorners; ++i) uvs.push_back({static_cast<int32_t>(next()), static_cast<int32_t>(next())});
  Scene s(corners, faces, uvs);
  for (int i = 0; i < kCorners; ++i) {
    s.mesh->vertices[i].tnx = static_cast<int32_t>(next());
    s.mesh->vertices[i].tny = static_cast<int32_t>(next());
  }
  s.Draw();
  EXPECT_GT(s.buffers.Written(), 0);
  EXPECT_TRUE(s.buffers.GuardsIntact());
}

// The whole pipeline with a vertex almost on the camera plane: a view depth
// of 1/65536 throws its projection tens of thousands of columns out.
TEST_F(MeshTransform, VertexAtTheCameraPlaneNeitherTrapsNorWritesAstray) {
  // A pyramid: base square 5.0 deep, apex at view depth dz / 65536.
  std::vector<Vertex> vertices = {
      {{-kOne, -kOne, 5 * kOne}, {0, 0, -kOne}}, {{-kOne, kOne, 5 * kOne}, {0, 0, -kOne}},
      {{kOne, kOne, 5 * kOne}, {0, 0, -kOne}}, {{kOne, -kOne, 5 * kOne}, {0, 0, -kOne}},
      {{kOne / 2, kOne / 4, 0}, {0, 0, -kOne}}};
  std::vector<Face> faces;
  for (int i = 0; i < 4; ++i) {
    faces.push_back(Face{{4, i, (i + 1) % 4}, kMeshMappingEnv, {0, 0, 0}});
    faces.push_back(Face{{4, (i + 1) % 4, i}, kMeshMappingEnv, {0, 0, 0}});
  }
  std::unique_ptr<Mesh> mesh = Build(vertices, faces, {});
  GuardedBuffers buffers;
  buffers.Bind(*mesh);
  mesh->focal = 200 * kOne;
  for (int32_t dz = 0; dz <= 2000; ++dz) {
    mesh->z = dz;
    mesh->Transform();
    buffers.Clear();
    mesh->Draw(nullptr);
    ASSERT_TRUE(buffers.GuardsIntact()) << dz;
  }
}

}  // namespace
