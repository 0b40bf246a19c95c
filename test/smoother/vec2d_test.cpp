// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/vec2d.hpp"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

constexpr double kPi = 3.14159265358979323846;

void expectNear(const Vec2d& actual, double x, double y, double tolerance = 1e-12) {
  EXPECT_NEAR(actual.x(), x, tolerance);
  EXPECT_NEAR(actual.y(), y, tolerance);
}

TEST(Vec2d, DefaultIsZeroAndAccessorsSetComponents) {
  Vec2d v;
  expectNear(v, 0.0, 0.0, 0.0);
  v.set_x(2.5);
  v.set_y(-1.5);
  expectNear(v, 2.5, -1.5, 0.0);
}

TEST(Vec2d, UnitVectorFollowsAngle) {
  expectNear(Vec2d::CreateUnitVec2d(0.0), 1.0, 0.0);
  expectNear(Vec2d::CreateUnitVec2d(kPi / 2), 0.0, 1.0);
  expectNear(Vec2d::CreateUnitVec2d(-3 * kPi / 4), -std::sqrt(0.5), -std::sqrt(0.5));
  for (double angle = -3.0; angle < 3.0; angle += 0.37) {
    EXPECT_NEAR(Vec2d::CreateUnitVec2d(angle).Length(), 1.0, 1e-15);
    EXPECT_NEAR(Vec2d::CreateUnitVec2d(angle).Angle(), angle, 1e-12);
  }
}

TEST(Vec2d, LengthsOfAThreeFourFiveTriangle) {
  const Vec2d v(3.0, -4.0);
  EXPECT_DOUBLE_EQ(v.Length(), 5.0);
  EXPECT_DOUBLE_EQ(v.LengthSquare(), 25.0);
  EXPECT_DOUBLE_EQ(Vec2d(1.0, 1.0).DistanceTo(Vec2d(4.0, 5.0)), 5.0);
  EXPECT_DOUBLE_EQ(Vec2d(1.0, 1.0).DistanceSquareTo(Vec2d(4.0, 5.0)), 25.0);
  // hypot keeps huge components from overflowing the squared sum.
  EXPECT_DOUBLE_EQ(Vec2d(3e200, 4e200).Length(), 5e200);
}

TEST(Vec2d, AngleCoversTheHalfOpenCircle) {
  EXPECT_EQ(Vec2d(0.0, 0.0).Angle(), 0.0);
  EXPECT_DOUBLE_EQ(Vec2d(-1.0, 0.0).Angle(), kPi);
  EXPECT_DOUBLE_EQ(Vec2d(-1.0, -0.0).Angle(), kPi);
  EXPECT_DOUBLE_EQ(Vec2d(0.0, -2.0).Angle(), -kPi / 2);
  EXPECT_DOUBLE_EQ(Vec2d(1.0, 1.0).Angle(), kPi / 4);
}

TEST(Vec2d, NormalizeScalesToUnitButLeavesTinyVectors) {
  Vec2d v(3.0, 4.0);
  v.Normalize();
  expectNear(v, 0.6, 0.8, 1e-15);

  Vec2d tiny(1e-11, 0.0);
  tiny.Normalize();
  EXPECT_EQ(tiny.x(), 1e-11);
  EXPECT_EQ(tiny.y(), 0.0);

  Vec2d zero;
  zero.Normalize();
  EXPECT_EQ(zero.x(), 0.0);
  EXPECT_EQ(zero.y(), 0.0);
}

TEST(Vec2d, CrossAndInnerProducts) {
  const Vec2d a(2.0, 3.0);
  const Vec2d b(-1.0, 4.0);
  EXPECT_DOUBLE_EQ(a.CrossProd(b), 2.0 * 4.0 - 3.0 * -1.0);
  EXPECT_DOUBLE_EQ(b.CrossProd(a), -a.CrossProd(b));
  EXPECT_DOUBLE_EQ(a.InnerProd(b), -2.0 + 12.0);
  // The cross product is positive when b lies counter-clockwise of a.
  EXPECT_GT(Vec2d(1.0, 0.0).CrossProd(Vec2d(0.0, 1.0)), 0.0);
}

TEST(Vec2d, RotateTurnsCounterClockwiseAndKeepsLength) {
  expectNear(Vec2d(1.0, 0.0).rotate(kPi / 2), 0.0, 1.0);
  expectNear(Vec2d(1.0, 2.0).rotate(kPi), -1.0, -2.0);
  Vec2d v(2.0, -1.0);
  const Vec2d rotated = v.rotate(0.7);
  v.SelfRotate(0.7);
  expectNear(v, rotated.x(), rotated.y(), 0.0);
  EXPECT_NEAR(v.Length(), std::sqrt(5.0), 1e-14);
  EXPECT_NEAR(v.Angle(), Vec2d(2.0, -1.0).Angle() + 0.7, 1e-14);
}

TEST(Vec2d, OrtKeepsThePartOrthogonalToTheArgument) {
  expectNear(Vec2d(1.0, 1.0).ort(Vec2d(1.0, 0.0)), 0.0, 1.0);
  const Vec2d v(3.0, -2.0);
  const Vec2d axis(1.0, 2.0);
  const Vec2d part = v.ort(axis);
  EXPECT_NEAR(part.InnerProd(axis), 0.0, 1e-14);
  // What is removed lies along the axis.
  EXPECT_NEAR((v - part).CrossProd(axis), 0.0, 1e-14);
  // The scale of the axis does not matter.
  expectNear(v.ort(axis * -7.5), part.x(), part.y(), 1e-14);
}

TEST(Vec2d, OrtOfAZeroVectorIsNotFinite) {
  const Vec2d part = Vec2d(1.0, 2.0).ort(Vec2d());
  EXPECT_FALSE(std::isfinite(part.x()));
  EXPECT_FALSE(std::isfinite(part.y()));
}

TEST(Vec2d, ArithmeticOperators) {
  const Vec2d a(1.5, -2.0);
  const Vec2d b(0.5, 4.0);
  expectNear(a + b, 2.0, 2.0, 0.0);
  expectNear(a - b, 1.0, -6.0, 0.0);
  expectNear(-a, -1.5, 2.0, 0.0);
  expectNear(a * 2.0, 3.0, -4.0, 0.0);
  expectNear(2.0 * a, 3.0, -4.0, 0.0);
  expectNear(a / 4.0, 0.375, -0.5, 0.0);

  Vec2d c = a;
  (c += b) += b;
  expectNear(c, 2.5, 6.0, 0.0);
  (c -= a) -= b;
  expectNear(c, 0.5, 4.0, 0.0);
  (c *= 2.0) *= 3.0;
  expectNear(c, 3.0, 24.0, 0.0);
  (c /= 3.0) /= 2.0;
  expectNear(c, 0.5, 4.0, 0.0);
}

TEST(Vec2d, EqualityToleratesLessThanOneTenBillionth) {
  EXPECT_TRUE(Vec2d(1.0, 2.0) == Vec2d(1.0, 2.0));
  EXPECT_TRUE(Vec2d(0.0, 0.0) == Vec2d(0.5e-10, -0.5e-10));
  EXPECT_FALSE(Vec2d(0.0, 0.0) == Vec2d(1e-10, 0.0));
  EXPECT_FALSE(Vec2d(0.0, 0.0) == Vec2d(0.0, -1e-10));
  EXPECT_FALSE(Vec2d(1.0, 2.0) == Vec2d(1.0, 2.001));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(Vec2d(nan, 0.0) == Vec2d(nan, 0.0));
}

}  // namespace
