// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <memory>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"
#include "orvik_nav2_gridmap/collision_check.hpp"
#include "orvik_nav2_gridmap/grid_map_ros.hpp"
#include "orvik_nav2_planner/line_geometry.hpp"

/// Reduces a planned path to straight segments with a Douglas-Peucker split, finds its sunny
/// corners (clockwise turns between two straight stretches), moves each to the crossing of its
/// fitted lines, and can cut the path at such a corner where the robot can turn in place.
///
/// The result lists are public and describe the last path given to processPath; they stay
/// until the next processPath or reset. One thread at a time.
class DouglasPeuker {
 public:
  /// An instance for processPath only; isSpinCollisionFree and cutPathFromSunny refuse to run.
  /// A dilute threshold that is not a positive number is logged as a warning: with it, only
  /// points off the chord split a segment.
  DouglasPeuker(double dilute_threshold, double max_fit_error, double angle_margin,
                double max_corner_shift, double side_length);
  /// As above, with a footprint checker over the map for the spin check and the path cut. A
  /// null map is logged as an error and leaves the instance without a checker.
  DouglasPeuker(double dilute_threshold, double max_fit_error, double angle_margin,
                double max_corner_shift, double side_length,
                std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map);

  /// Clears every result list; parameters and checker stay.
  void reset();

  /// The whole analysis of a path: key points, sunny corners and line corners. Ends for every
  /// input; an empty path leaves every list empty.
  void processPath(const std::vector<geometry_msgs::msg::PoseStamped>& path);

  /// One split step on a point list (not modified): appends the ends of a straight enough
  /// list to key_points_ (last first), or pushes its two halves onto pending_segments_.
  void diluting(std::vector<Point>& points);

  /// Picks from the key points the clockwise corners between two straight stretches into
  /// sunny_corners_. `points` is the full point list of the path.
  void selectSunnyCorner(std::vector<Point>& points);

  /// Moves every sunny corner to the crossing of its two fitted lines, into line_corners_
  /// when it moves no farther than max_corner_shift_.
  void fromPoints2Line(std::vector<Point>& points);

  /// Looks, in 0.02 m steps along the corner's incoming heading, for the first place where a
  /// clockwise in-place rotation through the corner's turning angle is free.
  /// @param offset receives the distance ahead of the corner of the last place tried.
  /// @return true when a free place lies less than 0.5 m ahead; false otherwise, and (logged
  ///         as an error) without a checker or with a non-finite corner.
  bool isSpinCollisionFree(Point corner, double& offset);

  /// Cuts `path` just before line_corners_[corner_index] and ends it with pose A at the corner
  /// (orientation x carries the turning angle, z and w the incoming heading) and pose B ahead
  /// of it, where the robot can turn: distance plus the free offset ahead, or 0.3 m ahead when
  /// no free place is found. B is also appended to cut_poses_.
  /// @return false, with the path and the instance untouched, for an empty path, an index off
  ///         line_corners_, corner indices off the path, a non-finite corner, a non-finite
  ///         distance when a free place is found (without one the distance is not used), or
  ///         an instance without a checker.
  bool cutPathFromSunny(std::vector<geometry_msgs::msg::PoseStamped>& path, int corner_index,
                        double distance);

  double dilute_threshold_;
  double max_fit_error_;
  /// Degrees: the turning angle must lie in [margin, 180 - margin].
  double angle_margin_;
  double max_corner_shift_;
  double side_length_;
  /// Ends of the straight segments, in path order.
  std::vector<Point> key_points_;
  /// Point lists still to be split; worked last in, first out.
  std::vector<std::vector<Point>> pending_segments_;
  std::vector<Point> sunny_corners_;
  std::vector<Point> line_corners_;
  std::vector<geometry_msgs::msg::PoseStamped> cut_poses_;
  std::shared_ptr<Collision::CollisionCheck> collision_checker_;
};
