// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "geometry_msgs/msg/twist.hpp"
#include "nav2_costmap_2d/costmap_2d.hpp"
#include "nav_msgs/msg/path.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_gridmap/multi_grid_map.hpp"
#include "orvik_nav2_planner/pose2d.hpp"
#include "orvik_nav2_planner/vec2d.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

/// Smooths a planned path by gradient descent on its resampled points: each inner point is
/// pushed away from nearby obstacles, towards the middle of its neighbours, away from bends
/// sharper than the robot can drive and, near the robot, towards its predicted motion.
///
/// Per request: setOriginalPath, setCurrentData, smoothPath, getSmoothedNavPath.
/// Threads: one smoother per thread; an instance takes no locks and serves one request at a
/// time. Smoothers on different threads may share one grid map, which they only read.
class PathSmoother {
 public:
  /// Keeps the map and reads the parameters under the prefix "gradient_smoother".
  /// @throw rclcpp::exceptions::InvalidParameterTypeException for a parameter of the wrong type.
  /// @throw std::invalid_argument when the map, its layers or its costmap are missing.
  PathSmoother(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node,
               std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map);

  /// Declares (when not yet declared) and reads the parameters under `name`.
  /// An expired node is logged and leaves every parameter as it was.
  /// @throw rclcpp::exceptions::InvalidParameterTypeException for a parameter of the wrong
  ///        type; the parameters after it stay unread.
  void config(const std::weak_ptr<rclcpp_lifecycle::LifecycleNode>& node, const std::string& name);
  /// Sets the tuning values directly. A `resample_step` that is not a positive finite number is
  /// logged and refused (the previous step stays); the other values are stored regardless.
  void config(double max_obstacle_dis, double obstacle_weight, double curvature_weight,
              double smooth_weight, double path_align_weight, double index_search_length,
              double resample_step);

  /// Takes the path of this request and resamples it. A path with a non-finite coordinate or
  /// heading is logged and left unsmoothed: nothing is resampled, so getSmoothedNavPath
  /// answers false for it (or hands it back as it is when it has two poses or fewer).
  void setOriginalPath(const nav_msgs::msg::Path& path);
  /// Predicts one second of robot motion from its pose and velocity. Non-finite input is logged
  /// and gives an empty prediction.
  void setCurrentData(geometry_msgs::msg::PoseStamped pose, geometry_msgs::msg::Twist velocity);
  /// Runs the smoothing sweeps over the resampled path; does nothing without one.
  void smoothPath();
  /// Writes the smoothed path from the robot's position on into `path`, or the original path
  /// when it had two poses or fewer. Returns false, leaving `path` untouched, when there is no
  /// smoothed path.
  bool getSmoothedNavPath(nav_msgs::msg::Path& path);
  /// Finds the resampled point nearest to the predicted motion; returns the end of the range
  /// that follows the prediction (0 without a prediction).
  size_t getPathSmoothIndex();
  /// Returns the poses resampled every `step` metres along straight lines from the last output
  /// point; empty for two poses or fewer, or (logged) for a step that is not positive and
  /// finite or a path too long or too far out to resample.
  std::vector<Pose2d> resamplePath(const std::vector<Pose2d>& poses, float step);

  /// Returns the gradient of the obstacle cost at `point`, pointing towards the nearest
  /// obstacle; zero off the map, near its border or farther than `max_obstacle_dis`.
  Vec2d obstacleTerm(Vec2d point);
  /// Returns the gradient of the squared second difference at `point`.
  Vec2d smoothnessTerm(Vec2d previous, Vec2d point, Vec2d next);
  /// Returns the curvature gradient at `point`; zero for bends within `max_curvature`, for
  /// degenerate segments and for non-finite results.
  Vec2d curvatureTerm(Vec2d previous, Vec2d point, Vec2d next);
  /// Returns the pull of resampled point `index` away from the predicted motion; zero outside
  /// the predicted range.
  Vec2d predictedTerm(Vec2d point, size_t index);
  /// Scales `gradient` in place down to length 0.5 when it is longer.
  void gradientLimit(Vec2d& gradient);
  /// Returns true when the world point lies on the map.
  bool isOnGrid(Vec2d point);
  /// Returns true when the cell lies on the map.
  bool isOnGrid(int x, int y);

  /// Returns the resampled input path.
  const std::vector<Pose2d>& getResampledPath() const { return resampled_path; }
  /// Returns the path as smoothed so far.
  const std::vector<Pose2d>& getSmoothedPath() const { return smoothed_path; }
  /// Returns the resampled predicted motion.
  const std::vector<Pose2d>& getPredictedPath() const { return predicted_path; }
  /// Returns the first smoothed index, set by getPathSmoothIndex.
  size_t getSmoothStartIndex() const { return smooth_start_index; }
  /// Returns the end of the predicted range, set by getPathSmoothIndex.
  size_t getSmoothEndIndex() const { return smooth_end_index; }

  /// Returns the minimum turn radius in metres.
  float getMinTurnRadius() const { return min_turn_radius; }
  /// Returns the largest curvature left alone, 1 / (1.1 * min_turn_radius).
  float getMaxCurvature() const { return max_curvature; }
  /// Returns the distance beyond which obstacles exert no force, in metres.
  float getMaxObstacleDis() const { return max_obstacle_dis; }
  /// Returns the obstacle weight.
  float getObstacleWeight() const { return obstacle_weight; }
  /// Returns the scale of `max_obstacle_dis` inside priority passages.
  float getPriorityPassageObsScale() const { return priority_passage_obs_scale; }
  /// Returns the scale of the correction inside priority passages.
  float getPriorityPassageSmoothScale() const { return priority_passage_smooth_scale; }
  /// Returns the curvature weight.
  float getCurvatureWeight() const { return curvature_weight; }
  /// Returns the smoothness weight.
  float getSmoothWeight() const { return smooth_weight; }
  /// Returns the weight of the pull towards the predicted motion.
  float getPathAlignWeight() const { return path_align_weight; }
  /// Returns the path length searched for the pose nearest to the robot, in metres.
  float getIndexSearchLength() const { return index_search_length; }
  /// Returns the spacing of resampled points in metres.
  float getResampleStep() const { return resample_step; }
  /// Returns the number of smoothing sweeps.
  int32_t getMaxIterations() const { return max_iterations; }
  /// Returns the parameter prefix.
  const std::string& getName() const { return name; }

 private:
  /// Refreshes the cached layers, costmap and map size from `map`.
  void cacheMapGeometry();
  /// Whether the world point lies in a priority passage (false when the map has none).
  bool inPriorityPassage(const Vec2d& point) const;

  float min_turn_radius = 1.0f;
  float max_curvature = static_cast<float>(1.0 / (1.0 * 1.1));
  float max_obstacle_dis = 0.6f;
  float step_size = 0.1f;
  float obstacle_weight = 0.5f;
  float priority_passage_obs_scale = 0.5f;
  float priority_passage_smooth_scale = 0.3f;
  float curvature_weight = 0.05f;
  float smooth_weight = 1.5f;
  float path_align_weight = 0.5f;
  float index_search_length = 100.0f;
  float resample_step = 0.05f;
  int32_t size_x = 0;
  int32_t size_y = 0;
  int32_t max_iterations = 200;
  std::string name = "gradient_smoother";
  size_t smooth_start_index = 0;
  size_t smooth_end_index = 0;
  std::vector<Pose2d> resampled_path;
  std::vector<Pose2d> smoothed_path;
  std::vector<Pose2d> predicted_path;
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map;
  nav_msgs::msg::Path input_path;

  // The layers and the costmap are fixed for the map's lifetime; holding them saves two
  // shared_ptr copies per cell query in the sweeps.
  std::shared_ptr<orvik_nav2_gridmap::MultiGridMap> grid_layers;
  std::shared_ptr<nav2_costmap_2d::Costmap2D> costmap;
};
