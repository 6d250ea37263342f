// 16.16 fixed-point products, the 3x3 rotation matrix and the show's camera.
//
// Fixed point: int32 two's complement with 16 fractional bits (1.0 = 0x10000).
// Sums of products are plain 32-bit additions that wrap. Angles are 16-bit
// indices into SinTable/CosTable (65536 per turn) kept in 32-bit fields.
#pragma once

#include <cstdint>

constexpr int32_t kFixedOne = 0x10000;

// Floor of the exact product: the 64-bit product shifted right arithmetically.
inline int32_t FixedMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(
      static_cast<uint64_t>((static_cast<int64_t>(a) * static_cast<int64_t>(b)) >> 16)));
}

// Wrapping 32-bit sum: fixed-point sums may overflow, and must wrap the same
// way on every target without undefined behaviour.
inline int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Nine 16.16 entries m0..m8, row-major: row r, column k is m[3r + k].
struct Matrix3 {
  int32_t m[9];
};

void SetIdentity(Matrix3& m);
// Arguments are 16.16 sines and cosines of the X, Y and Z angles.
void BuildRotation(Matrix3& m, int32_t sx, int32_t sy, int32_t sz, int32_t cx, int32_t cy,
                   int32_t cz);
// a = a x b; every new entry is formed from the old a.
void MultiplyMatrix(Matrix3& a, const Matrix3& b);
// out = (x, y, z) as a row vector times m.
void TransformVector(int32_t out[3], const Matrix3& m, int32_t x, int32_t y, int32_t z);

struct Camera {
  int32_t x = 0, y = 0, z = 0;                  // 16.16, added to mesh positions
  int32_t angleX = 0, angleY = 0, angleZ = 0;   // angle indices, low 16 bits count
  int32_t moveX = 0, moveY = 0, moveZ = 0;      // 16.16 along the camera's axes
  Matrix3 matrix{{kFixedOne, 0, 0, 0, kFixedOne, 0, 0, 0, kFixedOne}};

  // Rebuilds matrix from the angles (reduced to 16 bits in place), moves the
  // position by the pending movement through the new matrix, clears it.
  void Update();
};
