// Triangle meshes: the ".ase.bin" resource format, its loader, and the
// fixed-point transform and rasteriser that draw a mesh into an 80 x 50 cell
// buffer with a per-cell depth test and an affine texture lookup.
//
// Everything is 16.16 fixed point (1.0 = 0x10000) with 64-bit intermediates
// for products, reciprocals and divisions; sums wrap in 32 bits.
//
// The file layout and its records: engine/render3d/mesh_format.h.
//
// Per frame an owning effect: sets the camera fields and calls Camera::Update;
// sets the mesh's angles, position and focal; Transform(); fills the depth
// buffer with kMeshFarDepth; Draw(target).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/core/cell.h"
#include "engine/render3d/fixed_math.h"
#include "engine/render3d/mesh_format.h"

struct Bitmap;

// Why a mesh file was refused: the one line, naming the resource, newline
// included, that ends the program when Load or FromBytes refuses it.
struct MeshRefusal {
  char line[256];
};

constexpr int32_t kMeshDefaultFocal = 250 << 16;   // after loading; the show sets 200.0
constexpr int32_t kMeshFarDepth = 100 << 16;       // depth buffer fill: nothing at or beyond draws
// Screen centre of the projection, cells.
constexpr int32_t kMeshCentreX = 40;
constexpr int32_t kMeshCentreY = 25;

// The rasteriser's two quotients. Its edges and spans are whole cells long
// (corners project to whole cells), so the 64-bit forms reduce to 32 bits:
//   2^32 / (n << 16), the 16.16 reciprocal of n cells   = 65536 / n
//   (d << 16) / (n << 16), truncated toward zero         = d / n
// n: 1..32767 cells; d any 16.16 value.
constexpr int32_t kMeshReciprocalTableSize = 128;
constexpr std::array<int32_t, kMeshReciprocalTableSize> kMeshReciprocals = [] {   // entry n: 65536 / n
  std::array<int32_t, kMeshReciprocalTableSize> table{};
  for (int n = 1; n < kMeshReciprocalTableSize; ++n) table[n] = 65536 / n;
  return table;
}();
inline int32_t MeshReciprocal(int32_t n) {
  return n < kMeshReciprocalTableSize ? kMeshReciprocals[n] : 65536 / n;
}
inline int32_t MeshDivide(int32_t d, int32_t n) { return d / n; }

struct Mesh {
  const Bitmap* uvTexture = nullptr;    // not owned; faces mapped by MeshUV
  const Bitmap* envTexture = nullptr;   // not owned; environment-mapped faces
  Matrix3 matrix{};                     // object rotation, rebuilt by Transform
  int32_t angleX = 0, angleY = 0, angleZ = 0;   // angle indices, low 16 bits count
  int32_t x = 0, y = 0, z = 0;                  // 16.16 object position
  MeshVertex* vertices = nullptr;       // owned arrays, sizes from the counts
  MeshFace* faces = nullptr;
  MeshUV* uvs = nullptr;
  MeshFaceUV* faceUVs = nullptr;
  int32_t* faceArea = nullptr;          // per face: signed screen area (16.16, cells
                                        // squared) at the last Draw, negative when
                                        // facing; wraps beyond 181 x 181 cells
  int32_t vertexCount = 0, faceCount = 0, uvCount = 0;
  // Clip window: whole cells per span, 16.16 per row.
  int32_t xEnd = kScreenWidth, xStart = 0;
  int32_t yEnd = kScreenHeight << 16, yStart = 0;
  int32_t* screenX = nullptr;           // per vertex: projected column, whole cells
  int32_t* screenY = nullptr;           // per vertex: projected row, whole cells
  int32_t* depth = nullptr;             // per vertex: view depth Z, 16.16
  int32_t focal = kMeshDefaultFocal;    // 16.16 focal length, cells per unit at depth 1
  uint32_t tint = 0;                    // 0: texels written as they are; else
                                        // hue bits OR'd into a kind-1 word whose
                                        // level is the texel's blue / 3 (0..85)
  // Output binding.
  Cell* target = nullptr;               // 80 x 50 cells
  int32_t* depthBuffer = nullptr;       // 4000 16.16 depths, smaller is nearer
  // Texture in use, selected per face. Texel reads are clamped to
  // column 0..min(width, 256)-1 and row 0..height-1, addressed with the
  // texture's own row length (256 for the show's textures).
  const uint32_t* currentTexels = nullptr;
  int32_t texelStride = 1;              // texels per row
  int32_t texelMaxColumn = 0;
  int32_t texelMaxRow = 0;

  Mesh() = default;
  Mesh(const Mesh&) = delete;
  Mesh& operator=(const Mesh&) = delete;
  ~Mesh();   // frees the eight arrays; the bitmaps belong to the caller

  // New mesh from the resource name (ResourceTable). A missing resource, one
  // shorter than its counts need, counts beyond the int32 range, or a vertex
  // or used texture-coordinate index outside its array ends the program with
  // a one-line message naming the resource (exit code -1). Binds the output
  // to the TextScreen's cells and depth buffer.
  static Mesh* Load(const char* name, const Bitmap* uvTexture, const Bitmap* envTexture);
  // As Load, from bytes already in memory; name only labels the messages.
  static Mesh* FromBytes(const char* name, const uint8_t* bytes, size_t size,
                         const Bitmap* uvTexture, const Bitmap* envTexture);
  // As FromBytes, but a damaged file gives null with its line in refusal,
  // everything freed; nothing is printed and the program goes on. Only
  // running out of memory ends it.
  static Mesh* TryFromBytes(const char* name, const uint8_t* bytes, size_t size, const Bitmap* uvTexture,
                            const Bitmap* envTexture, MeshRefusal& refusal);

  // Rotates, translates (object position plus camera position, through the
  // camera matrix) and projects every vertex; rewrites tn*, screenX, screenY,
  // depth. Camera::Update must have run for the frame.
  void Transform();
  // Draws every front-facing face with all corners in front of the camera,
  // clipped to the window. A non-null target replaces the bound one.
  // Faces whose corners project beyond +-16383 cells (a vertex almost at the
  // camera plane) are skipped: their 16.16 coordinates would not fit.
  void Draw(Cell* newTarget);
  // Fills cells xa..xb (inclusive, whole cells, any order) of row 0..49,
  // u, v, z 16.16 at the two ends, with the depth test and the texel lookup
  // of the current texture. Spans of 32768 cells or more are skipped.
  void DrawSpan(int32_t xa, int32_t xb, int32_t row, int32_t ua, int32_t va, int32_t ub,
                int32_t vb, int32_t za, int32_t zb);

  // Makes texture (or a single black texel when it is null or empty) the one
  // DrawSpan reads.
  void SelectTexture(const Bitmap* texture);
};
