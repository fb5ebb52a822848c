// The matrix type for building ideal helices, in 32-bit floats, beside the vector.
#pragma once

#include <array>
#include <cmath>

#include "base/vec3.h"

namespace tessmol {

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
