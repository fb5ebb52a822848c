#include "base/vec3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

namespace tessmol {
namespace {

// The vector stands in for hand-written triples, so its results must be those of the
// component arithmetic written out, bit for bit, in float and in double alike.
template <class T>
void ExpectSameAsWrittenOut(uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<T> value(-100, 100);
  for (int i = 0; i < 10000; ++i) {
    const T ax = value(random), ay = value(random), az = value(random);
    const T bx = value(random), by = value(random), bz = value(random);
    const Vec3T<T> a{ax, ay, az}, b{bx, by, bz};
    const T dot = ax * bx + ay * by + az * bz;
    ASSERT_EQ(a.Dot(b), dot);
    const Vec3T<T> cross = a.Cross(b);
    ASSERT_EQ(cross.x, ay * bz - az * by);
    ASSERT_EQ(cross.y, az * bx - ax * bz);
    ASSERT_EQ(cross.z, ax * by - ay * bx);
    const T length = std::sqrt(ax * ax + ay * ay + az * az);
    const Vec3T<T> unit = a.Normalised();
    ASSERT_EQ(unit.x, ax / length);
    ASSERT_EQ(unit.y, ay / length);
    ASSERT_EQ(unit.z, az / length);
    const Vec3T<T> moved = a + b * T(3);
    ASSERT_EQ(moved.z, az + bz * T(3));
    ASSERT_EQ((a - b).y, ay - by);
  }
}

TEST(Vec3, OperationsEqualTheComponentArithmeticWrittenOut) {
  ExpectSameAsWrittenOut<float>(1);
  ExpectSameAsWrittenOut<double>(2);
}

TEST(Vec3, AxesByIndexAndAZeroVectorStaysZero) {
  Vec3 v{1.0f, 2.0f, 3.0f};
  v[1] = 5.0f;
  EXPECT_EQ(v, (Vec3{1.0f, 5.0f, 3.0f}));
  EXPECT_EQ(v[0], 1.0f);
  EXPECT_EQ(v[2], 3.0f);
  EXPECT_EQ(Vec3d{}.Normalised(), Vec3d{});  // no division by a zero length
}

}  // namespace
}  // namespace tessmol
