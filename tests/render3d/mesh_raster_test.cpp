// Mesh::Transform, Mesh::Draw and Mesh::DrawSpan: projection, face
// rejection, row and span coverage, depth test, texel addressing, and the
// coordinates too large for 16.16 that must neither trap nor write astray.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <tuple>
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

// A scene with no faces and the coordinate texture selected, for DrawSpan.
struct SpanScene : Scene {
  SpanScene() : Scene({}, {}, {}) { mesh->SelectTexture(&uvTexture); }
  // One span at depth 1.0 at both ends.
  void Span(int32_t xa, int32_t xb, int32_t row, int32_t ua, int32_t va, int32_t ub, int32_t vb) {
    mesh->DrawSpan(xa, xb, row, ua, va, ub, vb, kOne, kOne);
  }
};

// The triangle most cases draw: rows 10..19, columns 10..29, at depth z.
std::vector<std::array<int32_t, 3>> Triangle(int32_t z = kOne) { return {{10, 10, z}, {10, 20, z}, {30, 20, z}}; }

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

// View (1.0, -0.5, 10.0) with focal 200.0: E = 20.0, column 40 + 1.0 x 20,
// row 25 - 0.5 x 20. The camera position is added to the object's, not
// subtracted, so both splits below reach the same view point.
TEST_F(MeshTransform, ProjectsTheReferenceVertex) {
  // Mesh x, y, z, then camera x, y, z.
  const int32_t cases[2][6] = {{kOne, -kOne / 2, 10 * kOne, 0, 0, 0},
                               {3 * kOne, -kOne, 4 * kOne, -2 * kOne, kOne / 2, 6 * kOne}};
  for (const auto& c : cases) {
    std::unique_ptr<Mesh> mesh = Build({{{0, 0, 0}, {0, 0, kOne}}}, {}, {});
    mesh->focal = 200 * kOne;
    std::tie(mesh->x, mesh->y, mesh->z) = std::tie(c[0], c[1], c[2]);
    std::tie(camera_->x, camera_->y, camera_->z) = std::tie(c[3], c[4], c[5]);
    mesh->Transform();
    EXPECT_EQ(mesh->screenX[0], 60);
    EXPECT_EQ(mesh->screenY[0], 15);
    EXPECT_EQ(mesh->depth[0], 10 * kOne);
  }
}

TEST_F(MeshTransform, ViewDepthZeroProjectsAsTheSmallestDepth) {
  // focal 1/256: E = (256 << 16) / 1 = 256.0 at the smallest depth.
  // The second vertex lands at view Z = 2 x 65534 / 65536 = 1: the smallest depth.
  std::unique_ptr<Mesh> mesh = Build({{{0, 0, 0}, {0, 0, 0}}, {{0, 0, 2}, {0, 0, 0}}}, {}, {});
  mesh->focal = 256;
  mesh->x = 256;        // 1/256 of a unit
  mesh->y = -512;
  mesh->Transform();
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(mesh->depth[i], 1) << i;   // 0 became 1
    EXPECT_EQ(mesh->screenX[i], 41) << i;   // 1/256 x 256 = 1 column right of the centre
    EXPECT_EQ(mesh->screenY[i], 23) << i;
  }
}

// Angles keep their low 16 bits; object rotation first, camera rotation
// second, on positions and normals.
TEST_F(MeshTransform, ReducesTheAnglesAndAppliesTheObjectRotationBeforeTheCamera) {
  std::unique_ptr<Mesh> mesh = Build({{{kOne, 2 * kOne, 3 * kOne}, {kOne, 0, 0}}}, {}, {});
  mesh->angleY = 9000 + 65536;
  mesh->angleZ = -1;
  camera_->angleX = 20000;
  camera_->Update();
  mesh->z = 30 * kOne;
  mesh->Transform();
  EXPECT_EQ(mesh->angleY, 9000);
  EXPECT_EQ(mesh->angleZ, 0xFFFF);
  Matrix3 r, w;
  BuildRotation(r, SinTable[0], SinTable[9000], SinTable[0xFFFF], CosTable[0], CosTable[9000], CosTable[0xFFFF]);
  SetIdentity(w);
  MultiplyMatrix(w, r);
  MultiplyMatrix(w, camera_->matrix);
  int32_t n[3], p[3], t[3];
  TransformVector(n, w, kOne, 0, 0);
  EXPECT_EQ(mesh->vertices[0].tnx, n[0]);
  EXPECT_EQ(mesh->vertices[0].tny, n[1]);
  EXPECT_EQ(mesh->vertices[0].tnz, n[2]);
  TransformVector(p, w, kOne, 2 * kOne, 3 * kOne);
  TransformVector(t, camera_->matrix, 0, 0, 30 * kOne);
  EXPECT_EQ(mesh->depth[0], p[2] + t[2]);
}

// ---------------------------------------------------------------------------
// Face rejection

// One face per case; faceArea starts at 777 so a face rejected before its
// area is formed shows it untouched.
TEST(MeshDraw, DrawsOnlyFrontFacingVisibleFaces) {
  constexpr int32_t kUntouched = 777, kAnyArea = 1;
  struct Case {
    const char* what;
    std::vector<std::array<int32_t, 3>> corners;
    int written;        // cells, or -1 for some
    int32_t area;       // faceArea[0] afterwards, or kAnyArea
  };
  const Case cases[] = {
      // (x1 - x0)(y2 - y0) - (x2 - x0)(y1 - y0) = 0 x 10 - 20 x 10 cells.
      {"counter-clockwise", Triangle(), -1, -200 * kOne},
      {"clockwise", {{10, 10, kOne}, {30, 20, kOne}, {10, 20, kOne}}, 0, 200 * kOne},
      {"collinear", {{10, 10, kOne}, {20, 15, kOne}, {40, 25, kOne}}, 0, 0},
      {"one row", {{10, 10, kOne}, {40, 10, kOne}, {25, 10, kOne}}, 0, 0},
      {"corner behind the camera", {{10, 10, kOne}, {10, 20, -1}, {30, 20, kOne}}, 0, kUntouched},
      {"wholly left", {{-30, 10, kOne}, {-30, 20, kOne}, {-1, 20, kOne}}, 0, kUntouched},
      {"wholly right", {{80, 10, kOne}, {80, 20, kOne}, {120, 20, kOne}}, 0, kUntouched},
      {"tip at column 0", {{0, 10, kOne}, {-30, 10, kOne}, {-30, 20, kOne}}, 1, kAnyArea},
      // Beyond 16.16: the column would wrap, and edges and spans that long
      // have no 32-bit reciprocal.
      {"40000 columns out", {{10, 10, kOne}, {10, 20, kOne}, {40000, 20, kOne}}, 0, kAnyArea},
      {"40000 columns wide", {{-20000, 10, kOne}, {-20000, 40, kOne}, {20000, 40, kOne}}, 0, kAnyArea},
      {"70000 rows up", {{10, -70000, kOne}, {10, 20, kOne}, {30, 20, kOne}}, 0, kAnyArea},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Scene s(c.corners, {UVFace(0, 1, 2)}, ConstantUV(3, 7, 9));
    s.mesh->faceArea[0] = kUntouched;
    s.Draw();
    if (c.written < 0) {
      EXPECT_EQ(s.buffers.At(12, 18), kUVMarker | (9 * 256 + 7));
    } else {
      EXPECT_EQ(s.buffers.Written(), c.written);
    }
    EXPECT_TRUE(c.area == kAnyArea || s.mesh->faceArea[0] == c.area) << s.mesh->faceArea[0];
    EXPECT_TRUE(s.buffers.GuardsIntact());
  }
}

// 16000 x 40 cells: the 16.16 area wraps to a positive value, yet the face
// turns towards the viewer and is drawn; its mirror image is not.
TEST(MeshDraw, FacingOfFacesTooLargeForA16_16Area) {
  for (bool mirrored : {false, true}) {
    Scene s({{0, 0, kOne}, {mirrored ? 16000 : 0, 40, kOne}, {mirrored ? 0 : 16000, 40, kOne}}, {UVFace(0, 1, 2)},
            ConstantUV(3, 1, 1));
    s.Draw();
    EXPECT_EQ(s.mesh->faceArea[0] > 0, !mirrored);
    EXPECT_EQ(s.buffers.Written(), mirrored ? 0 : 1 + 39 * 80);
    EXPECT_TRUE(s.buffers.GuardsIntact());
  }
}

// Every normal here is (0, 0, 0), which reads environment texel (128, 128).
TEST(MeshDraw, OnlyMappingOneReadsTheEnvironment) {
  for (int32_t mapping : {1, 2, 0, -1}) {
    Scene s(Triangle(), {UVFace(0, 1, 2, mapping)}, ConstantUV(3, 3, 4));
    s.Draw();
    EXPECT_EQ(s.buffers.At(12, 18), mapping == 1 ? kEnvMarker | (128 * 256 + 128) : kUVMarker | (4 * 256 + 3));
  }
}

// ---------------------------------------------------------------------------
// Rows, spans and the depth test

TEST(MeshDraw, FillsRowsFromTheTopCornerUpToButNotTheBottomOne) {
  Scene s(Triangle(), {UVFace(0, 1, 2)}, ConstantUV(3, 1, 1));
  s.Draw();
  for (int row = 9; row <= 20; ++row) EXPECT_EQ(s.buffers.RowWritten(row), row >= 10 && row <= 19) << row;
  Scene tall({{10, -300, kOne}, {10, 400, kOne}, {70, 400, kOne}}, {UVFace(0, 1, 2)}, ConstantUV(3, 1, 1));
  tall.Draw();
  EXPECT_TRUE(tall.buffers.RowWritten(0));
  EXPECT_TRUE(tall.buffers.RowWritten(49));
  EXPECT_TRUE(tall.buffers.GuardsIntact());
}

TEST(MeshDrawSpan, InterpolatesFromTheLeftEndAndAdvancesPastAClippedOne) {
  SpanScene s;
  // u from 10.0 at column 20 to 14.0 at column 24, given right to left: one
  // texel per cell, both end cells written and nothing else.
  s.Span(24, 20, 1, 14 * kOne, 2 * kOne, 10 * kOne, 2 * kOne);
  for (int k = 0; k <= 4; ++k) EXPECT_EQ(s.buffers.At(20 + k, 1), kUVMarker | (2 * 256 + 10 + k)) << k;
  EXPECT_EQ(s.buffers.Written(), 5);
  // Spans of 32 cells: the reciprocal 2^32 / 32.0 is exact, one texel per cell.
  s.Span(-16, 16, 0, 0, 0, 32 * kOne, 0);
  EXPECT_EQ(s.buffers.At(0, 0), kUVMarker | 16);
  EXPECT_EQ(s.buffers.At(16, 0), kUVMarker | 32);
  s.Span(70, 102, 3, 0, 0, 32 * kOne, 0);
  EXPECT_EQ(s.buffers.At(79, 3), kUVMarker | 9);
  EXPECT_TRUE(s.buffers.GuardsIntact());
}

TEST(MeshDrawSpan, SpansOffTheScreenOrTooLongForTheirReciprocalWriteNothing) {
  SpanScene s;
  s.Span(0, 79, -1, 0, 0, 0, 0);
  s.Span(0, 79, 50, 0, 0, 0, 0);
  s.Span(-40000, 40, 0, 0, 0, kOne, kOne);    // 40040 cells
  s.Span(-32768, 32767, 1, 0, 0, kOne, kOne);  // 65535 cells
  s.Span(INT32_MIN, INT32_MAX, 2, 0, 0, kOne, kOne);
  EXPECT_EQ(s.buffers.Written(), 0);
  s.Span(-32700, 40, 3, 0, 0, kOne, kOne);     // 32740 cells: drawn
  EXPECT_TRUE(s.buffers.RowWritten(3));
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
  const Cell uvCell = kUVMarker | (5 * 256 + 5);
  const Cell envCell = kEnvMarker | (128 * 256 + 128);
  // The diagonal's cell on each row, as both faces step their common long
  // edge: 2.0 columns per row through the truncated reciprocal of 10.0 rows.
  auto edge = [](int row) {
    const int32_t dx = FixedMul(20 * kOne, static_cast<int32_t>((int64_t{1} << 32) / (10 * kOne)));
    return (10 * kOne + (row - 10) * dx) >> 16;
  };
  for (bool uvFirst : {true, false}) {
    const Face uvFace = UVFace(0, 1, 2), envFace = UVFace(0, 2, 3, kMeshMappingEnv);
    Scene s({{10, 10, kOne}, {10, 20, kOne}, {30, 20, kOne}, {30, 10, kOne}},
            uvFirst ? std::vector<Face>{uvFace, envFace} : std::vector<Face>{envFace, uvFace}, ConstantUV(4, 5, 5));
    s.Draw();
    for (int row = 10; row < 20; ++row) {
      SCOPED_TRACE(testing::Message() << "row " << row << (uvFirst ? " uv first" : " env first"));
      EXPECT_EQ(s.buffers.At(edge(row), row), uvFirst ? uvCell : envCell);   // drawn by both
      EXPECT_EQ(s.buffers.At(edge(row) + 1, row), envCell);
      EXPECT_TRUE(row == 10 || s.buffers.At(edge(row) - 1, row) == uvCell);
    }
  }
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

// With the depth buffer at 100.0, a face at exactly 100.0 is not drawn; one
// at 99.99 is.
TEST(MeshDraw, NothingAtOrBeyondTheFarDepthIsDrawn) {
  for (int32_t depth : {kMeshFarDepth, 0x63FD70}) {
    Scene s(Triangle(depth), {UVFace(0, 1, 2)}, ConstantUV(3, 1, 1));
    s.Draw();
    EXPECT_EQ(s.buffers.Written() > 0, depth < kMeshFarDepth) << depth;
    EXPECT_EQ(s.buffers.Depth()[15 * 80 + 12], std::min(depth, kMeshFarDepth));
  }
}

// ---------------------------------------------------------------------------
// Texels

TEST(MeshDraw, TintWritesARampCellFromTheBlueByte) {
  Scene s(Triangle(), {UVFace(0, 1, 2)}, ConstantUV(3, 0, 0));
  s.uvStore[0] = 0x0012F056;   // blue 0x56 = 86 -> level 28
  s.mesh->tint = 0xE60000;
  s.Draw();
  EXPECT_EQ(s.buffers.At(12, 18), 0x01E61C64u);
}

// u = 10.5, v = 3.25 read texel 778 (row 3, column 10); coordinates outside
// the texture are clamped to its first or last column and row.
TEST(MeshDrawSpan, AddressesAndClampsTexels) {
  // u, v (16.16), texel index.
  const int64_t cases[][3] = {{10 * kOne + kOne / 2, 3 * kOne + kOne / 4, 778}, {300 * kOne, 10 * kOne, 10 * 256 + 255},
                              {-5 * kOne, -7 * kOne, 0}, {256 * kOne, 256 * kOne, 255 * 256 + 255},
                              {INT32_MIN, INT32_MAX, 255 * 256 + 0}};
  for (const auto& c : cases) {
    SpanScene s;
    const int32_t u = static_cast<int32_t>(c[0]), v = static_cast<int32_t>(c[1]);
    s.Span(5, 5, 7, u, v, u, v);
    EXPECT_EQ(s.buffers.At(5, 7), kUVMarker | static_cast<uint32_t>(c[2])) << u << "," << v;
  }
}

// Normal (0, 0, 1) in view space reads the environment's centre; a component
// of exactly +-1.0 maps to 256.0 or 0, clamped to the last or first texel.
TEST(MeshDraw, EnvironmentTexelsOfNormals) {
  // tnx, tny, tnz, texel index.
  const int32_t cases[][4] = {{0, 0, kOne, 128 * 256 + 128}, {kOne, kOne, 0, 255 * 256 + 255}, {-kOne, -kOne, 0, 0}};
  for (const auto& c : cases) {
    Scene s(Triangle(), {UVFace(0, 1, 2, kMeshMappingEnv)}, {});
    for (int i = 0; i < 3; ++i) std::tie(s.mesh->vertices[i].tnx, s.mesh->vertices[i].tny, s.mesh->vertices[i].tnz) = std::tie(c[0], c[1], c[2]);
    s.Draw();
    EXPECT_EQ(s.buffers.At(12, 18), kEnvMarker | static_cast<uint32_t>(c[3])) << c[3];
  }
}

TEST(MeshDrawSpan, NarrowShortAndMissingTexturesStayInBounds) {
  SpanScene s;
  std::vector<uint32_t> store;
  const Bitmap narrow = meshtest::IndexTexture(16, 8, kUVMarker, store);
  s.mesh->SelectTexture(&narrow);
  s.Span(0, 0, 0, 3 * kOne, 2 * kOne, 3 * kOne, 2 * kOne);
  s.Span(1, 1, 0, 200 * kOne, 200 * kOne, 200 * kOne, 200 * kOne);
  EXPECT_EQ(s.buffers.At(0, 0), kUVMarker | (2 * 16 + 3));
  EXPECT_EQ(s.buffers.At(1, 0), kUVMarker | (7 * 16 + 15));   // the last texel
  // The 80 x 50 stand-in of an image that failed to decode.
  std::vector<uint32_t> fallbackStore;
  const Bitmap fallback = meshtest::IndexTexture(80, 50, kEnvMarker, fallbackStore);
  s.mesh->SelectTexture(&fallback);
  s.Span(2, 2, 0, 128 * kOne, 128 * kOne, 128 * kOne, 128 * kOne);
  EXPECT_EQ(s.buffers.At(2, 0), kEnvMarker | (49 * 80 + 79));
  // No texture at all reads black, in a span and in a whole face.
  s.mesh->SelectTexture(nullptr);
  s.Span(3, 3, 0, 5 * kOne, 5 * kOne, 5 * kOne, 5 * kOne);
  EXPECT_EQ(s.buffers.At(3, 0), 0u);
  Scene face(Triangle(), {UVFace(0, 1, 2, kMeshMappingEnv)}, {});
  face.mesh->envTexture = nullptr;
  face.Draw();
  EXPECT_EQ(face.buffers.At(12, 18), 0u);
}

// ---------------------------------------------------------------------------
// Coordinates that 16.16 cannot hold

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
  std::vector<Vertex> vertices;
  for (int32_t x : {-kOne, kOne}) {
    for (int32_t y : {-x, x}) vertices.push_back({{x, y, 5 * kOne}, {0, 0, -kOne}});
  }
  vertices.push_back({{kOne / 2, kOne / 4, 0}, {0, 0, -kOne}});
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
