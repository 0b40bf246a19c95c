// SPDX-License-Identifier: Apache-2.0
// Geometry helpers and residuals of the constrained smoother, against hand-worked values.
#include <cmath>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include "nav2_constrained_smoother/smoother_cost_function.hpp"
#include "nav2_constrained_smoother/utils.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace {

using nav2_constrained_smoother::arcCenter;
using nav2_constrained_smoother::SmootherCostFunction;
using nav2_constrained_smoother::SmootherParams;
using nav2_constrained_smoother::tangentDir;
using Interpolator = ceres::BiCubicInterpolator<ceres::Grid2D<u_char>>;

TEST(ConstrainedSmootherGeometry, ArcCenterIsEquidistantFromThreePointsOnACircle) {
  const Eigen::Vector2d centre(1.5, -0.7);
  const double radius = 0.8;
  auto on_circle = [&](double angle) {
    return Eigen::Vector2d(centre.x() + radius * std::cos(angle),
                           centre.y() + radius * std::sin(angle));
  };
  for (double start : {0.0, 1.0, 2.5, -2.0}) {
    const Eigen::Vector2d found =
        arcCenter<double>(on_circle(start), on_circle(start + 0.3), on_circle(start + 0.7), false);
    EXPECT_NEAR(found.x(), centre.x(), 1e-9);
    EXPECT_NEAR(found.y(), centre.y(), 1e-9);
  }
}

TEST(ConstrainedSmootherGeometry, CollinearPointsHaveNoArcCenter) {
  const Eigen::Vector2d found = arcCenter<double>(Eigen::Vector2d(0, 0), Eigen::Vector2d(0.1, 0.1),
                                                  Eigen::Vector2d(0.2, 0.2), false);
  EXPECT_TRUE(std::isinf(found.x()));
  EXPECT_TRUE(std::isinf(found.y()));
}

TEST(ConstrainedSmootherGeometry, CuspMirrorsTheNextPointBeforeFittingTheCircle) {
  // Driving in to (1, 0), then reversing out to (1 - s, t): mirrored, the next point is
  // (1 + s, -t), so the circle is the one through (0, 0), (1, 0), (1 + s, -t).
  const Eigen::Vector2d prev(0, 0), pt(1, 0), next(0.5, 0.2), mirrored(1.5, -0.2);
  const Eigen::Vector2d at_cusp = arcCenter<double>(prev, pt, next, true);
  const Eigen::Vector2d plain = arcCenter<double>(prev, pt, mirrored, false);
  EXPECT_NEAR(at_cusp.x(), plain.x(), 1e-12);
  EXPECT_NEAR(at_cusp.y(), plain.y(), 1e-12);
}

TEST(ConstrainedSmootherGeometry, TangentIsPerpendicularToTheRadius) {
  const Eigen::Vector2d prev(1, 0), pt(std::cos(0.4), std::sin(0.4)),
      next(std::cos(0.8), std::sin(0.8));
  const Eigen::Vector2d tangent = tangentDir<double>(prev, pt, next, false);
  EXPECT_NEAR(tangent.normalized().dot(pt), 0.0, 1e-9);
  EXPECT_GT(tangent.norm(), 0.0);
}

TEST(ConstrainedSmootherGeometry, TangentOnAStraightStretchFollowsTheChord) {
  const Eigen::Vector2d tangent = tangentDir<double>(Eigen::Vector2d(0, 0), Eigen::Vector2d(1, 1),
                                                     Eigen::Vector2d(2, 2), false);
  EXPECT_NEAR(tangent.normalized().x(), std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(tangent.normalized().y(), std::sqrt(0.5), 1e-12);
}

TEST(ConstrainedSmootherGeometry, TangentOfAPathThatTurnsBackIsNotZero) {
  // A cusp whose mirrored next point lands on the previous point: the chord is empty.
  const Eigen::Vector2d tangent =
      tangentDir<double>(Eigen::Vector2d(0, 0), Eigen::Vector2d(1, 0), Eigen::Vector2d(2, 0), true);
  EXPECT_GT(tangent.norm(), 0.0);
  EXPECT_NEAR(tangent.x(), 0.0, 1e-12);
}

/// Residuals of one block over a uniform costmap, evaluated on plain doubles.
class ResidualFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    costmap_ = std::make_unique<nav2_costmap_2d::Costmap2D>(40, 40, 0.05, 0.0, 0.0, 100);
    grid_ = std::make_unique<ceres::Grid2D<u_char>>(costmap_->getCharMap(), 0, 40, 0, 40);
    interpolator_ = std::make_shared<Interpolator>(*grid_);
  }

  Eigen::Vector4d residuals(const SmootherParams& params, double ratio, double costmap_weight,
                            const Eigen::Vector2d& prev, const Eigen::Vector2d& pt,
                            const Eigen::Vector2d& next, const Eigen::Vector2d& original) {
    SmootherCostFunction function(original, ratio, false, costmap_.get(), interpolator_, params,
                                  costmap_weight);
    Eigen::Vector4d r;
    EXPECT_TRUE(function(pt.data(), next.data(), prev.data(), r.data()));
    return r;
  }

  std::unique_ptr<nav2_costmap_2d::Costmap2D> costmap_;
  std::unique_ptr<ceres::Grid2D<u_char>> grid_;
  std::shared_ptr<Interpolator> interpolator_;
};

TEST_F(ResidualFixture, SmoothnessIsWeightTimesSquaredSecondDifference) {
  SmootherParams params;
  params.smooth_weight = 3.0;
  const Eigen::Vector2d prev(0.5, 0.5), next(0.7, 0.5), original(0.6, 0.5);
  EXPECT_NEAR(residuals(params, 1.0, 0.0, prev, original, next, original)[0], 0.0, 1e-15);
  // Middle point lifted by d: second difference 2d, residual w (2d)^2.
  const double d = 0.02;
  const Eigen::Vector2d lifted(0.6, 0.5 + d);
  EXPECT_NEAR(residuals(params, 1.0, 0.0, prev, lifted, next, original)[0], 3.0 * 4 * d * d, 1e-12);
}

TEST_F(ResidualFixture, UnevenPlannedSpacingOfAStraightLineCostsNothing) {
  SmootherParams params;
  params.smooth_weight = 3.0;
  // Previous segment 0.1, next segment 0.3: the ratio 1/3 makes the straight line free.
  const Eigen::Vector2d prev(0.0, 0.5), pt(0.1, 0.5), next(0.4, 0.5);
  EXPECT_NEAR(residuals(params, 0.1 / 0.3, 0.0, prev, pt, next, pt)[0], 0.0, 1e-15);
}

TEST_F(ResidualFixture, CurvatureAboveTheLimitIsPenalisedBelowItIsFree) {
  SmootherParams params;
  params.curvature_weight = 2.0;
  params.max_curvature = 1.0 / 0.4;
  auto on_circle = [](double radius, double angle) {
    return Eigen::Vector2d(1 + radius * std::cos(angle), 1 + radius * std::sin(angle));
  };
  const double tight = 0.2;
  const Eigen::Vector4d r_tight =
      residuals(params, 1.0, 0.0, on_circle(tight, 0.0), on_circle(tight, 0.3),
                on_circle(tight, 0.6), on_circle(tight, 0.3));
  const double excess = 1.0 / tight - 1.0 / 0.4;
  EXPECT_NEAR(r_tight[1], 2.0 * excess * excess, 1e-6);

  const double wide = 1.0;
  const Eigen::Vector4d r_wide =
      residuals(params, 1.0, 0.0, on_circle(wide, 0.0), on_circle(wide, 0.1), on_circle(wide, 0.2),
                on_circle(wide, 0.1));
  EXPECT_EQ(r_wide[1], 0.0);
}

TEST_F(ResidualFixture, DistanceIsWeightTimesSquaredDisplacement) {
  SmootherParams params;
  params.distance_weight = 5.0;
  const Eigen::Vector2d prev(0.5, 0.5), next(0.7, 0.5), original(0.6, 0.5), moved(0.63, 0.54);
  EXPECT_NEAR(residuals(params, 1.0, 0.0, prev, moved, next, original)[2], 5.0 * 0.0025, 1e-12);
}

TEST_F(ResidualFixture, CostOfAUniformCostmapIsWeightTimesSquaredCost) {
  SmootherParams params;
  const Eigen::Vector2d prev(0.5, 0.5), pt(0.6, 0.52), next(0.7, 0.5);
  EXPECT_NEAR(residuals(params, 1.0, 0.5, prev, pt, next, pt)[3], 0.5 * 100.0 * 100.0, 1e-6);
}

TEST_F(ResidualFixture, CheckPointsWeighTheCostsAtTheirRotatedPositions) {
  // Left half of the map (x < 1 m) costs 200, right half 0. Driving along +y at x = 0.95, a
  // check point 0.1 m to the robot's right lies at x = 1.05 (free), one to its left at 0.85.
  for (unsigned int y = 0; y < 40; ++y) {
    for (unsigned int x = 0; x < 40; ++x) {
      costmap_->setCost(x, y, x < 20 ? 200 : 0);
    }
  }
  SmootherParams params;
  const Eigen::Vector2d prev(0.95, 0.8), pt(0.95, 0.9), next(0.95, 1.0);
  params.cost_check_points = {0.0, -0.2, 1.0};
  EXPECT_NEAR(residuals(params, 1.0, 0.5, prev, pt, next, pt)[3], 0.0, 1e-9);
  params.cost_check_points = {0.0, 0.2, 1.0};
  EXPECT_NEAR(residuals(params, 1.0, 0.5, prev, pt, next, pt)[3], 0.5 * 200.0 * 200.0, 1e-6);
}

TEST_F(ResidualFixture, PointsFarOffTheMapReadTheBorderCost) {
  costmap_->setCost(39, 39, 77);
  SmootherParams params;
  const Eigen::Vector2d far(1e12, 1e12), nan(std::numeric_limits<double>::quiet_NaN(), 0.0);
  EXPECT_NEAR(residuals(params, 1.0, 1.0, far, far, far, far)[3], 77.0 * 77.0, 1e-6);
  const Eigen::Vector4d r = residuals(params, 1.0, 1.0, nan, nan, nan, nan);
  EXPECT_TRUE(std::isfinite(r[3]));
}

}  // namespace
