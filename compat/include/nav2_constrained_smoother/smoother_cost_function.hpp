// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <sys/types.h>

#include <memory>

#include "Eigen/Core"
#include "ceres/ceres.h"
#include "ceres/cubic_interpolation.h"
#include "nav2_constrained_smoother/options.hpp"
#include "nav2_constrained_smoother/utils.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"

namespace nav2_constrained_smoother {

/**
 * Residuals of one movable path point given its two neighbours: smoothness, curvature above the
 * limit, distance from the original position and costmap cost. Each residual is a weight times a
 * squared quantity, which Ceres squares again; tuned weights depend on exactly that form.
 */
class SmootherCostFunction {
 public:
  /**
   * @param original_pos position of the point before optimisation
   * @param next_to_last_length_ratio |previous segment| / |next segment| as planned, negated
   *        when the point is a cusp
   * @param reversing whether the robot drives backwards from this point
   * @param costmap_weight weight of the cost residual, raised inside cusp zones
   */
  SmootherCostFunction(const Eigen::Vector2d& original_pos, double next_to_last_length_ratio,
                       bool reversing, const nav2_costmap_2d::Costmap2D* costmap,
                       const std::shared_ptr<ceres::BiCubicInterpolator<ceres::Grid2D<u_char>>>&
                           costmap_interpolator,
                       const SmootherParams& params, double costmap_weight)
      : original_pos_(original_pos),
        next_to_last_length_ratio_(next_to_last_length_ratio),
        reversing_(reversing),
        params_(params),
        costmap_weight_(costmap_weight),
        costmap_origin_(costmap->getOriginX(), costmap->getOriginY()),
        costmap_resolution_(costmap->getResolution()),
        costmap_size_(costmap->getSizeInCellsX(), costmap->getSizeInCellsY()),
        costmap_interpolator_(costmap_interpolator) {}

  /// A new Ceres cost function (4 residuals, three 2D blocks) that takes ownership of this.
  ceres::CostFunction* AutoDiff() {
    return new ceres::AutoDiffCostFunction<SmootherCostFunction, 4, 2, 2, 2>(this);
  }

  void setCostmapWeight(double costmap_weight) { costmap_weight_ = costmap_weight; }

  /// The weight of the cost residual.
  double getCostmapWeight() { return costmap_weight_; }

  /// Fills the four residuals of the point pt between pt_prev and pt_next; always true.
  template <typename T>
  bool operator()(const T* const pt, const T* const pt_next, const T* const pt_prev,
                  T* pt_residual) const {
    Eigen::Map<const Eigen::Matrix<T, 2, 1>> xi(pt);
    Eigen::Map<const Eigen::Matrix<T, 2, 1>> xi_next(pt_next);
    Eigen::Map<const Eigen::Matrix<T, 2, 1>> xi_prev(pt_prev);
    Eigen::Map<Eigen::Matrix<T, 4, 1>> residual(pt_residual);
    residual.setZero();

    addSmoothingResidual<T>(params_.smooth_weight, xi, xi_next, xi_prev, residual[0]);
    addCurvatureResidual<T>(params_.curvature_weight, xi, xi_next, xi_prev, residual[1]);
    addDistanceResidual<T>(params_.distance_weight, xi, original_pos_.template cast<T>(),
                           residual[2]);
    addCostResidual<T>(costmap_weight_, xi, xi_next, xi_prev, residual[3]);
    return true;
  }

 protected:
  // The planned spacing is carried by the ratio, so an unevenly sampled straight line costs
  // nothing; at a cusp the negative ratio makes the reversal itself free.
  template <typename T>
  inline void addSmoothingResidual(const double& weight, const Eigen::Matrix<T, 2, 1>& pt,
                                   const Eigen::Matrix<T, 2, 1>& pt_next,
                                   const Eigen::Matrix<T, 2, 1>& pt_prev, T& r) const {
    const T ratio = T(next_to_last_length_ratio_);
    r += T(weight) * (pt_next * ratio - pt * (ratio + T(1)) + pt_prev).squaredNorm();
  }

  // Only curvature above the turning limit is penalised.
  template <typename T>
  inline void addCurvatureResidual(const double& weight, const Eigen::Matrix<T, 2, 1>& pt,
                                   const Eigen::Matrix<T, 2, 1>& pt_next,
                                   const Eigen::Matrix<T, 2, 1>& pt_prev, T& r) const {
    Eigen::Matrix<T, 2, 1> center = arcCenter(pt_prev, pt, pt_next, next_to_last_length_ratio_ < 0);
    if (CERES_ISINF(center[0])) {
      return;
    }
    T turning_radius = (pt - center).norm();
    T curvature_excess = T(1.0) / turning_radius - T(params_.max_curvature);
    if (curvature_excess <= T(EPSILON)) {
      return;
    }
    r += T(weight) * curvature_excess * curvature_excess;
  }

  template <typename T>
  inline void addDistanceResidual(const double& weight, const Eigen::Matrix<T, 2, 1>& xi,
                                  const Eigen::Matrix<T, 2, 1>& xi_original, T& r) const {
    // Skipped at zero weight (the default): the term would add exactly zero.
    if (weight == 0.0) {
      return;
    }
    r += T(weight) * (xi - xi_original).squaredNorm();
  }

  template <typename T>
  inline void addCostResidual(const double& weight, const Eigen::Matrix<T, 2, 1>& pt,
                              const Eigen::Matrix<T, 2, 1>& pt_next,
                              const Eigen::Matrix<T, 2, 1>& pt_prev, T& r) const {
    // Skipped at zero weight: the interpolation is the dearest part of the evaluation.
    if (weight == 0.0) {
      return;
    }
    if (params_.cost_check_points.empty()) {
      T value = costAt<T>(pt);
      r += T(weight) * value * value;
      return;
    }

    // Heading of the robot at pt: along the motion forwards, against it in reverse.
    Eigen::Matrix<T, 2, 1> dir = tangentDir(pt_prev, pt, pt_next, next_to_last_length_ratio_ < 0);
    dir.normalize();
    if (((pt_next - pt).dot(dir) < T(0)) != reversing_) {
      dir = -dir;
    }
    for (size_t i = 0; i + 2 < params_.cost_check_points.size(); i += 3) {
      const T check_x = T(params_.cost_check_points[i]);
      const T check_y = T(params_.cost_check_points[i + 1]);
      Eigen::Matrix<T, 2, 1> world(pt[0] + dir[0] * check_x - dir[1] * check_y,
                                   pt[1] + dir[1] * check_x + dir[0] * check_y);
      T value = costAt<T>(world);
      r += T(weight) * T(params_.cost_check_points[i + 2]) * value * value;
    }
  }

  /// Bicubic cost at a world point, integer grid positions being cell centres.
  template <typename T>
  inline T costAt(const Eigen::Matrix<T, 2, 1>& world) const {
    T col = (world[0] - T(costmap_origin_[0])) / T(costmap_resolution_) - T(0.5);
    T row = (world[1] - T(costmap_origin_[1])) / T(costmap_resolution_) - T(0.5);
    // The interpolator floors its position to int, which is undefined for NaN or far-off
    // points. Beyond these bounds every sample it reads is a clamped border cell, so clamping
    // leaves the value and its (zero) derivative unchanged.
    col = clampGridPosition(col, costmap_size_[0]);
    row = clampGridPosition(row, costmap_size_[1]);
    T value;
    costmap_interpolator_->Evaluate(row, col, &value);
    return value;
  }

  template <typename T>
  static inline T clampGridPosition(const T& position, double size) {
    if (!(position >= T(-2.0))) {
      return T(-2.0);
    }
    if (position > T(size)) {
      return T(size);
    }
    return position;
  }

  const Eigen::Vector2d original_pos_;
  double next_to_last_length_ratio_;
  bool reversing_;
  SmootherParams params_;
  double costmap_weight_;
  Eigen::Vector2d costmap_origin_;
  double costmap_resolution_;
  Eigen::Vector2d costmap_size_;
  std::shared_ptr<ceres::BiCubicInterpolator<ceres::Grid2D<u_char>>> costmap_interpolator_;
};

}  // namespace nav2_constrained_smoother
