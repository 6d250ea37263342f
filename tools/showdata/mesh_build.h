#pragma once
// Building the show's meshes in double precision: vertices, triangles wound
// to face outwards, smooth vertex normals, and the conversion to a MeshFile.

#include <array>
#include <cmath>
#include <vector>

#include "tools/showdata/mesh_file.h"

namespace showdata {

struct Vec3 {
  double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator*(Vec3 a, double k) { return {a.x * k, a.y * k, a.z * k}; }
inline double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
// a / |a|; the zero vector stays zero.
inline Vec3 Normalised(Vec3 a) {
  const double len = Length(a);
  return len > 0 ? a * (1.0 / len) : a;
}

struct MeshBuilder {
  struct Triangle {
    std::array<int, 3> corner;
    int32_t mapping = kMeshMapEnvironment;
    std::array<int, 3> uv{0, 0, 0};   // indices into uvs when mapped by coordinates
  };

  std::vector<Vec3> positions;                 // object units
  std::vector<Vec3> normals;                   // unit, filled by SmoothNormals or by hand
  std::vector<std::array<double, 2>> uvs;      // texels
  std::vector<Triangle> triangles;

  int AddVertex(Vec3 p) {
    positions.push_back(p);
    return static_cast<int>(positions.size()) - 1;
  }
  int AddUV(double u, double v) {
    uvs.push_back({u, v});
    return static_cast<int>(uvs.size()) - 1;
  }
  // Adds the triangle with its corners ordered so that (c1 - c0) x (c2 - c0)
  // agrees with outward (the direction out of the object at that place).
  // Returns the triangle's index, or -1 for a degenerate one (not added).
  int AddTriangle(int a, int b, int c, Vec3 outward);

  // Vertex normals: the angle-weighted mean of the normals of the triangles
  // that share the vertex (the surface is smooth everywhere it is sampled).
  void SmoothNormals();

  // 16.16 file records; face normals from the corners.
  MeshFile ToFile() const;
};

}  // namespace showdata
