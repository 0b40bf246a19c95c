// SPDX-License-Identifier: Apache-2.0
#pragma once

/// A two-dimensional vector in double precision: the value every gradient term of the path
/// smoother takes and returns. Plain value type without invariants.
class Vec2d {
 public:
  /// The zero vector.
  constexpr Vec2d() noexcept = default;
  /// The vector (x, y).
  constexpr Vec2d(double x, double y) noexcept : x_(x), y_(y) {}

  /// Returns the unit vector (cos angle, sin angle).
  static Vec2d CreateUnitVec2d(double angle);

  /// Returns the x component.
  constexpr double x() const noexcept { return x_; }
  /// Returns the y component.
  constexpr double y() const noexcept { return y_; }
  /// Replaces the x component.
  void set_x(double x) noexcept { x_ = x; }
  /// Replaces the y component.
  void set_y(double y) noexcept { y_ = y; }

  /// Returns the Euclidean length.
  double Length() const;
  /// Returns the squared length.
  double LengthSquare() const;
  /// Returns the direction atan2(y, x) in (-pi, pi]; 0 for the zero vector.
  double Angle() const;
  /// Scales the vector to unit length in place; a vector no longer than 1e-10 is left as is.
  void Normalize();
  /// Returns the distance between the two points.
  double DistanceTo(const Vec2d& other) const;
  /// Returns the squared distance between the two points.
  double DistanceSquareTo(const Vec2d& other) const;
  /// Returns the z component of the cross product: x * other.y - y * other.x.
  double CrossProd(const Vec2d& other) const;
  /// Returns the dot product.
  double InnerProd(const Vec2d& other) const;
  /// Returns the vector rotated counter-clockwise by `angle` radians.
  Vec2d rotate(double angle) const;
  /// Rotates the vector counter-clockwise by `angle` radians in place.
  void SelfRotate(double angle);
  /// Returns the part of this vector orthogonal to `v`. Unguarded: a zero `v` gives
  /// non-finite components.
  Vec2d ort(Vec2d v) const;

  /// Returns the component-wise sum.
  Vec2d operator+(const Vec2d& other) const;
  /// Returns the component-wise difference.
  Vec2d operator-(const Vec2d& other) const;
  /// Returns the opposite vector.
  Vec2d operator-() const;
  /// Returns the vector scaled by `ratio`.
  Vec2d operator*(double ratio) const;
  /// Returns the vector divided by `ratio` (no guard against zero).
  Vec2d operator/(double ratio) const;
  /// Adds `other` in place; returns this vector.
  Vec2d& operator+=(const Vec2d& other);
  /// Subtracts `other` in place; returns this vector.
  Vec2d& operator-=(const Vec2d& other);
  /// Scales in place; returns this vector.
  Vec2d& operator*=(double ratio);
  /// Divides in place; returns this vector.
  Vec2d& operator/=(double ratio);
  /// Returns true when both components differ by less than 1e-10.
  bool operator==(const Vec2d& other) const;

 private:
  double x_ = 0.0;
  double y_ = 0.0;
};

/// Returns `vec` scaled by `ratio`.
Vec2d operator*(double ratio, const Vec2d& vec);
