// The ".ase.bin" mesh file, read by the engine's loader and written by the
// show-data generator: the one statement of its layout.
//
// Three big-endian uint32 counts V, F, U at offsets 0, 4, 8; then, every value
// a little-endian int32, V MeshVertex, F MeshFace, U MeshUV and F MeshFaceUV
// records back to back. The data ends at MeshFileBytes(V, F, U) =
// 12 + 36V + 56F + 8U bytes; bytes after it are ignored.
#pragma once

#include <cstddef>
#include <cstdint>

// 36 bytes.
struct MeshVertex {
  int32_t px, py, pz;      // position, 16.16 object units
  int32_t nx, ny, nz;      // unit vertex normal, 16.16 (components -1.0..1.0)
  int32_t tnx, tny, tnz;   // normal after the last Transform (files hold a copy of n)
};

// 28 bytes. Corners counter-clockwise on screen (rows growing downward) face
// the viewer.
struct MeshFace {
  int32_t corner[3];       // vertex indices, 0..V-1
  int32_t spare[3];        // not read
  int32_t mapping;         // kMeshMappingEnv: from the transformed normals into
                           // envTexture; anything else: MeshUV into uvTexture
};

// 8 bytes: 16.16 texels; the integer bits hold column 0..255 and row 0..height-1.
struct MeshUV {
  int32_t u, v;
};

// 28 bytes, one per face in face order.
struct MeshFaceUV {
  int32_t t[3];            // MeshUV indices of the three corners, 0..U-1
  int32_t spare[4];        // not read
};

static_assert(sizeof(MeshVertex) == 36 && sizeof(MeshFace) == 28 && sizeof(MeshUV) == 8 &&
              sizeof(MeshFaceUV) == 28, "records must match the file layout");

constexpr int32_t kMeshMappingEnv = 1;
constexpr size_t kMeshHeaderBytes = 12;

// Where the data of a file with these counts ends; exact in 64 bits for any
// three 32-bit counts.
constexpr uint64_t MeshFileBytes(uint32_t vertexCount, uint32_t faceCount, uint32_t uvCount) {
  return kMeshHeaderBytes + sizeof(MeshVertex) * uint64_t{vertexCount} +
         (sizeof(MeshFace) + sizeof(MeshFaceUV)) * uint64_t{faceCount} + sizeof(MeshUV) * uint64_t{uvCount};
}
