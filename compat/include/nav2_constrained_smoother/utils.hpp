// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <limits>

#include "Eigen/Core"
#include "ceres/ceres.h"

// Nav2 exposes this tolerance as a macro, and callers of the header may rely on it being one.
#define EPSILON 0.0001

// Ceres renamed its infinity test in 2.1; the old spelling still exists there but is deprecated.
#ifdef USE_OLD_CERES_API
#define CERES_ISINF(x) ceres::IsInfinite(x)
#else
#define CERES_ISINF(x) ceres::isinf(x)
#endif

namespace nav2_constrained_smoother {

/**
 * Centre of the circle through three consecutive path points. At a cusp the motion reverses at
 * pt, so the next point is mirrored through pt to measure the curvature of the turn itself.
 * @return the centre, or (+inf, +inf) when the points are (nearly) collinear
 */
template <typename T>
inline Eigen::Matrix<T, 2, 1> arcCenter(Eigen::Matrix<T, 2, 1> pt_prev, Eigen::Matrix<T, 2, 1> pt,
                                        Eigen::Matrix<T, 2, 1> pt_next, bool is_cusp) {
  Eigen::Matrix<T, 2, 1> d1 = pt - pt_prev;
  Eigen::Matrix<T, 2, 1> d2 = pt_next - pt;

  if (is_cusp) {
    d2 = -d2;
    pt_next = pt + d2;
  }

  // The threshold is an area (cross product of two segments), kept as Nav2 has it so that the
  // same bends count as straight on both.
  T det = d1[0] * d2[1] - d1[1] * d2[0];
  if (ceres::abs(det) < T(1e-4)) {
    return Eigen::Matrix<T, 2, 1>(T(std::numeric_limits<double>::infinity()),
                                  T(std::numeric_limits<double>::infinity()));
  }

  // Intersection of the perpendicular bisectors of both segments.
  Eigen::Matrix<T, 2, 1> mid1 = (pt_prev + pt) / T(2);
  Eigen::Matrix<T, 2, 1> mid2 = (pt + pt_next) / T(2);
  Eigen::Matrix<T, 2, 1> n1(-d1[1], d1[0]);
  Eigen::Matrix<T, 2, 1> n2(-d2[1], d2[0]);
  T det1 = n1[0] * mid1[1] - n1[1] * mid1[0];
  T det2 = n2[0] * mid2[1] - n2[1] * mid2[0];
  return Eigen::Matrix<T, 2, 1>((det1 * n2[0] - det2 * n1[0]) / det,
                                (det1 * n2[1] - det2 * n1[1]) / det);
}

/**
 * Tangent of the path at pt: perpendicular to the radius of the circle through the three points,
 * or along the chord pt_prev -> pt_next on a straight stretch.
 * @return an unnormalised vector whose sign is arbitrary; callers orient and normalise it
 */
template <typename T>
inline Eigen::Matrix<T, 2, 1> tangentDir(Eigen::Matrix<T, 2, 1> pt_prev, Eigen::Matrix<T, 2, 1> pt,
                                         Eigen::Matrix<T, 2, 1> pt_next, bool is_cusp) {
  Eigen::Matrix<T, 2, 1> center = arcCenter(pt_prev, pt, pt_next, is_cusp);
  if (CERES_ISINF(center[0])) {
    if (is_cusp) {
      pt_next = pt + (pt - pt_next);
    }
    Eigen::Matrix<T, 2, 1> chord = pt_next - pt_prev;
    if (chord[0] == T(0) && chord[1] == T(0)) {
      // The path returns to where it came from: fall back to the normal of the first segment.
      Eigen::Matrix<T, 2, 1> d1 = pt - pt_prev;
      return Eigen::Matrix<T, 2, 1>(d1[1], -d1[0]);
    }
    return chord;
  }
  return Eigen::Matrix<T, 2, 1>(center[1] - pt[1], pt[0] - center[0]);
}

}  // namespace nav2_constrained_smoother
