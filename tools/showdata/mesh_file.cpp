#include "tools/showdata/mesh_file.h"

#include <cmath>
#include <cstdio>

#include "tools/common/atomic_file.h"

namespace showdata {

namespace {

void PutBigEndian(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void PutLittleEndian(std::vector<uint8_t>& out, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 24));
}

}  // namespace

int32_t ToFixed(double v) { return static_cast<int32_t>(std::lround(v * 65536.0)); }

std::vector<uint8_t> EncodeMesh(const MeshFile& mesh) {
  std::vector<uint8_t> out;
  out.reserve(MeshFileBytes(static_cast<uint32_t>(mesh.vertices.size()), static_cast<uint32_t>(mesh.faces.size()),
                            static_cast<uint32_t>(mesh.uvs.size())));
  PutBigEndian(out, static_cast<uint32_t>(mesh.vertices.size()));
  PutBigEndian(out, static_cast<uint32_t>(mesh.faces.size()));
  PutBigEndian(out, static_cast<uint32_t>(mesh.uvs.size()));
  for (const MeshFileVertex& v : mesh.vertices) {
    for (int32_t p : v.position) PutLittleEndian(out, p);
    for (int32_t n : v.normal) PutLittleEndian(out, n);
    for (int32_t n : v.normal) PutLittleEndian(out, n);   // the transformed-normal slot
  }
  for (const MeshFileFace& f : mesh.faces) {
    for (int32_t c : f.corner) PutLittleEndian(out, c);
    for (int32_t n : f.normal) PutLittleEndian(out, n);
    PutLittleEndian(out, f.mapping);
  }
  for (const MeshFileUV& uv : mesh.uvs) {
    PutLittleEndian(out, uv.u);
    PutLittleEndian(out, uv.v);
  }
  for (const MeshFileFace& f : mesh.faces) {
    for (int32_t t : f.uv) PutLittleEndian(out, t);
    for (int k = 0; k < 4; ++k) PutLittleEndian(out, 0);
  }
  return out;
}

bool WriteMeshFile(const MeshFile& mesh, const std::string& path, std::string& error) {
  return tools::WriteFileAtomically(path, EncodeMesh(mesh), error);
}

}  // namespace showdata
