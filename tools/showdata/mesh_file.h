#pragma once
// The ".ase.bin" mesh files of the show and their writer.
//
// Layout: three big-endian uint32 counts (vertices V, faces F, texture
// coordinates U); then, every value a little-endian int32: V vertices of nine
// words (position, normal, and a copy of the normal in the slot the engine
// overwrites with the transformed one), F faces of seven words (three corner
// indices, the face normal, the mapping: 1 = environment-mapped), U texture
// coordinates of two words, and F face texture records of seven words (three
// coordinate indices, four zero words). 12 + 36V + 56F + 8U bytes in all.

#include <cstdint>
#include <string>
#include <vector>

namespace showdata {

constexpr int32_t kMeshMapEnvironment = 1;   // corners read from their view-space normals
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

// Writes the file at path (through "<path>.part" renamed into place).
// Returns false on any failure.
bool WriteMeshFile(const MeshFile& mesh, const std::string& path);

}  // namespace showdata
