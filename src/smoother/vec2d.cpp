// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/vec2d.hpp"

#include <cmath>

namespace {
// Below this length a vector has no usable direction; Normalize leaves it alone.
constexpr double kMathEpsilon = 1e-10;
}  // namespace

Vec2d Vec2d::CreateUnitVec2d(double angle) {
  return Vec2d(std::cos(angle), std::sin(angle));
}

double Vec2d::Length() const {
  return std::hypot(x_, y_);
}

double Vec2d::LengthSquare() const {
  return x_ * x_ + y_ * y_;
}

double Vec2d::Angle() const {
  // Adding +0.0 turns a negative zero y into a positive one, so (-1, -0.0) answers pi rather
  // than -pi and the result stays in (-pi, pi].
  return std::atan2(y_ + 0.0, x_);
}

void Vec2d::Normalize() {
  const double length = Length();
  if (length > kMathEpsilon) {
    x_ /= length;
    y_ /= length;
  }
}

double Vec2d::DistanceTo(const Vec2d& other) const {
  return std::hypot(x_ - other.x_, y_ - other.y_);
}

double Vec2d::DistanceSquareTo(const Vec2d& other) const {
  const double dx = x_ - other.x_;
  const double dy = y_ - other.y_;
  return dx * dx + dy * dy;
}

double Vec2d::CrossProd(const Vec2d& other) const {
  return x_ * other.y_ - y_ * other.x_;
}

double Vec2d::InnerProd(const Vec2d& other) const {
  return x_ * other.x_ + y_ * other.y_;
}

Vec2d Vec2d::rotate(double angle) const {
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  return Vec2d(x_ * c - y_ * s, x_ * s + y_ * c);
}

void Vec2d::SelfRotate(double angle) {
  *this = rotate(angle);
}

Vec2d Vec2d::ort(Vec2d v) const {
  return *this - v * (InnerProd(v) / v.InnerProd(v));
}

Vec2d Vec2d::operator+(const Vec2d& other) const {
  return Vec2d(x_ + other.x_, y_ + other.y_);
}

Vec2d Vec2d::operator-(const Vec2d& other) const {
  return Vec2d(x_ - other.x_, y_ - other.y_);
}

Vec2d Vec2d::operator-() const {
  return Vec2d(-x_, -y_);
}

Vec2d Vec2d::operator*(double ratio) const {
  return Vec2d(x_ * ratio, y_ * ratio);
}

Vec2d Vec2d::operator/(double ratio) const {
  return Vec2d(x_ / ratio, y_ / ratio);
}

Vec2d& Vec2d::operator+=(const Vec2d& other) {
  x_ += other.x_;
  y_ += other.y_;
  return *this;
}

Vec2d& Vec2d::operator-=(const Vec2d& other) {
  x_ -= other.x_;
  y_ -= other.y_;
  return *this;
}

Vec2d& Vec2d::operator*=(double ratio) {
  x_ *= ratio;
  y_ *= ratio;
  return *this;
}

Vec2d& Vec2d::operator/=(double ratio) {
  x_ /= ratio;
  y_ /= ratio;
  return *this;
}

bool Vec2d::operator==(const Vec2d& other) const {
  return std::abs(x_ - other.x_) < kMathEpsilon && std::abs(y_ - other.y_) < kMathEpsilon;
}

Vec2d operator*(double ratio, const Vec2d& vec) {
  return vec * ratio;
}
