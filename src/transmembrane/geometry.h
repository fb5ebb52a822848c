// Small vector and matrix types for building ideal helices, in 32-bit floats.
#pragma once

#include <array>
#include <cmath>

namespace tessmol {

struct Vec3 {
  float x = 0.0f, y = 0.0f, z = 0.0f;

  Vec3 operator-(const Vec3& b) const { return {x - b.x, y - b.y, z - b.z}; }
  Vec3 operator-() const { return {-x, -y, -z}; }
  Vec3& operator+=(const Vec3& b) {
    x += b.x;
    y += b.y;
    z += b.z;
    return *this;
  }
  Vec3& operator*=(float s) {
    x *= s;
    y *= s;
    z *= s;
    return *this;
  }
  float Dot(const Vec3& b) const { return x * b.x + y * b.y + z * b.z; }
  Vec3 Cross(const Vec3& b) const { return {y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x}; }
  float LengthSquared() const { return x * x + y * y + z * z; }
  float Length() const { return std::sqrt(LengthSquared()); }
  // Divides by the length when it is greater than 0; a zero vector stays zero.
  void Normalise() {
    const float length = Length();
    if (length > 0.0f) {
      x /= length;
      y /= length;
      z /= length;
    }
  }
  Vec3 Normalised() const {
    Vec3 v = *this;
    v.Normalise();
    return v;
  }
};

inline Vec3 operator+(Vec3 a, const Vec3& b) {
  return a += b;
}
inline Vec3 operator*(Vec3 a, float s) {
  return a *= s;
}

inline constexpr float kDegrees = 0.017453292f;  // radians per degree

// A 4 x 4 matrix stored by columns: element (row r, column c) is m[4c + r], so m[12],
// m[13] and m[14] hold the translation.
struct Mat4 {
  std::array<float, 16> m{};

  static Mat4 Identity();
  static Mat4 Translation(const Vec3& t);
  // Right-handed rotation by `radians` about an axis through the origin. An axis whose
  // squared length lies outside [0.9999, 1.0001] is scaled to unit length first; a zero
  // axis stays zero.
  static Mat4 Rotation(Vec3 axis, float radians);

  Mat4 operator*(const Mat4& b) const;       // (A B) p applies B first
  Vec3 Apply(const Vec3& p) const;           // a point: rotation and translation
  Vec3 ApplyDirection(const Vec3& p) const;  // a direction: rotation only
};

// The angle in radians by which A must be turned about V to fall into the half-plane of U;
// negative when the turn is clockwise seen along V. Degenerate vectors give 0.
float SignedAngle(const Vec3& a, const Vec3& u, Vec3 v);

}  // namespace tessmol
