// The one small 3-vector of the code: coordinates, directions and sphere points, in float
// (Vec3) where the data are float and in double (Vec3d) where a calculation wants it. Every
// operation is written out component by component in the order x, y, z, in T alone, so
// replacing a hand-written triple by it changes no result by a bit.
#pragma once

#include <cmath>
#include <cstddef>

namespace tessmol {

template <class T>
struct Vec3T {
  T x = 0, y = 0, z = 0;

  // Component i (0 x, 1 y, 2 z), for code that runs over the axes.
  T& operator[](size_t i) { return i == 0 ? x : i == 1 ? y : z; }
  const T& operator[](size_t i) const { return i == 0 ? x : i == 1 ? y : z; }

  Vec3T operator-(const Vec3T& b) const { return {x - b.x, y - b.y, z - b.z}; }
  Vec3T operator-() const { return {-x, -y, -z}; }
  Vec3T& operator+=(const Vec3T& b) {
    x += b.x;
    y += b.y;
    z += b.z;
    return *this;
  }
  Vec3T& operator*=(T s) {
    x *= s;
    y *= s;
    z *= s;
    return *this;
  }
  bool operator==(const Vec3T&) const = default;
  T Dot(const Vec3T& b) const { return x * b.x + y * b.y + z * b.z; }
  Vec3T Cross(const Vec3T& b) const { return {y * b.z - z * b.y, z * b.x - x * b.z, x * b.y - y * b.x}; }
  T LengthSquared() const { return x * x + y * y + z * z; }
  T Length() const { return std::sqrt(LengthSquared()); }
  // Divides by the length when it is greater than 0; a zero vector stays zero.
  void Normalise() {
    const T length = Length();
    if (length > T(0)) {
      x /= length;
      y /= length;
      z /= length;
    }
  }
  Vec3T Normalised() const {
    Vec3T v = *this;
    v.Normalise();
    return v;
  }
};

template <class T>
Vec3T<T> operator+(Vec3T<T> a, const Vec3T<T>& b) {
  return a += b;
}
template <class T>
Vec3T<T> operator*(Vec3T<T> a, T s) {
  return a *= s;
}

using Vec3 = Vec3T<float>;
using Vec3d = Vec3T<double>;

}  // namespace tessmol
