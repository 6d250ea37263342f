// Mesh::Load / Mesh::FromBytes: the ".ase.bin" layout, and the rejection of
// files that do not hold together.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "engine/core/text_screen.h"
#include "engine/render3d/mesh.h"
#include "engine/resources/bitmap.h"
#include "tests/render3d/mesh_test_support.h"

namespace {

using meshtest::Encode;
using meshtest::Face;
using meshtest::SetCounts;
using meshtest::UV;
using meshtest::Vertex;

// The loader's worked example: 8 vertices, 12 faces, 14 coordinates.
struct ExampleFile {
  std::vector<Vertex> vertices;
  std::vector<Face> faces;
  std::vector<UV> uvs;
  std::vector<uint8_t> bytes;

  ExampleFile() {
    for (int i = 0; i < 8; ++i) {
      vertices.push_back({{i * 0x10000 - 3, -i * 0x8000 + 7, 0x30000 + i}, {0, (i & 1) ? 0x10000 : -0x10000, 0}});
    }
    for (int i = 0; i < 12; ++i) {
      faces.push_back({{i % 8, (i + 3) % 8, (i + 5) % 8}, i % 3 == 0 ? kMeshMappingEnv : i % 3 - 2, {i % 14, (i + 1) % 14, 13}});
    }
    for (int i = 0; i < 14; ++i) uvs.push_back({i * 0x12345 + 0x1999, 0xFE0000 - i * 0x10000});
    bytes = Encode(vertices, faces, uvs);
  }
};

std::unique_ptr<Mesh> FromBytes(const std::vector<uint8_t>& bytes, const char* name = "test.ase.bin") {
  return std::unique_ptr<Mesh>(Mesh::FromBytes(name, bytes.data(), bytes.size(), nullptr, nullptr));
}

TEST(MeshLoader, ExampleFileSizeAndHeader) {
  const ExampleFile file;
  ASSERT_EQ(file.bytes.size(), 1084u);
  EXPECT_EQ(MeshFileBytes(8, 12, 14), 1084u);
  const uint8_t header[12] = {0, 0, 0, 8, 0, 0, 0, 0x0C, 0, 0, 0, 0x0E};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(file.bytes[i], header[i]) << i;
}

TEST(MeshLoader, CopiesTheFourArraysWordForWord) {
  const ExampleFile file;
  const std::unique_ptr<Mesh> mesh = FromBytes(file.bytes);
  ASSERT_EQ(mesh->vertexCount, 8);
  ASSERT_EQ(mesh->faceCount, 12);
  ASSERT_EQ(mesh->uvCount, 14);
  for (int i = 0; i < 8; ++i) {
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ((&mesh->vertices[i].px)[k], file.vertices[i].p[k]);
      EXPECT_EQ((&mesh->vertices[i].nx)[k], file.vertices[i].n[k]);
    }
  }
  for (int i = 0; i < 12; ++i) {
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(mesh->faces[i].corner[k], file.faces[i].corner[k]);
      EXPECT_EQ(mesh->faceUVs[i].t[k], file.faces[i].t[k]);
    }
    EXPECT_EQ(mesh->faces[i].mapping, file.faces[i].mapping);
  }
  for (int i = 0; i < 14; ++i) {
    EXPECT_EQ(mesh->uvs[i].u, file.uvs[i].u);
    EXPECT_EQ(mesh->uvs[i].v, file.uvs[i].v);
  }
}

TEST(MeshLoader, StartsWithTheDocumentedState) {
  const std::unique_ptr<Mesh> mesh = FromBytes(ExampleFile().bytes);
  EXPECT_EQ(mesh->focal, 250 << 16);
  EXPECT_EQ(mesh->tint, 0u);
  EXPECT_EQ(mesh->xStart, 0);
  EXPECT_EQ(mesh->xEnd, 80);
  EXPECT_EQ(mesh->yStart, 0);
  EXPECT_EQ(mesh->yEnd, 50 << 16);
  EXPECT_EQ(mesh->angleX | mesh->angleY | mesh->angleZ | mesh->x | mesh->y | mesh->z, 0);
  const Matrix3 identity{{0x10000, 0, 0, 0, 0x10000, 0, 0, 0, 0x10000}};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(mesh->matrix.m[i], identity.m[i]);
  TextScreen* screen = TextScreen::Get();
  EXPECT_EQ(mesh->target, screen->cells);
  EXPECT_EQ(mesh->depthBuffer, screen->depth);
}

TEST(MeshLoader, IgnoresBytesAfterTheLastRecord) {
  const ExampleFile file;
  std::vector<uint8_t> longer = file.bytes;
  for (int i = 0; i < 100; ++i) longer.push_back(static_cast<uint8_t>(0xC3 + i));
  const std::unique_ptr<Mesh> a = FromBytes(file.bytes);
  const std::unique_ptr<Mesh> b = FromBytes(longer);
  ASSERT_EQ(b->faceCount, 12);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(b->faceUVs[i].t[2], a->faceUVs[i].t[2]);
  EXPECT_EQ(b->uvs[13].v, a->uvs[13].v);
}

TEST(MeshLoader, EmptyMeshLoadsAndDrawsNothing) {
  std::vector<uint8_t> bytes = Encode({}, {}, {});
  const std::unique_ptr<Mesh> mesh = FromBytes(bytes);
  EXPECT_EQ(mesh->vertexCount + mesh->faceCount + mesh->uvCount, 0);
  meshtest::GuardedBuffers buffers;
  buffers.Bind(*mesh);
  mesh->Transform();
  mesh->Draw(nullptr);
  EXPECT_EQ(buffers.Written(), 0);
}

// An environment-mapped face never reads its texture indices, so they are
// not held against the coordinate count.
TEST(MeshLoader, EnvironmentFacesMayCarryAnyTextureIndex) {
  const std::vector<Vertex> vertices = {{{0, 0, 0}, {0, 0, 0}}, {{1, 0, 0}, {0, 0, 0}}, {{0, 1, 0}, {0, 0, 0}}};
  const std::unique_ptr<Mesh> mesh = FromBytes(Encode(vertices, {{{0, 1, 2}, kMeshMappingEnv, {5, -1, 99}}}, {}));
  EXPECT_EQ(mesh->faceCount, 1);
}

TEST(MeshLoader, LoadsThroughTheResourceTableFileFallback) {
  const ExampleFile file;
  // The tests run in a scratch directory; the pack has no such name.
  FILE* f = std::fopen("loader_example.ase.bin", "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(file.bytes.data(), 1, file.bytes.size(), f), file.bytes.size());
  std::fclose(f);
  Bitmap uv{}, env{};
  const std::unique_ptr<Mesh> mesh(Mesh::Load("loader_example.ase.bin", &uv, &env));
  EXPECT_EQ(mesh->vertexCount, 8);
  EXPECT_EQ(mesh->uvs[5].u, file.uvs[5].u);
  EXPECT_EQ(mesh->uvTexture, &uv);
  EXPECT_EQ(mesh->envTexture, &env);
}

// ---------------------------------------------------------------------------
// Files that do not hold together end the program with one line naming them.

// Fatal() prints on standard output; the death test watches standard error.
#define EXPECT_MESH_REJECTED(bytes, pattern)                                                   \
  EXPECT_EXIT(                                                                               \
      {                                                                                      \
        dup2(STDERR_FILENO, STDOUT_FILENO);                                                  \
        Mesh::FromBytes("broken.ase.bin", (bytes).data(), (bytes).size(), nullptr, nullptr); \
      },                                                                                     \
      ::testing::ExitedWithCode(255), pattern)

TEST(MeshLoaderDeathTest, RejectsAFileShorterThanItsCounts) {
  std::vector<uint8_t> bytes = ExampleFile().bytes;
  bytes.pop_back();   // 1083 bytes
  EXPECT_MESH_REJECTED(bytes, "^mesh \"broken.ase.bin\" is damaged: 1083 bytes, but 8 vertices, 12 faces and "
                              "14 coordinates need 1084\n$");
}

TEST(MeshLoaderDeathTest, RejectsAFileShorterThanItsHeader) {
  const std::vector<uint8_t> bytes = {0, 0, 0, 1, 0, 0};
  EXPECT_MESH_REJECTED(bytes, "^mesh \"broken.ase.bin\" is damaged: 6 bytes, shorter than its 12-byte header\n$");
}

// Counts whose byte sizes wrap in 32 bits to exactly the file's length.
TEST(MeshLoaderDeathTest, RejectsCountsWhoseSizesOverflow) {
  std::vector<uint8_t> bytes = ExampleFile().bytes;
  // 36 x 0x071C71C8 = 2^32 + 32 and 56 x 0x04924925 = 2^32 + 24: in 32 bits
  // 12 + 32 + 24 + 8 x 0 = 68 bytes, which the file easily holds.
  SetCounts(bytes, 0x071C71C8u, 0x04924925u, 0);
  EXPECT_MESH_REJECTED(bytes, "^mesh \"broken.ase.bin\" is damaged: 1084 bytes, but 119304648 vertices, "
                              "76695845 faces and 0 coordinates need [0-9]+\n$");
  SetCounts(bytes, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu);
  EXPECT_MESH_REJECTED(bytes, "^mesh \"broken.ase.bin\" is damaged: .* need 429496729512\n$");
}

TEST(MeshLoaderDeathTest, RejectsCornersOutsideTheVertexArray) {
  ExampleFile file;
  file.faces[7].corner[1] = 8;
  EXPECT_MESH_REJECTED(Encode(file.vertices, file.faces, file.uvs),
                       "^mesh \"broken.ase.bin\" is damaged: face 7 names vertex 8 of 8\n$");
  file.faces[7].corner[1] = -1;
  EXPECT_MESH_REJECTED(Encode(file.vertices, file.faces, file.uvs),
                       "^mesh \"broken.ase.bin\" is damaged: face 7 names vertex -1 of 8\n$");
}

TEST(MeshLoaderDeathTest, RejectsTextureIndicesOutsideTheCoordinates) {
  ExampleFile file;
  ASSERT_NE(file.faces[4].mapping, kMeshMappingEnv);
  file.faces[4].t[2] = 14;
  EXPECT_MESH_REJECTED(Encode(file.vertices, file.faces, file.uvs),
                       "^mesh \"broken.ase.bin\" is damaged: face 4 names texture coordinate 14 of 14\n$");
  file.faces[4].t[2] = -3;
  EXPECT_MESH_REJECTED(Encode(file.vertices, file.faces, file.uvs),
                       "^mesh \"broken.ase.bin\" is damaged: face 4 names texture coordinate -3 of 14\n$");
}

TEST(MeshLoaderDeathTest, LoadNamesTheResource) {
  std::vector<uint8_t> bytes = ExampleFile().bytes;
  bytes.resize(600);
  FILE* f = std::fopen("short_mesh.ase.bin", "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  std::fclose(f);
  EXPECT_EXIT(
      {
        dup2(STDERR_FILENO, STDOUT_FILENO);
        Mesh::Load("short_mesh.ase.bin", nullptr, nullptr);
      },
      ::testing::ExitedWithCode(255), "^mesh \"short_mesh.ase.bin\" is damaged: 600 bytes, .* need 1084\n$");
}

}  // namespace
