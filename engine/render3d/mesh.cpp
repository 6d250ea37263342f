#include "engine/render3d/mesh.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstdio>

#include "engine/core/angle_tables.h"
#include "engine/core/fatal.h"
#include "engine/core/text_screen.h"
#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"

namespace {

constexpr size_t kVertexBytes = sizeof(MeshVertex);
constexpr size_t kFaceBytes = sizeof(MeshFace);
constexpr size_t kUVBytes = sizeof(MeshUV);
constexpr size_t kFaceUVBytes = sizeof(MeshFaceUV);

// Beyond this many cells from the origin a corner's 16.16 coordinate, or the
// difference of two corners' coordinates, no longer fits 32 bits: the edge
// heights and reciprocals of such a face are meaningless.
constexpr int32_t kMaxScreenCoord = 16383;
// Longest span whose 16.16 length, 2^32 / its reciprocal's divisor, stays a
// positive 32-bit value.
constexpr int64_t kMaxSpanCells = 32767;

// Read by DrawSpan when a face's texture is missing or empty.
constexpr uint32_t kBlackTexel = 0;

uint32_t ReadBigEndian32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

int32_t ReadLittleEndian32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                              (uint32_t{p[3]} << 24));
}

// Copies count records of int32 words from little-endian bytes.
void ReadWords(int32_t* out, const uint8_t* bytes, size_t words) {
  for (size_t i = 0; i < words; ++i) out[i] = ReadLittleEndian32(bytes + 4 * i);
}

int32_t Shl16(int32_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v) << 16); }

// Fills refusal with one printf-formatted line and frees the half-built
// mesh (null before anything is allocated); null, for the loader to return.
LUMEN_PRINTF(3, 4) Mesh* Refuse(Mesh* halfBuilt, MeshRefusal& refusal, const char* format,
                                                   ...) {
  delete halfBuilt;
  va_list args;
  va_start(args, format);
  std::vsnprintf(refusal.line, sizeof refusal.line, format, args);
  va_end(args);
  return nullptr;
}

// A running edge point: 16.16 column, texture coordinates and depth.
struct EdgePoint {
  int32_t x, u, v, z;
};

void Step(EdgePoint& p, const EdgePoint& d) {
  p.x = WrapAdd(p.x, d.x);
  p.u = WrapAdd(p.u, d.u);
  p.v = WrapAdd(p.v, d.v);
  p.z = WrapAdd(p.z, d.z);
}

// n steps at once; the same wrapped result as n single steps.
void StepMany(EdgePoint& p, const EdgePoint& d, int64_t n) {
  const uint32_t k = static_cast<uint32_t>(n);
  p.x = static_cast<int32_t>(static_cast<uint32_t>(p.x) + k * static_cast<uint32_t>(d.x));
  p.u = static_cast<int32_t>(static_cast<uint32_t>(p.u) + k * static_cast<uint32_t>(d.u));
  p.v = static_cast<int32_t>(static_cast<uint32_t>(p.v) + k * static_cast<uint32_t>(d.v));
  p.z = static_cast<int32_t>(static_cast<uint32_t>(p.z) + k * static_cast<uint32_t>(d.z));
}

// Increments per row of the edge from a to b, rows whole rows apart (none
// when 0). Which quantities take the exact division instead of the
// reciprocal is part of the pictures: divideX for the upper edge, divideZ
// for the long edge.
EdgePoint EdgeIncrements(const EdgePoint& a, const EdgePoint& b, int32_t rows, bool divideX, bool divideZ) {
  if (rows <= 0) return EdgePoint{0, 0, 0, 0};
  const int32_t r = MeshReciprocal(rows);
  EdgePoint d;
  d.x = divideX ? MeshDivide(WrapSub(b.x, a.x), rows) : FixedMul(WrapSub(b.x, a.x), r);
  d.u = FixedMul(WrapSub(b.u, a.u), r);
  d.v = FixedMul(WrapSub(b.v, a.v), r);
  d.z = divideZ ? MeshDivide(WrapSub(b.z, a.z), rows) : FixedMul(WrapSub(b.z, a.z), r);
  return d;
}

// A face's corners on screen in its own corner order, whole cells.
struct ScreenCorners {
  int32_t sx[3], sy[3];
};

// The rejections of a face, in their order; none but the area leaves a
// trace. False when the face is not drawn.
bool FrontFacing(Mesh& mesh, int32_t i, ScreenCorners& s) {
  const int32_t* c = mesh.faces[i].corner;
  if (mesh.depth[c[0]] < 0 || mesh.depth[c[1]] < 0 || mesh.depth[c[2]] < 0) return false;
  for (int k = 0; k < 3; ++k) {
    s.sx[k] = mesh.screenX[c[k]];
    s.sy[k] = mesh.screenY[c[k]];
  }
  if (s.sx[0] < 0 && s.sx[1] < 0 && s.sx[2] < 0) return false;
  if (s.sx[0] >= kScreenWidth && s.sx[1] >= kScreenWidth && s.sx[2] >= kScreenWidth) return false;
  // A corner almost at the camera plane projects so far out that its 16.16
  // coordinates, or their differences, wrap: the face has no meaningful
  // edges. Within the range, the 16.16 tests above and below are exact.
  for (int k = 0; k < 3; ++k) {
    if (s.sx[k] < -kMaxScreenCoord || s.sx[k] > kMaxScreenCoord || s.sy[k] < -kMaxScreenCoord ||
        s.sy[k] > kMaxScreenCoord)
      return false;
  }
  // (x1 - x0)(y2 - y0) - (x2 - x0)(y1 - y0) in the face's own corner order.
  // Stored as the 16.16 products give it, which wrap once a face spans more
  // than 181 cells; the facing test takes the exact value, which has the
  // same sign whenever the stored one does not wrap.
  const int64_t area = (int64_t{s.sx[1]} - s.sx[0]) * (int64_t{s.sy[2]} - s.sy[0]) -
                       (int64_t{s.sx[2]} - s.sx[0]) * (int64_t{s.sy[1]} - s.sy[0]);
  mesh.faceArea[i] = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(area) << 16));
  return area < 0;   // else back-facing or degenerate
}

// A face's corners from top to bottom: p with 16.16 column, texel and depth,
// rows in whole cells and ys in 16.16.
struct RowSortedTriangle {
  EdgePoint p[3];
  int32_t rows[3];
  int32_t ys[3];
};

// False when the whole face lies above or below the screen.
bool SortByRow(const Mesh& mesh, int32_t i, const ScreenCorners& s, RowSortedTriangle& tri) {
  // Three compare-and-swaps that exchange only when the later row is
  // strictly smaller.
  int order[3] = {0, 1, 2};
  auto sort = [&](int a, int b) {
    if (s.sy[order[b]] < s.sy[order[a]]) std::swap(order[a], order[b]);
  };
  sort(0, 1);
  sort(1, 2);
  sort(0, 1);
  constexpr int32_t kLastRow = (kScreenHeight - 1) << 16;   // 49.0
  for (int k = 0; k < 3; ++k) {
    tri.rows[k] = s.sy[order[k]];
    tri.ys[k] = Shl16(tri.rows[k]);
  }
  if (tri.ys[0] > kLastRow || tri.ys[2] < 0) return false;

  const MeshFace& face = mesh.faces[i];
  const bool environment = face.mapping == kMeshMappingEnv;
  for (int k = 0; k < 3; ++k) {
    const int32_t corner = face.corner[order[k]];
    EdgePoint& p = tri.p[k];
    p.x = Shl16(s.sx[order[k]]);
    p.z = mesh.depth[corner];
    if (environment) {
      // A unit normal component -1.0..1.0 maps to 0..256.0 texels.
      const MeshVertex& vertex = mesh.vertices[corner];
      p.u = static_cast<int32_t>(static_cast<uint32_t>(WrapAdd(vertex.tnx, kFixedOne)) << 7);
      p.v = static_cast<int32_t>(static_cast<uint32_t>(WrapAdd(vertex.tny, kFixedOne)) << 7);
    } else {
      const MeshUV& uv = mesh.uvs[mesh.faceUVs[i].t[order[k]]];
      p.u = uv.u;
      p.v = uv.v;
    }
  }
  return true;
}

// Walks a triangle down its rows, one span per row between the long edge
// and the upper edge, then the lower edge.
struct TriangleWalk {
  Mesh& mesh;
  int32_t rowFirst, rowEnd;   // 16.16 clip window
  bool longOnLeft;
  EdgePoint longEdge;         // increments per row
  EdgePoint along;            // the point on the long edge
  int32_t y;                  // 16.16 row of the points
  int32_t row;                // y in whole rows

  // Rows down to stop (16.16) between the long edge and the side. False
  // when the window ends first: every further row lies below it.
  bool Half(int32_t stop, EdgePoint& side, const EdgePoint& sideStep) {
    // Rows above the window are clipped; stepping over them at once leaves
    // the points exactly where one row at a time would.
    const int32_t skipTo = std::min(stop, rowFirst);
    if (y < skipTo) {
      const int64_t n = ((int64_t{skipTo} - y) + 0xFFFF) >> 16;
      StepMany(along, longEdge, n);
      StepMany(side, sideStep, n);
      y = static_cast<int32_t>(y + n * 0x10000);
      row = static_cast<int32_t>(row + n);
    }
    while (y < stop && y < rowEnd) {
      if (y >= rowFirst) {
        const EdgePoint& left = longOnLeft ? along : side;
        const EdgePoint& right = longOnLeft ? side : along;
        mesh.DrawSpan(left.x >> 16, right.x >> 16, row, left.u, left.v, right.u, right.v, left.z, right.z);
      }
      y += 0x10000;
      ++row;
      Step(along, longEdge);
      Step(side, sideStep);
    }
    return y < rowEnd;
  }
};

}  // namespace

Mesh::~Mesh() {
  delete[] vertices;
  delete[] faces;
  delete[] uvs;
  delete[] faceUVs;
  delete[] faceArea;
  delete[] screenX;
  delete[] screenY;
  delete[] depth;
}

Mesh* Mesh::Load(const char* name, const Bitmap* uvTexture, const Bitmap* envTexture) {
  ResourceEntry& entry = ResourceTable::Instance()->Get(name);
  return FromBytes(name, entry.data, entry.size, uvTexture, envTexture);
}

Mesh* Mesh::FromBytes(const char* name, const uint8_t* bytes, size_t size, const Bitmap* uvTexture,
                      const Bitmap* envTexture) {
  MeshRefusal refusal;
  Mesh* mesh = TryFromBytes(name, bytes, size, uvTexture, envTexture, refusal);
  if (mesh == nullptr) Fatal("%s", refusal.line);
  return mesh;
}

Mesh* Mesh::TryFromBytes(const char* name, const uint8_t* bytes, size_t size, const Bitmap* uvTexture,
                         const Bitmap* envTexture, MeshRefusal& refusal) {
  if (bytes == nullptr || size < kMeshHeaderBytes) {
    return Refuse(nullptr, refusal, "mesh \"%s\" is damaged: %zu bytes, shorter than its 12-byte header\n", name,
                  bytes == nullptr ? size_t{0} : size);
  }
  const uint32_t v = ReadBigEndian32(bytes);
  const uint32_t f = ReadBigEndian32(bytes + 4);
  const uint32_t u = ReadBigEndian32(bytes + 8);
  const uint64_t need = MeshFileBytes(v, f, u);
  if (v > INT32_MAX || f > INT32_MAX || u > INT32_MAX || need > size) {
    return Refuse(nullptr, refusal,
                  "mesh \"%s\" is damaged: %zu bytes, but %u vertices, %u faces and %u coordinates need %llu\n",
                  name, size, v, f, u, static_cast<unsigned long long>(need));
  }

  const uint8_t* vertexBytes = bytes + kMeshHeaderBytes;
  const uint8_t* faceBytes = vertexBytes + kVertexBytes * v;
  const uint8_t* uvBytes = faceBytes + kFaceBytes * f;
  const uint8_t* faceUVBytes = uvBytes + kUVBytes * u;

  Mesh* mesh = new Mesh;
  mesh->vertexCount = static_cast<int32_t>(v);
  mesh->faceCount = static_cast<int32_t>(f);
  mesh->uvCount = static_cast<int32_t>(u);
  mesh->vertices = new MeshVertex[v];
  mesh->faces = new MeshFace[f];
  mesh->uvs = new MeshUV[u];
  mesh->faceUVs = new MeshFaceUV[f];
  mesh->faceArea = new int32_t[f]();
  mesh->screenX = new int32_t[v]();
  mesh->screenY = new int32_t[v]();
  mesh->depth = new int32_t[v]();
  SetIdentity(mesh->matrix);

  for (uint32_t i = 0; i < v; ++i) {
    ReadWords(&mesh->vertices[i].px, vertexBytes + kVertexBytes * i, kVertexBytes / 4);
  }
  for (uint32_t i = 0; i < f; ++i) {
    ReadWords(mesh->faces[i].corner, faceBytes + kFaceBytes * i, kFaceBytes / 4);
    ReadWords(mesh->faceUVs[i].t, faceUVBytes + kFaceUVBytes * i, kFaceUVBytes / 4);
  }
  for (uint32_t i = 0; i < u; ++i) {
    ReadWords(&mesh->uvs[i].u, uvBytes + kUVBytes * i, kUVBytes / 4);
  }

  // Every index Draw follows must name a record; texture indices count only
  // on faces that read them (environment-mapped faces never do).
  for (int32_t i = 0; i < mesh->faceCount; ++i) {
    const MeshFace& face = mesh->faces[i];
    for (int k = 0; k < 3; ++k) {
      if (face.corner[k] < 0 || face.corner[k] >= mesh->vertexCount) {
        return Refuse(mesh, refusal, "mesh \"%s\" is damaged: face %d names vertex %d of %d\n", name, i,
                      face.corner[k], mesh->vertexCount);
      }
      const int32_t t = mesh->faceUVs[i].t[k];
      if (face.mapping != kMeshMappingEnv && (t < 0 || t >= mesh->uvCount)) {
        return Refuse(mesh, refusal, "mesh \"%s\" is damaged: face %d names texture coordinate %d of %d\n", name,
                      i, t, mesh->uvCount);
      }
    }
  }

  TextScreen* screen = TextScreen::Get();
  mesh->uvTexture = uvTexture;
  mesh->envTexture = envTexture;
  mesh->target = screen->cells;
  mesh->depthBuffer = screen->depth;
  mesh->SelectTexture(uvTexture);
  mesh->focal = kMeshDefaultFocal;
  return mesh;
}

void Mesh::SelectTexture(const Bitmap* texture) {
  if (texture == nullptr || texture->pixels == nullptr || texture->width == 0 || texture->height == 0 ||
      texture->pixelCount <= 0 || texture->width > static_cast<uint32_t>(texture->pixelCount)) {
    currentTexels = &kBlackTexel;
    texelStride = 1;
    texelMaxColumn = 0;
    texelMaxRow = 0;
    return;
  }
  const int32_t width = static_cast<int32_t>(texture->width);
  const int32_t rows = std::min(static_cast<int64_t>(texture->height),
                                static_cast<int64_t>(texture->pixelCount / width));
  currentTexels = texture->pixels;
  texelStride = width;
  texelMaxColumn = std::min(width, 256) - 1;
  texelMaxRow = static_cast<int32_t>(rows) - 1;
}

void Mesh::Transform() {
  angleX &= 0xFFFF;
  angleY &= 0xFFFF;
  angleZ &= 0xFFFF;
  Matrix3 rotation;
  BuildRotation(rotation, SinTable[angleX], SinTable[angleY], SinTable[angleZ], CosTable[angleX],
                CosTable[angleY], CosTable[angleZ]);
  SetIdentity(matrix);
  MultiplyMatrix(matrix, rotation);

  const Camera& camera = *TextScreen::Get()->camera;
  Matrix3 world;
  SetIdentity(world);
  MultiplyMatrix(world, matrix);
  MultiplyMatrix(world, camera.matrix);

  // The camera position is added to the object's, not subtracted.
  int32_t offset[3];
  TransformVector(offset, camera.matrix, WrapAdd(x, camera.x), WrapAdd(y, camera.y),
                  WrapAdd(z, camera.z));

  for (int32_t i = 0; i < vertexCount; ++i) {
    MeshVertex& vertex = vertices[i];
    int32_t view[3];
    TransformVector(view, world, vertex.px, vertex.py, vertex.pz);
    const int32_t viewX = WrapAdd(view[0], offset[0]);
    const int32_t viewY = WrapAdd(view[1], offset[1]);
    int32_t viewZ = WrapAdd(view[2], offset[2]);

    int32_t normal[3];
    TransformVector(normal, world, vertex.nx, vertex.ny, vertex.nz);
    vertex.tnx = normal[0];
    vertex.tny = normal[1];
    vertex.tnz = normal[2];

    if (viewZ == 0) viewZ = 1;
    // focal / Z in 16.16; |focal << 16| < 2^47, so the quotient cannot trap.
    const int32_t scale = static_cast<int32_t>(
        static_cast<uint32_t>(static_cast<uint64_t>((int64_t{focal} << 16) / viewZ)));
    screenX[i] = WrapAdd(FixedMul(viewX, scale) >> 16, kMeshCentreX);
    screenY[i] = WrapAdd(FixedMul(viewY, scale) >> 16, kMeshCentreY);
    depth[i] = viewZ;
  }
}

void Mesh::Draw(Cell* newTarget) {
  if (newTarget != nullptr) target = newTarget;
  if (target == nullptr || depthBuffer == nullptr) return;

  // The clip window, kept inside the 80 x 50 buffers whatever the fields say.
  const int32_t rowFirst = std::max(yStart, 0);
  const int32_t rowEnd = std::min(yEnd, kScreenHeight << 16);
  const Bitmap* selected = nullptr;
  bool anySelected = false;

  for (int32_t i = 0; i < faceCount; ++i) {
    ScreenCorners corners;
    if (!FrontFacing(*this, i, corners)) continue;
    RowSortedTriangle tri;
    if (!SortByRow(*this, i, corners, tri)) continue;

    const Bitmap* texture = faces[i].mapping == kMeshMappingEnv ? envTexture : uvTexture;
    if (!anySelected || texture != selected) {
      SelectTexture(texture);
      selected = texture;
      anySelected = true;
    }

    // The long edge runs from the top corner to the bottom one; the upper
    // edge meets it at the top, the lower edge at the bottom.
    const EdgePoint upper = EdgeIncrements(tri.p[0], tri.p[1], tri.rows[1] - tri.rows[0], true, false);
    const EdgePoint longEdge = EdgeIncrements(tri.p[0], tri.p[2], tri.rows[2] - tri.rows[0], false, true);
    const EdgePoint lower = EdgeIncrements(tri.p[1], tri.p[2], tri.rows[2] - tri.rows[1], false, false);
    TriangleWalk walk{*this, rowFirst, rowEnd, upper.x > longEdge.x, longEdge, tri.p[0], tri.ys[0], tri.ys[0] >> 16};
    EdgePoint upperPoint = tri.p[0];
    if (!walk.Half(tri.ys[1], upperPoint, upper)) continue;   // every further row lies below the window
    EdgePoint lowerPoint = tri.p[1];
    walk.Half(tri.ys[2], lowerPoint, lower);
  }
}

void Mesh::DrawSpan(int32_t xa, int32_t xb, int32_t row, int32_t ua, int32_t va, int32_t ub, int32_t vb,
                    int32_t za, int32_t zb) {
  const int32_t lastColumn = kScreenWidth - 1;
  if ((xa < 0 && xb < 0) || (xa > lastColumn && xb > lastColumn)) return;
  if (row < 0 || row >= kScreenHeight || target == nullptr || depthBuffer == nullptr) return;
  if (xa > xb) {
    std::swap(xa, xb);
    std::swap(ua, ub);
    std::swap(va, vb);
    std::swap(za, zb);
  }
  int32_t du = 0, dv = 0, dz = 0;
  const int64_t length = int64_t{xb} - xa;
  if (length > kMaxSpanCells) return;   // its 16.16 length would not be a positive divisor
  if (length > 0) {
    const int32_t r = MeshReciprocal(static_cast<int32_t>(length));
    du = FixedMul(WrapSub(ub, ua), r);
    dv = FixedMul(WrapSub(vb, va), r);
    dz = FixedMul(WrapSub(zb, za), r);
  }

  // The window, kept inside the row whatever the fields say.
  const int32_t first = std::clamp(xStart, 0, kScreenWidth);
  const int32_t end = std::clamp(xEnd, 0, kScreenWidth);
  if (xb >= end) xb = end - 1;
  if (xa < first) {
    const int32_t k = Shl16(first - xa);
    ua = WrapAdd(ua, FixedMul(du, k));
    va = WrapAdd(va, FixedMul(dv, k));
    za = WrapAdd(za, FixedMul(dz, k));
    xa = first;
  }
  if (xa > xb) return;

  int32_t index = row * kScreenWidth + xa;
  int32_t u = ua, v = va, z = za;
  const uint32_t* texels = currentTexels;
  const int32_t stride = texelStride, maxColumn = texelMaxColumn, maxRow = texelMaxRow;
  for (int32_t column = xa; column <= xb; ++column, ++index) {
    if (z < depthBuffer[index]) {
      depthBuffer[index] = z;
      // Whole parts of u and v: column and row, clamped to the texture.
      const int32_t texColumn = std::clamp(u >> 16, 0, maxColumn);
      const int32_t texRow = std::clamp(v >> 16, 0, maxRow);
      const uint32_t texel = texels[texRow * stride + texColumn];
      target[index] = tint != 0 ? CellOrCarriedLevel(tint | MakeRampCell(0, 0, kSaturationFull),
                                                     CellBlue(texel) / 3)
                                : texel;
    }
    u = WrapAdd(u, du);
    v = WrapAdd(v, dv);
    z = WrapAdd(z, dz);
  }
}
