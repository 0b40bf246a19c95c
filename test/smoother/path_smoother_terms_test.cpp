// SPDX-License-Identifier: Apache-2.0
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orvik_nav2_planner/path_smoother.hpp"
#include "smoother/path_smoother_fixtures.hpp"

namespace {

using orvik_test::gridMapFromAscii;
using orvik_test::openMap;
using orvik_test::pathThrough;
using orvik_test::poseAt;
using orvik_test::smootherNode;
using orvik_test::twist;

constexpr double kResolution = 0.05;

/// 20 x 20 cells with a wall along the left column (cell x = 0).
std::vector<std::string> leftWallRows() {
  return std::vector<std::string>(20, "#" + std::string(19, '.'));
}

/// World centre of a cell of a map at the origin.
Vec2d cellCentre(int x, int y) {
  return Vec2d((x + 0.5) * kResolution, (y + 0.5) * kResolution);
}

double turnAngle(const Vec2d& previous, const Vec2d& point, const Vec2d& next) {
  const Vec2d in = point - previous;
  const Vec2d out = next - point;
  return std::abs(std::atan2(in.CrossProd(out), in.InnerProd(out)));
}

// ---------------------------------------------------------------- map queries

TEST(PathSmootherGrid, CellTestCoversExactlyTheMap) {
  PathSmoother smoother(smootherNode(), openMap(20, 10));
  EXPECT_TRUE(smoother.isOnGrid(0, 0));
  EXPECT_TRUE(smoother.isOnGrid(19, 9));
  EXPECT_FALSE(smoother.isOnGrid(20, 0));
  EXPECT_FALSE(smoother.isOnGrid(0, 10));
  EXPECT_FALSE(smoother.isOnGrid(-1, 5));
  EXPECT_FALSE(smoother.isOnGrid(5, -1));
}

TEST(PathSmootherGrid, WorldTestCoversExactlyTheMap) {
  PathSmoother smoother(smootherNode(), openMap(20, 10));
  EXPECT_TRUE(smoother.isOnGrid(Vec2d(0.0, 0.0)));
  EXPECT_TRUE(smoother.isOnGrid(Vec2d(0.999, 0.499)));
  EXPECT_FALSE(smoother.isOnGrid(Vec2d(1.0, 0.2)));
  EXPECT_FALSE(smoother.isOnGrid(Vec2d(-0.001, 0.2)));
  EXPECT_FALSE(smoother.isOnGrid(Vec2d(0.2, 0.5)));
  EXPECT_FALSE(smoother.isOnGrid(Vec2d(std::nan(""), 0.2)));
}

// ---------------------------------------------------------------- obstacle term

TEST(PathSmootherObstacleTerm, NearWallPullsTowardsItWithHandWorkedStrength) {
  PathSmoother smoother(smootherNode(), gridMapFromAscii(leftWallRows()));
  // Cell (5, 10) is 5 cells = 0.25 m from the wall; the distance grows by 0.05 m per cell to
  // the right in all three rows, so the normalised gradient is (1, 0).
  const Vec2d term = smoother.obstacleTerm(cellCentre(5, 10));
  EXPECT_NEAR(term.x(), -0.5 * std::exp(-0.25 / 0.6), 1e-6);
  EXPECT_NEAR(term.y(), 0.0, 1e-9);
  // Next to the wall the pull is stronger.
  const Vec2d closer = smoother.obstacleTerm(cellCentre(1, 10));
  EXPECT_NEAR(closer.x(), -0.5 * std::exp(-0.05 / 0.6), 1e-6);
}

TEST(PathSmootherObstacleTerm, DescentPointsAwayFromAnIsolatedObstacle) {
  std::vector<std::string> rows(21, std::string(21, '.'));
  rows[10][10] = '#';  // cell (10, 10)
  PathSmoother smoother(smootherNode(), gridMapFromAscii(rows));
  const Vec2d obstacle = cellCentre(10, 10);
  int checked = 0;
  for (int y = 1; y < 20; ++y) {
    for (int x = 1; x < 20; ++x) {
      const Vec2d point = cellCentre(x, y);
      const Vec2d away = point - obstacle;
      const Vec2d descent = -smoother.obstacleTerm(point);
      if (away.Length() > 0.6 + 1e-9 || (x == 10 && y == 10)) {
        EXPECT_EQ(descent.Length(), 0.0) << x << "," << y;
        continue;
      }
      // Cells on an axis through the obstacle have one symmetric direction and no gradient
      // across it; all others must point away within the 3 x 3 stencil's accuracy.
      ASSERT_GT(descent.Length(), 0.0) << x << "," << y;
      EXPECT_GT(descent.InnerProd(away) / (descent.Length() * away.Length()), 0.9) << x << "," << y;
      EXPECT_NEAR(descent.Length(), 0.5 * std::exp(-away.Length() / 0.6), 1e-6);
      ++checked;
    }
  }
  EXPECT_GT(checked, 100);
}

TEST(PathSmootherObstacleTerm, NothingBeyondReachOffMapOrAtTheBorder) {
  PathSmoother smoother(smootherNode(), gridMapFromAscii(leftWallRows()));
  EXPECT_EQ(smoother.obstacleTerm(cellCentre(13, 10)).Length(), 0.0);  // 0.65 m > 0.6 m
  EXPECT_GT(smoother.obstacleTerm(cellCentre(12, 10)).Length(), 0.0);  // 0.60 m
  EXPECT_EQ(smoother.obstacleTerm(Vec2d(-0.1, 0.5)).Length(), 0.0);
  EXPECT_EQ(smoother.obstacleTerm(Vec2d(0.5, 1.5)).Length(), 0.0);
  // The bottom row lacks neighbours below, so no gradient is taken there.
  EXPECT_EQ(smoother.obstacleTerm(cellCentre(5, 0)).Length(), 0.0);
  EXPECT_GT(smoother.obstacleTerm(cellCentre(5, 1)).Length(), 0.0);
  // The wall cells themselves lie on the left border.
  EXPECT_EQ(smoother.obstacleTerm(cellCentre(0, 10)).Length(), 0.0);
}

TEST(PathSmootherObstacleTerm, ReachIsShorterInsidePriorityPassages) {
  std::vector<int> labels(20 * 20, 0);
  for (int y = 9; y <= 11; ++y) {
    for (int x = 4; x <= 8; ++x) {
      labels[static_cast<size_t>(y * 20 + x)] = 1;
    }
  }
  PathSmoother smoother(smootherNode(), gridMapFromAscii(leftWallRows(), {}, kResolution, labels));
  // 0.35 m from the wall: within 0.6 m outside the passage, beyond 0.6 * 0.5 m inside.
  EXPECT_GT(smoother.obstacleTerm(cellCentre(7, 5)).Length(), 0.0);
  EXPECT_EQ(smoother.obstacleTerm(cellCentre(7, 10)).Length(), 0.0);
  // 0.25 m: within both reaches, and exp(-d / D) decays faster with the shorter reach.
  EXPECT_NEAR(smoother.obstacleTerm(cellCentre(5, 5)).Length(), 0.5 * std::exp(-0.25 / 0.6), 1e-6);
  EXPECT_NEAR(smoother.obstacleTerm(cellCentre(5, 10)).Length(), 0.5 * std::exp(-0.25 / 0.3), 1e-6);
}

// ---------------------------------------------------------------- smoothness term

TEST(PathSmootherSmoothnessTerm, StraightEvenRunGivesNoForce) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  const Vec2d term = smoother.smoothnessTerm(Vec2d(1, 1), Vec2d(1.3, 1.4), Vec2d(1.6, 1.8));
  EXPECT_NEAR(term.Length(), 0.0, 1e-12);
}

TEST(PathSmootherSmoothnessTerm, DescentPullsTowardsTheNeighboursMidpoint) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  // prev - 2 p + next = (0, -2); times -4 and the weight 1.5.
  const Vec2d term = smoother.smoothnessTerm(Vec2d(0, 0), Vec2d(1, 1), Vec2d(2, 0));
  EXPECT_NEAR(term.x(), 0.0, 1e-12);
  EXPECT_NEAR(term.y(), 12.0, 1e-6);
  // The descent direction (-term) points from (1, 1) to the midpoint (1, 0).
  EXPECT_GT((-term).InnerProd(Vec2d(1, 0) - Vec2d(1, 1)), 0.0);
}

// ---------------------------------------------------------------- curvature term

TEST(PathSmootherCurvatureTerm, StraightAndDrivableBendsGiveNoForce) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  EXPECT_EQ(smoother.curvatureTerm(Vec2d(1, 1), Vec2d(1.1, 1), Vec2d(1.2, 1)).Length(), 0.0);
  // 0.5 rad over a 1 m segment: 0.5 <= 1 / 1.1.
  const Vec2d gentle_next = Vec2d(2, 1) + Vec2d::CreateUnitVec2d(0.5);
  EXPECT_EQ(smoother.curvatureTerm(Vec2d(1, 1), Vec2d(2, 1), gentle_next).Length(), 0.0);
  // The same angle over 0.1 m is 5 rad/m: too sharp.
  const Vec2d sharp_next = Vec2d(1.1, 1) + 0.1 * Vec2d::CreateUnitVec2d(0.5);
  EXPECT_GT(smoother.curvatureTerm(Vec2d(1, 1), Vec2d(1.1, 1), sharp_next).Length(), 0.0);
}

TEST(PathSmootherCurvatureTerm, DegenerateSegmentsGiveNoForce) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  EXPECT_EQ(smoother.curvatureTerm(Vec2d(1, 1), Vec2d(1, 1), Vec2d(1.1, 1.3)).Length(), 0.0);
  EXPECT_EQ(smoother.curvatureTerm(Vec2d(1, 1), Vec2d(1.1, 1), Vec2d(1.1, 1)).Length(), 0.0);
}

TEST(PathSmootherCurvatureTerm, NonFiniteResultsBecomeNoForce) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  // A full reversal divides by sin(pi) = 0.
  const Vec2d reversal = smoother.curvatureTerm(Vec2d(1, 1), Vec2d(2, 1), Vec2d(1, 1));
  EXPECT_EQ(reversal.x(), 0.0);
  EXPECT_EQ(reversal.y(), 0.0);
  // A next point at the world origin has no direction to take an orthogonal part against.
  const Vec2d at_origin = smoother.curvatureTerm(Vec2d(0.1, 0.1), Vec2d(0.1, 0), Vec2d(0, 0));
  EXPECT_EQ(at_origin.x(), 0.0);
  EXPECT_EQ(at_origin.y(), 0.0);
}

TEST(PathSmootherCurvatureTerm, RightAngleMatchesHandWorkedValue) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  // prev (0.5, 0.5), p (1.5, 0.5), next (1.5, 1.5): l1 = l2 = 1, phi = pi/2, u = 1.
  // P1 = p.ort(-next) = (0.5, -0.5); P2 = -next.ort(p) = (0.3, -0.9); s = pi/2.
  // ki = (-0.8, 1.4) - s, kprev = (0.3, -0.9) - s, knext = (0.5, -0.5);
  // g = (-1.37810, -0.82810), |g| > 1 so g / |g|, times the weight 0.05.
  const Vec2d term = smoother.curvatureTerm(Vec2d(0.5, 0.5), Vec2d(1.5, 0.5), Vec2d(1.5, 1.5));
  const double s = 3.14159265358979323846 / 2.0;
  const Vec2d g(0.25 * (0.3 - s) + 0.5 * (-0.8 - s) + 0.25 * 0.5,
                0.25 * (-0.9 - s) + 0.5 * (1.4 - s) + 0.25 * -0.5);
  EXPECT_NEAR(term.x(), 0.05 * g.x() / g.Length(), 1e-6);
  EXPECT_NEAR(term.y(), 0.05 * g.y() / g.Length(), 1e-6);
  EXPECT_NEAR(term.Length(), 0.05, 1e-6);
}

TEST(PathSmootherCurvatureTerm, DescentEasesASharpLeftTurnHeadingEast) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  const Vec2d prev(1.0, 2.0);
  const Vec2d point(1.1, 2.0);
  const Vec2d next(1.2, 2.1);
  const Vec2d term = smoother.curvatureTerm(prev, point, next);
  ASSERT_GT(term.Length(), 0.0);
  EXPECT_LE(term.Length(), 0.05 + 1e-9);
  const Vec2d moved = point - 0.01 * term / term.Length();
  EXPECT_LT(turnAngle(prev, moved, next), turnAngle(prev, point, next));
}

TEST(PathSmootherCurvatureTerm, ForceDependsOnWhereTheBendLies) {
  // The orthogonal parts are taken of the positions, not of the segments: the same bend
  // elsewhere on the map gets a different force. Tuned weights rely on this.
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  const Vec2d shift(3.0, -1.0);
  const Vec2d here = smoother.curvatureTerm(Vec2d(1.0, 2.0), Vec2d(1.1, 2.0), Vec2d(1.2, 2.1));
  const Vec2d there = smoother.curvatureTerm(Vec2d(1.0, 2.0) + shift, Vec2d(1.1, 2.0) + shift,
                                             Vec2d(1.2, 2.1) + shift);
  EXPECT_GT(here.DistanceTo(there), 1e-3);
}

// ---------------------------------------------------------------- predicted term

class PredictedTermTest : public ::testing::Test {
 protected:
  PredictedTermTest() : smoother(smootherNode(), openMap(100, 100)) {
    smoother.config(0.6, 0.5, 0.05, 1.5, 0.5, 100.0, 0.25);
    smoother.setOriginalPath(pathThrough({{0, 0}, {1, 0}, {2, 0}}));
    // A standing robot at the point of index 4: predicted path (1, 0) twice.
    smoother.setCurrentData(poseAt(1.0, 0.0), twist(0.0, 0.0));
    smoother.getPathSmoothIndex();
  }
  PathSmoother smoother;
};

TEST_F(PredictedTermTest, RangeFollowsThePrediction) {
  ASSERT_EQ(smoother.getSmoothStartIndex(), 4u);
  ASSERT_EQ(smoother.getSmoothEndIndex(), 6u);
  const Vec2d off(1.0, 0.3);
  EXPECT_EQ(smoother.predictedTerm(off, 3).Length(), 0.0);
  EXPECT_GT(smoother.predictedTerm(off, 4).Length(), 0.0);
  EXPECT_GT(smoother.predictedTerm(off, 5).Length(), 0.0);
  // Index 6 is the end of the range but past the two predicted points.
  EXPECT_EQ(smoother.predictedTerm(off, 6).Length(), 0.0);
}

TEST_F(PredictedTermTest, PullIsCappedAndFadesAlongThePrediction) {
  // 0.5 * (0, 0.3) / 0.3 = (0, 0.5), capped at 0.2.
  const Vec2d first = smoother.predictedTerm(Vec2d(1.0, 0.3), 4);
  EXPECT_NEAR(first.x(), 0.0, 1e-9);
  EXPECT_NEAR(first.y(), 0.2, 1e-6);
  const Vec2d second = smoother.predictedTerm(Vec2d(1.0, 0.3), 5);
  EXPECT_NEAR(second.y(), 0.2 * std::exp(-0.1), 1e-6);
  // The descent (-term) points from the point back to the prediction.
  EXPECT_LT((-first).y(), 0.0);
}

TEST_F(PredictedTermTest, CloseToThePredictionThePullShrinks) {
  smoother.config(0.6, 0.5, 0.05, 1.5, 0.1, 100.0, 0.25);
  // Closer than 0.1 m the divisor stays 0.1: 0.1 * (0.03, 0.04) / 0.1.
  const Vec2d near = smoother.predictedTerm(Vec2d(1.03, 0.04), 4);
  EXPECT_NEAR(near.x(), 0.03, 1e-6);
  EXPECT_NEAR(near.y(), 0.04, 1e-6);
  // Farther away it is the weight along the unit direction: 0.1 * (0.6, 0.8).
  const Vec2d far = smoother.predictedTerm(Vec2d(1.6, 0.8), 4);
  EXPECT_NEAR(far.x(), 0.06, 1e-6);
  EXPECT_NEAR(far.y(), 0.08, 1e-6);
}

TEST(PathSmootherPredictedTerm, NoPredictionNoPull) {
  PathSmoother smoother(smootherNode(), openMap(100, 100));
  smoother.setOriginalPath(pathThrough({{0, 0}, {1, 0}, {2, 0}}));
  smoother.getPathSmoothIndex();
  EXPECT_EQ(smoother.predictedTerm(Vec2d(1.0, 0.5), 0).Length(), 0.0);
  EXPECT_EQ(smoother.predictedTerm(Vec2d(1.0, 0.5), 3).Length(), 0.0);
}

// ---------------------------------------------------------------- gradient limit

TEST(PathSmootherGradientLimit, LongGradientsAreClippedToHalfAMetre) {
  PathSmoother smoother(smootherNode(), openMap(10, 10));
  Vec2d long_one(3.0, 4.0);
  smoother.gradientLimit(long_one);
  EXPECT_NEAR(long_one.x(), 0.3, 1e-6);
  EXPECT_NEAR(long_one.y(), 0.4, 1e-6);
  Vec2d short_one(0.27, 0.36);
  smoother.gradientLimit(short_one);
  EXPECT_EQ(short_one.x(), 0.27);
  EXPECT_EQ(short_one.y(), 0.36);
  Vec2d exact(0.0, -0.5);
  smoother.gradientLimit(exact);
  EXPECT_EQ(exact.y(), -0.5);
}

}  // namespace
