// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <sys/types.h>

#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

#include "Eigen/Core"
#include "ceres/ceres.h"
#include "nav2_constrained_smoother/options.hpp"
#include "nav2_constrained_smoother/smoother_cost_function.hpp"
#include "nav2_constrained_smoother/utils.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "rclcpp/logging.hpp"

namespace nav2_constrained_smoother {

/**
 * Smooths a path with a sparse nonlinear least-squares problem solved by Ceres: every kept point
 * between the fixed ends moves to balance smoothness, a curvature limit, closeness to the planned
 * path and the costmap cost under it. Reversing segments and cusps are supported.
 */
class Smoother {
 public:
  Smoother() {}
  ~Smoother() {}

  /// Takes the solver settings; throws std::out_of_range for an unknown linear solver name.
  void initialize(const OptimizerParams params) {
    debug_ = params.debug;

    options_.linear_solver_type = params.solver_types.at(params.linear_solver_type);
    options_.max_num_iterations = params.max_iterations;
    options_.function_tolerance = params.fn_tol;
    options_.gradient_tolerance = params.gradient_tol;
    options_.parameter_tolerance = params.param_tol;

    if (debug_) {
      options_.minimizer_progress_to_stdout = true;
      options_.logging_type = ceres::LoggingType::PER_MINIMIZER_ITERATION;
    } else {
      options_.logging_type = ceres::SILENT;
    }
  }

  /**
   * Smooths a path in place.
   * @param path in: (x, y, direction) per pose, direction > 0 driving forwards to the next pose
   *        and < 0 reversing; out on success: (x, y, yaw) per pose, resampled by the up- and
   *        down-sampling factors
   * @param start_dir heading vector at the start, kept when keep_start_orientation is set
   * @param end_dir heading vector at the goal, kept when keep_goal_orientation is set
   * @return false, path untouched, when Ceres found no usable solution or one dearer than the
   *         input; true otherwise, including paths too short to have a movable point
   * @throw std::runtime_error for fewer than 2 points, or a null or empty costmap
   */
  bool smooth(std::vector<Eigen::Vector3d>& path, const Eigen::Vector2d& start_dir,
              const Eigen::Vector2d& end_dir, const nav2_costmap_2d::Costmap2D* costmap,
              const SmootherParams& params) {
    if (path.size() < 2) {
      throw std::runtime_error("Constrained smoother: Path must have at least 2 points");
    }
    // Ceres' grid aborts the whole process on an empty costmap; refuse it here instead.
    if (costmap == nullptr || costmap->getSizeInCellsX() == 0 || costmap->getSizeInCellsY() == 0) {
      throw std::runtime_error("Constrained smoother: Costmap must have at least one cell");
    }

    options_.max_solver_time_in_seconds = params.max_time;

    ceres::Problem problem;
    std::vector<Eigen::Vector3d> path_optim;
    std::vector<bool> optimized;
    if (buildProblem(path, costmap, params, problem, path_optim, optimized)) {
      ceres::Solver::Summary summary;
      ceres::Solve(options_, &problem, &summary);
      if (debug_) {
        RCLCPP_INFO(rclcpp::get_logger("smoother_server"), "%s", summary.FullReport().c_str());
      }
      if (!summary.IsSolutionUsable() || summary.initial_cost - summary.final_cost < 0.0) {
        return false;
      }
    } else {
      RCLCPP_INFO(rclcpp::get_logger("smoother_server"), "Path too short to optimize");
    }

    upsampleAndPopulate(path_optim, optimized, start_dir, end_dir, params, path);
    return true;
  }

 private:
  /// Linear blend from the cusp weight at a cusp to the ordinary weight at the zone's edge.
  static double cuspZoneWeight(double distance_to_cusp, double half_zone,
                               const SmootherParams& params) {
    // A zero-length zone would make this 0 / 0 at the cusp itself; the blend's limit there is
    // the cusp weight.
    const double fraction = half_zone > 0.0 ? distance_to_cusp / half_zone : 0.0;
    return params.cusp_costmap_weight * (1.0 - fraction) + params.costmap_weight * fraction;
  }

  /**
   * Adds one residual block per kept interior point and fixes the end points (and the points
   * next to them when the end orientations are kept).
   * @return false when no point is left to move
   */
  bool buildProblem(const std::vector<Eigen::Vector3d>& path,
                    const nav2_costmap_2d::Costmap2D* costmap, const SmootherParams& params,
                    ceres::Problem& problem, std::vector<Eigen::Vector3d>& path_optim,
                    std::vector<bool>& optimized) {
    // Row = cell y, column = cell x, matching the costmap's row-major layout.
    costmap_grid_ = std::make_shared<ceres::Grid2D<u_char>>(
        costmap->getCharMap(), 0, static_cast<int>(costmap->getSizeInCellsY()), 0,
        static_cast<int>(costmap->getSizeInCellsX()));
    auto costmap_interpolator =
        std::make_shared<ceres::BiCubicInterpolator<ceres::Grid2D<u_char>>>(*costmap_grid_);

    const double cusp_half_length = params.cusp_zone_length / 2;
    ceres::LossFunction* loss_function = nullptr;

    path_optim = path;
    optimized = std::vector<bool>(path.size(), false);
    optimized[0] = true;
    const size_t n = path_optim.size();

    int prelast_i = -1;
    int last_i = 0;
    double last_direction = path_optim[0][2];
    bool last_was_cusp = false;
    bool last_is_reversing = false;
    // Cost functions within half a cusp zone before the next possible cusp, with the length of
    // the segment that follows each of them; their weight rises once that cusp is found.
    std::deque<std::pair<double, SmootherCostFunction*>> potential_cusp_funcs;
    double last_segment_len = EPSILON;
    double potential_cusp_funcs_len = 0;
    double len_since_cusp = std::numeric_limits<double>::infinity();

    for (size_t i = 1; i < n; i++) {
      Eigen::Vector3d& pt = path_optim[i];
      bool is_cusp = false;
      if (i != n - 1) {
        is_cusp = pt[2] * last_direction < 0;
        last_direction = pt[2];

        // Downsampling: cusps and the points that fix the end orientations are always kept.
        if (!is_cusp && i > (params.keep_start_orientation ? 1u : 0u) &&
            i < n - (params.keep_goal_orientation ? 2 : 1) &&
            static_cast<int64_t>(i) - last_i < params.path_downsampling_factor) {
          continue;
        }
      }

      const double current_segment_len = (path_optim[i] - path_optim[last_i]).head<2>().norm();

      potential_cusp_funcs_len += current_segment_len;
      while (!potential_cusp_funcs.empty() && potential_cusp_funcs_len > cusp_half_length) {
        potential_cusp_funcs_len -= potential_cusp_funcs.front().first;
        potential_cusp_funcs.pop_front();
      }

      if (is_cusp) {
        double len_to_cusp = current_segment_len;
        for (auto it = potential_cusp_funcs.rbegin(); it != potential_cusp_funcs.rend(); ++it) {
          SmootherCostFunction* cost_function = it->second;
          const double new_weight = cuspZoneWeight(len_to_cusp, cusp_half_length, params);
          // Zones of two close cusps overlap: each point keeps the weight of the nearer cusp.
          if (std::abs(new_weight - params.cusp_costmap_weight) <
              std::abs(cost_function->getCostmapWeight() - params.cusp_costmap_weight)) {
            cost_function->setCostmapWeight(new_weight);
          }
          len_to_cusp += it->first;
        }
        potential_cusp_funcs_len = 0;
        potential_cusp_funcs.clear();
        len_since_cusp = 0;
      }

      optimized[i] = true;
      if (prelast_i != -1) {
        double costmap_weight = params.costmap_weight;
        if (len_since_cusp <= cusp_half_length) {
          costmap_weight = cuspZoneWeight(len_since_cusp, cusp_half_length, params);
        }
        auto* cost_function = new SmootherCostFunction(
            path[last_i].head<2>(),
            (last_was_cusp ? -1 : 1) * last_segment_len / current_segment_len, last_is_reversing,
            costmap, costmap_interpolator, params, costmap_weight);
        // Blocks are (x, y) of the middle, next and previous point; the direction is not moved.
        problem.AddResidualBlock(cost_function->AutoDiff(), loss_function,
                                 path_optim[last_i].data(), pt.data(),
                                 path_optim[prelast_i].data());

        potential_cusp_funcs.emplace_back(current_segment_len, cost_function);
      }

      last_was_cusp = is_cusp;
      last_is_reversing = last_direction < 0;
      prelast_i = last_i;
      last_i = static_cast<int>(i);
      len_since_cusp += current_segment_len;
      last_segment_len = std::max(EPSILON, current_segment_len);
    }

    int poses_to_optimize = problem.NumParameterBlocks() - 2;
    if (params.keep_goal_orientation) {
      poses_to_optimize -= 1;
    }
    if (params.keep_start_orientation) {
      poses_to_optimize -= 1;
    }
    if (poses_to_optimize <= 0) {
      return false;
    }

    problem.SetParameterBlockConstant(path_optim.front().data());
    if (params.keep_start_orientation) {
      problem.SetParameterBlockConstant(path_optim[1].data());
    }
    if (params.keep_goal_orientation) {
      problem.SetParameterBlockConstant(path_optim[n - 2].data());
    }
    problem.SetParameterBlockConstant(path_optim.back().data());
    return true;
  }

  /**
   * Writes the output path: kept points with their headings, and Bezier points between them
   * when upsampling (or to refill points left out by downsampling).
   */
  void upsampleAndPopulate(const std::vector<Eigen::Vector3d>& path_optim,
                           const std::vector<bool>& optimized, const Eigen::Vector2d& start_dir,
                           const Eigen::Vector2d& end_dir, const SmootherParams& params,
                           std::vector<Eigen::Vector3d>& path) {
    const int n = static_cast<int>(path_optim.size());
    path.clear();
    if (params.path_upsampling_factor > 1) {
      path.reserve(static_cast<size_t>(params.path_upsampling_factor) * (path_optim.size() - 1) +
                   1);
    }
    int last_i = 0;
    int prelast_i = -1;
    Eigen::Vector2d prelast_dir = Eigen::Vector2d::Zero();
    for (int i = 1; i <= n; i++) {
      if (i != n && !optimized[i]) {
        continue;
      }
      if (prelast_i != -1) {
        Eigen::Vector2d last_dir;
        const Eigen::Vector3d& prelast = path_optim[prelast_i];
        const Eigen::Vector3d& last = path_optim[last_i];

        if (i < n) {
          const Eigen::Vector3d& current = path_optim[i];
          Eigen::Vector2d tangent = tangentDir<double>(prelast.head<2>(), last.head<2>(),
                                                       current.head<2>(), prelast[2] * last[2] < 0);
          last_dir = tangent.dot((current - last).head<2>() * last[2]) >= 0 ? tangent : -tangent;
          last_dir.normalize();
        } else if (params.keep_goal_orientation) {
          last_dir = end_dir;
        } else {
          last_dir = (last - prelast).head<2>() * last[2];
          last_dir.normalize();
        }
        const double last_angle = std::atan2(last_dir[1], last_dir[0]);

        // 64-bit so that a huge upsampling factor fails on allocation rather than overflowing.
        const int64_t interp_cnt = std::max<int64_t>(
            0, static_cast<int64_t>(last_i - prelast_i) * params.path_upsampling_factor - 1);
        if (interp_cnt > 0) {
          Eigen::Vector2d last_pt = last.head<2>();
          Eigen::Vector2d prelast_pt = prelast.head<2>();
          const double dist = (last_pt - prelast_pt).norm();
          Eigen::Vector2d control_after_prelast =
              prelast_pt + prelast_dir * dist * 0.4 * prelast[2];
          Eigen::Vector2d control_before_last = last_pt - last_dir * dist * 0.4 * prelast[2];
          for (int64_t j = 1; j <= interp_cnt; j++) {
            const double mu = static_cast<double>(j) / static_cast<double>(interp_cnt + 1);
            Eigen::Vector2d p =
                cubicBezier(prelast_pt, control_after_prelast, control_before_last, last_pt, mu);
            path.emplace_back(p[0], p[1], 0.0);
          }
        }
        path.emplace_back(last[0], last[1], last_angle);

        // Headings of the interpolated points, from their neighbours on the curve.
        for (size_t j = path.size() - 1 - static_cast<size_t>(interp_cnt); j < path.size() - 1;
             j++) {
          Eigen::Vector2d tangent = tangentDir<double>(path[j - 1].head<2>(), path[j].head<2>(),
                                                       path[j + 1].head<2>(), false);
          if (tangent.dot((path[j + 1] - path[j]).head<2>() * prelast[2]) < 0) {
            tangent = -tangent;
          }
          path[j][2] = std::atan2(tangent[1], tangent[0]);
        }

        prelast_dir = last_dir;
      } else {
        // The start pose, heading towards the first kept point unless its heading is kept.
        const Eigen::Vector3d& start = path_optim[0];
        Eigen::Vector2d dir;
        if (params.keep_start_orientation) {
          dir = start_dir;
        } else {
          dir = (path_optim[i] - start).head<2>() * start[2];
          dir.normalize();
        }
        path.emplace_back(start[0], start[1], std::atan2(dir[1], dir[0]));
        prelast_dir = dir;
      }
      prelast_i = last_i;
      last_i = i;
    }
  }

  /// Point at mu in [0, 1] of the cubic Bezier curve with control points pt0..pt3.
  static Eigen::Vector2d cubicBezier(Eigen::Vector2d& pt0, Eigen::Vector2d& pt1,
                                     Eigen::Vector2d& pt2, Eigen::Vector2d& pt3, double mu) {
    Eigen::Vector2d a, b, c, pt;
    c[0] = (pt1[0] - pt0[0]) * 3;
    c[1] = (pt1[1] - pt0[1]) * 3;
    b[0] = (pt2[0] - pt1[0]) * 3 - c[0];
    b[1] = (pt2[1] - pt1[1]) * 3 - c[1];
    a[0] = pt3[0] - pt0[0] - c[0] - b[0];
    a[1] = pt3[1] - pt0[1] - c[1] - b[1];
    pt = a * mu * mu * mu + b * mu * mu + c * mu + pt0;
    return pt;
  }

  bool debug_{false};
  ceres::Solver::Options options_;
  std::shared_ptr<ceres::Grid2D<u_char>> costmap_grid_;
};

}  // namespace nav2_constrained_smoother
