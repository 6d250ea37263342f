#include "engine/render3d/fixed_math.h"

#include "engine/core/angle_tables.h"

void SetIdentity(Matrix3& m) {
  m = Matrix3{{kFixedOne, 0, 0, 0, kFixedOne, 0, 0, 0, kFixedOne}};
}

void BuildRotation(Matrix3& m, int32_t sx, int32_t sy, int32_t sz, int32_t cx, int32_t cy,
                   int32_t cz) {
  const int32_t sycz = FixedMul(sy, cz);
  const int32_t sysz = FixedMul(sy, sz);
  m.m[0] = FixedMul(cz, cy);
  m.m[1] = FixedMul(sz, cy);
  m.m[2] = WrapSub(0, sy);
  m.m[3] = WrapSub(FixedMul(sx, sycz), FixedMul(cx, sz));
  m.m[4] = WrapAdd(FixedMul(sysz, sx), FixedMul(cx, cz));
  m.m[5] = FixedMul(sx, cy);
  m.m[6] = WrapAdd(FixedMul(cx, sycz), FixedMul(sx, sz));
  m.m[7] = WrapSub(FixedMul(sysz, cx), FixedMul(sx, cz));
  m.m[8] = FixedMul(cx, cy);
}

void MultiplyMatrix(Matrix3& a, const Matrix3& b) {
  Matrix3 r;
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      int32_t sum = FixedMul(a.m[3 * row + 0], b.m[0 + col]);
      sum = WrapAdd(sum, FixedMul(a.m[3 * row + 1], b.m[3 + col]));
      sum = WrapAdd(sum, FixedMul(a.m[3 * row + 2], b.m[6 + col]));
      r.m[3 * row + col] = sum;
    }
  }
  a = r;
}

void TransformVector(int32_t out[3], const Matrix3& m, int32_t x, int32_t y, int32_t z) {
  for (int k = 0; k < 3; ++k) {
    int32_t sum = FixedMul(x, m.m[k]);
    sum = WrapAdd(sum, FixedMul(y, m.m[3 + k]));
    sum = WrapAdd(sum, FixedMul(z, m.m[6 + k]));
    out[k] = sum;
  }
}

void Camera::Update() {
  angleX &= 0xFFFF;
  angleY &= 0xFFFF;
  angleZ &= 0xFFFF;
  Matrix3 rotation;
  BuildRotation(rotation, SinTable[angleX], SinTable[angleY], SinTable[angleZ],
                CosTable[angleX], CosTable[angleY], CosTable[angleZ]);
  SetIdentity(matrix);
  MultiplyMatrix(matrix, rotation);
  const int32_t* m = matrix.m;
  x = WrapAdd(x, WrapAdd(WrapAdd(FixedMul(m[0], moveX), FixedMul(m[1], moveY)), FixedMul(m[2], moveZ)));
  y = WrapAdd(y, WrapAdd(WrapAdd(FixedMul(m[3], moveX), FixedMul(m[4], moveY)), FixedMul(m[5], moveZ)));
  z = WrapAdd(z, WrapAdd(WrapAdd(FixedMul(m[6], moveX), FixedMul(m[7], moveY)), FixedMul(m[8], moveZ)));
  moveX = moveY = moveZ = 0;
}
