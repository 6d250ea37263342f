// Helpers of the skull and liquid tests: a small ".ase.bin" cube written in
// the test's working directory, and 256 x 256 PNG textures of one blue level.
#pragma once

#include <stb_image_write.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace mesh_scene_test {

inline void PutBigEndian(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
inline void PutLittleEndian(std::vector<uint8_t>& out, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(u >> shift));
}

// A cube from -half to +half (16.16) on every axis: 24 vertices (4 per side,
// each with its side's outward unit normal), 12 faces counter-clockwise seen
// from outside, every face mapped with `mapping` (1: from the normals), and
// 4 texture coordinates at the texture's corners (u, v from 1.0 to 254.0).
inline std::vector<uint8_t> CubeMeshBytes(int32_t half, int32_t mapping) {
  struct Side {
    int axis;   // 0 x, 1 y, 2 z
    int sign;   // +1 or -1
  };
  const Side sides[6] = {{0, 1}, {0, -1}, {1, 1}, {1, -1}, {2, 1}, {2, -1}};
  std::vector<int32_t> vertices;   // 9 words each
  std::vector<int32_t> faces;      // 7 words each
  for (int s = 0; s < 6; ++s) {
    const int a = sides[s].axis, b = (a + 1) % 3, c = (a + 2) % 3;
    const int sign = sides[s].sign;
    // Corners around the side so that (p1 - p0) x (p2 - p0) points along
    // sign x axis a: b then c is counter-clockwise seen from +a.
    const int corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    const int base = static_cast<int>(vertices.size() / 9);
    for (int k = 0; k < 4; ++k) {
      int32_t p[3];
      p[a] = sign * half;
      p[b] = corners[k][0] * half;
      p[c] = corners[k][1] * half * sign;
      int32_t n[3] = {0, 0, 0};
      n[a] = sign * 0x10000;
      for (int32_t w : {p[0], p[1], p[2], n[0], n[1], n[2], n[0], n[1], n[2]}) vertices.push_back(w);
    }
    const int tris[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (const auto& t : tris) {
      for (int k = 0; k < 3; ++k) faces.push_back(base + t[k]);
      faces.push_back(0);
      faces.push_back(0);
      faces.push_back(0);
      faces.push_back(mapping);
    }
  }
  const int32_t uvs[4][2] = {{0x10000, 0x10000}, {254 << 16, 0x10000}, {254 << 16, 254 << 16}, {0x10000, 254 << 16}};
  const uint32_t vertexCount = static_cast<uint32_t>(vertices.size() / 9);
  const uint32_t faceCount = static_cast<uint32_t>(faces.size() / 7);
  std::vector<uint8_t> out;
  PutBigEndian(out, vertexCount);
  PutBigEndian(out, faceCount);
  PutBigEndian(out, 4);
  for (int32_t w : vertices) PutLittleEndian(out, w);
  for (int32_t w : faces) PutLittleEndian(out, w);
  for (const auto& uv : uvs) {
    PutLittleEndian(out, uv[0]);
    PutLittleEndian(out, uv[1]);
  }
  // Face texture records: the side's corners 0, 1, 2 and 0, 2, 3.
  for (uint32_t f = 0; f < faceCount; ++f) {
    const int32_t first[3] = {0, 1, 2}, second[3] = {0, 2, 3};
    const int32_t* t = (f % 2 == 0) ? first : second;
    for (int k = 0; k < 3; ++k) PutLittleEndian(out, t[k]);
    for (int k = 0; k < 4; ++k) PutLittleEndian(out, 0);
  }
  return out;
}

inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

// A width x height PNG whose every pixel has the given blue (red and green 0).
inline bool WriteBluePng(const std::string& path, int width, int height, uint8_t blue) {
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3, 0);
  for (size_t i = 2; i < rgb.size(); i += 3) rgb[i] = blue;
  return stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) != 0;
}

}  // namespace mesh_scene_test
