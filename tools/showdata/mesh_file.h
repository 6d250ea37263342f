#pragma once
// The ".ase.bin" mesh files of the show and their writer.
//
// The layout and its records are the engine's (engine/render3d/mesh_format.h);
// these are the generator's own, named views of the same fields: the vertex
// normal is written twice (the second copy fills the slot the engine
// overwrites with the transformed normal), the face normal fills the face's
// spare words, and each face texture record ends in four zero words.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/render3d/mesh_format.h"

namespace showdata {

constexpr int32_t kMeshMapEnvironment = kMeshMappingEnv;   // corners read from their view-space normals
constexpr int32_t kMeshMapCoordinates = 0;   // corners read at their texture coordinates

struct MeshFileVertex {
  int32_t position[3];   // 16.16 object units
  int32_t normal[3];     // 16.16, unit length
};

// Corners in counter-clockwise order seen from outside: the cross product
// (c1 - c0) x (c2 - c0) points out of the object.
struct MeshFileFace {
  int32_t corner[3];     // vertex indices
  int32_t normal[3];     // 16.16 unit face normal (stored, not read by the show)
  int32_t mapping;       // kMeshMapEnvironment or kMeshMapCoordinates
  int32_t uv[3];         // texture coordinate indices (0 when environment-mapped)
};

struct MeshFileUV {
  int32_t u, v;          // 16.16 texels, 0.1..254.9
};

struct MeshFile {
  std::vector<MeshFileVertex> vertices;
  std::vector<MeshFileFace> faces;
  std::vector<MeshFileUV> uvs;
};

// v in 16.16, rounded to the nearest step (halves away from zero).
int32_t ToFixed(double v);

// The file's bytes.
std::vector<uint8_t> EncodeMesh(const MeshFile& mesh);

// Writes the file at path through tools::AtomicFile. Returns false on any
// failure, with a one-line reason in error.
bool WriteMeshFile(const MeshFile& mesh, const std::string& path, std::string& error);

}  // namespace showdata
