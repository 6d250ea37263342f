#pragma once
// Test helpers: ".ase.bin" bytes written by hand (big-endian counts,
// little-endian words), independent of the show data generator's writer, and
// cell and depth buffers with guard zones around them.

#include <cstdint>
#include <vector>

#include "engine/core/cell.h"
#include "engine/render3d/mesh.h"
#include "engine/resources/bitmap.h"

namespace meshtest {

struct Vertex {
  int32_t p[3];
  int32_t n[3];
};
struct Face {
  int32_t corner[3];
  int32_t mapping;
  int32_t t[3];
};
struct UV {
  int32_t u, v;
};

inline void PutBig(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
inline void PutLittle(std::vector<uint8_t>& out, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

// The file bytes; the header's counts may be overridden to lie about them.
inline std::vector<uint8_t> Encode(const std::vector<Vertex>& vertices, const std::vector<Face>& faces,
                                   const std::vector<UV>& uvs) {
  std::vector<uint8_t> out;
  PutBig(out, static_cast<uint32_t>(vertices.size()));
  PutBig(out, static_cast<uint32_t>(faces.size()));
  PutBig(out, static_cast<uint32_t>(uvs.size()));
  for (const Vertex& v : vertices) {
    for (int32_t w : v.p) PutLittle(out, w);
    for (int32_t w : v.n) PutLittle(out, w);
    for (int k = 0; k < 3; ++k) PutLittle(out, 0x7E7E7E7E);   // transformed normal: not read
  }
  for (const Face& f : faces) {
    for (int32_t c : f.corner) PutLittle(out, c);
    for (int k = 0; k < 3; ++k) PutLittle(out, 0x5A5A5A5A);   // spare
    PutLittle(out, f.mapping);
  }
  for (const UV& uv : uvs) {
    PutLittle(out, uv.u);
    PutLittle(out, uv.v);
  }
  for (const Face& f : faces) {
    for (int32_t t : f.t) PutLittle(out, t);
    for (int k = 0; k < 4; ++k) PutLittle(out, -77);          // spare, arbitrary
  }
  return out;
}

inline void SetCounts(std::vector<uint8_t>& bytes, uint32_t v, uint32_t f, uint32_t u) {
  std::vector<uint8_t> header;
  PutBig(header, v);
  PutBig(header, f);
  PutBig(header, u);
  for (int i = 0; i < 12; ++i) bytes[i] = header[i];
}

// A texture whose texel at index i holds the word marker | i, so a written
// cell names the texel it came from.
inline Bitmap IndexTexture(uint32_t width, uint32_t height, uint32_t marker, std::vector<uint32_t>& storage) {
  storage.resize(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < storage.size(); ++i) storage[i] = marker | static_cast<uint32_t>(i);
  Bitmap b{};
  b.pixelCount = static_cast<int32_t>(storage.size());
  b.pixels = storage.data();
  b.width = width;
  b.height = height;
  return b;
}

// A screen-sized cell and depth buffer with kGuard words on each side that
// must never change.
struct GuardedBuffers {
  static constexpr int kGuard = 4096;
  static constexpr Cell kCellGuard = 0xDEADBEEF;
  static constexpr int32_t kDepthGuard = 0x12345678;
  static constexpr Cell kEmpty = 0xAAAAAAAA;
  std::vector<Cell> cells = std::vector<Cell>(kScreenCells + 2 * kGuard, kCellGuard);
  std::vector<int32_t> depths = std::vector<int32_t>(kScreenCells + 2 * kGuard, kDepthGuard);

  GuardedBuffers() { Clear(); }
  Cell* Target() { return cells.data() + kGuard; }
  int32_t* Depth() { return depths.data() + kGuard; }
  // Cells to kEmpty, depths to 100.0, as the effects fill them before a draw.
  void Clear() {
    for (int i = 0; i < kScreenCells; ++i) {
      Target()[i] = kEmpty;
      Depth()[i] = kMeshFarDepth;
    }
  }
  void Bind(Mesh& mesh) {
    mesh.target = Target();
    mesh.depthBuffer = Depth();
  }
  bool GuardsIntact() const {
    for (int i = 0; i < kGuard; ++i) {
      if (cells[i] != kCellGuard || cells[kGuard + kScreenCells + i] != kCellGuard) return false;
      if (depths[i] != kDepthGuard || depths[kGuard + kScreenCells + i] != kDepthGuard) return false;
    }
    return true;
  }
  Cell At(int column, int row) { return Target()[row * kScreenWidth + column]; }
  int Written() {
    int n = 0;
    for (int i = 0; i < kScreenCells; ++i) n += Target()[i] != kEmpty;
    return n;
  }
  bool RowWritten(int row) {
    for (int x = 0; x < kScreenWidth; ++x)
      if (At(x, row) != kEmpty) return true;
    return false;
  }
};

}  // namespace meshtest
