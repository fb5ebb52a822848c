#include "transmembrane/geometry.h"

#include <algorithm>

namespace tessmol {

Mat4 Mat4::Identity() {
  Mat4 r;
  r.m[0] = r.m[5] = r.m[10] = r.m[15] = 1.0f;
  return r;
}

Mat4 Mat4::Translation(const Vec3& t) {
  Mat4 r = Identity();
  r.m[12] = t.x;
  r.m[13] = t.y;
  r.m[14] = t.z;
  return r;
}

Mat4 Mat4::Rotation(Vec3 axis, float radians) {
  const float q = axis.LengthSquared();
  if (q > 1.0001f || (q < 0.9999f && q != 0.0f)) axis.Normalise();
  const float c = std::cos(radians), s = std::sin(radians);
  const float x = axis.x, y = axis.y, z = axis.z;
  Mat4 r = Identity();
  auto set = [&r](int row, int column, float value) { r.m[4 * column + row] = value; };
  set(0, 0, (1 - x * x) * c + x * x);
  set(0, 1, x * y * (1 - c) - z * s);
  set(0, 2, x * z * (1 - c) + y * s);
  set(1, 0, x * y * (1 - c) + z * s);
  set(1, 1, (1 - y * y) * c + y * y);
  set(1, 2, y * z * (1 - c) - x * s);
  set(2, 0, x * z * (1 - c) - y * s);
  set(2, 1, y * z * (1 - c) + x * s);
  set(2, 2, (1 - z * z) * c + z * z);
  return r;
}

Mat4 Mat4::operator*(const Mat4& b) const {
  Mat4 r;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 4; ++column) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += m[4 * k + row] * b.m[4 * column + k];
      r.m[4 * column + row] = sum;
    }
  }
  return r;
}

Vec3 Mat4::Apply(const Vec3& p) const {
  return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12], m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13],
          m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14]};
}

Vec3 Mat4::ApplyDirection(const Vec3& p) const {
  return {m[0] * p.x + m[4] * p.y + m[8] * p.z, m[1] * p.x + m[5] * p.y + m[9] * p.z,
          m[2] * p.x + m[6] * p.y + m[10] * p.z};
}

float SignedAngle(const Vec3& a, const Vec3& u, Vec3 v) {
  v.Normalise();
  const Vec3 w = a.Cross(v);
  const Vec3 y = u.Cross(v);
  const float lengths = w.Length() * y.Length();
  if (!(lengths > 0.0f)) return 0.0f;
  // Rounding can push the cosine of (anti)parallel vectors just past 1 or -1.
  const float cosine = std::clamp(w.Dot(y) / lengths, -1.0f, 1.0f);
  float theta = cosine < 1.0f ? std::acos(cosine) : 0.0f;
  const Vec3 z = w.Cross(y).Normalised();
  if ((z - v).Length() > 1.0f) theta = -theta;
  return theta;
}

}  // namespace tessmol
