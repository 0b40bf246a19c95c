// SPDX-License-Identifier: Apache-2.0
#include <cmath>
#include <mutex>

#include "conversions.hpp"
#include "nav2_core/exceptions.hpp"
#include "orvik_nav2_planner/orvik_constrained_smoother.hpp"
#include "orvik_nav2_planner/path_smoother.hpp"
#include "orvik_nav2_planner/sunny_process.hpp"
#include "orvik_path_quality/path_quality.hpp"
#include "rclcpp/exceptions.hpp"
#include "rclcpp_lifecycle/lifecycle_node.hpp"

namespace orvik_python {

namespace {

const std::vector<ParameterKey> kGradientKeys = {
    {"min_turn_radius", ParameterKind::kDouble},
    {"max_obstacle_dis", ParameterKind::kDouble},
    {"obstacle_weight", ParameterKind::kDouble},
    {"curvature_weight", ParameterKind::kDouble},
    {"smooth_weight", ParameterKind::kDouble},
    {"path_align_weight", ParameterKind::kDouble},
    {"priority_passage_obs_scale", ParameterKind::kDouble},
    {"priority_passage_smooth_scale", ParameterKind::kDouble},
    {"max_iterations", ParameterKind::kInt},
};

const std::vector<ParameterKey> kConstrainedKeys = {
    {"minimum_turning_radius", ParameterKind::kDouble},
    {"w_curve", ParameterKind::kDouble},
    {"w_cost", ParameterKind::kDouble},
    {"w_cost_cusp_multiplier", ParameterKind::kDouble},
    {"cusp_zone_length", ParameterKind::kDouble},
    {"w_dist", ParameterKind::kDouble},
    {"w_smooth", ParameterKind::kDouble},
    {"cost_check_points", ParameterKind::kDoubleList},
    {"path_downsampling_factor", ParameterKind::kInt},
    {"path_upsampling_factor", ParameterKind::kInt},
    {"reversing_enabled", ParameterKind::kBool},
    {"keep_goal_orientation", ParameterKind::kBool},
    {"keep_start_orientation", ParameterKind::kBool},
};

const std::vector<ParameterKey> kOptimizerKeys = {
    {"linear_solver_type", ParameterKind::kString},
    {"param_tol", ParameterKind::kDouble},
    {"fn_tol", ParameterKind::kDouble},
    {"gradient_tol", ParameterKind::kDouble},
    {"max_iterations", ParameterKind::kInt},
    {"debug_optimizer", ParameterKind::kBool},
};

std::shared_ptr<rclcpp_lifecycle::LifecycleNode> nodeWith(
    const std::vector<rclcpp::Parameter>& parameters) {
  return std::make_shared<rclcpp_lifecycle::LifecycleNode>(
      "orvik_python", rclcpp::NodeOptions().parameter_overrides(parameters));
}

/// The gradient path smoother with its ROS parameters given as keyword arguments.
class GradientSmoother {
 public:
  GradientSmoother(const GridMap& map, const py::kwargs& parameters) : map_(map.map) {
    std::vector<rclcpp::Parameter> overrides;
    appendParameters(parameters, kGradientKeys, "gradient_smoother.", overrides);
    try {
      smoother_ = std::make_unique<PathSmoother>(nodeWith(overrides), map_);
    } catch (const std::invalid_argument& e) {
      throw py::value_error(e.what());
    }
  }

  py::array_t<double> smooth(const py::handle& poses_value, const py::object& start_value,
                             double linear_velocity, double angular_velocity) {
    const std::string& frame = map_->getGlobalFrame();
    nav_msgs::msg::Path input;
    input.header.frame_id = frame;
    input.poses = posesFromArray(poses_value, frame);
    if (input.poses.empty()) {
      throw py::value_error("poses is empty");
    }
    const auto start =
        start_value.is_none() ? input.poses.front() : poseFromPython(start_value, "start", frame);
    geometry_msgs::msg::Twist velocity;
    velocity.linear.x = linear_velocity;
    velocity.angular.z = angular_velocity;
    nav_msgs::msg::Path output;
    bool smoothed = false;
    {
      py::gil_scoped_release release;
      std::lock_guard<std::mutex> lock(mutex_);
      smoother_->setOriginalPath(input);
      smoother_->setCurrentData(start, velocity);
      smoother_->smoothPath();
      output.header = input.header;
      smoothed = smoother_->getSmoothedNavPath(output);
    }
    drainLogLines();
    if (!smoothed) {
      throw std::runtime_error("the smoother returned no path (see the log)");
    }
    return posesToArray(output.poses);
  }

 private:
  MapPtr map_;
  std::unique_ptr<PathSmoother> smoother_;
  std::mutex mutex_;
};

/// Nav2's constrained smoother over the map's master costmap.
class ConstrainedSmoother {
 public:
  ConstrainedSmoother(const GridMap& map, const py::object& optimizer, const py::kwargs& parameters)
      : map_(map.map) {
    std::vector<rclcpp::Parameter> overrides;
    appendParameters(parameters, kConstrainedKeys, "constrained_smoother.", overrides);
    if (!optimizer.is_none()) {
      if (!py::isinstance<py::dict>(optimizer)) {
        throw py::type_error("optimizer must be a dict");
      }
      appendParameters(optimizer.cast<py::dict>(), kOptimizerKeys,
                       "constrained_smoother.optimizer.", overrides);
    }
    try {
      smoother_.configure(nodeWith(overrides), "constrained_smoother");
    } catch (const rclcpp::exceptions::InvalidParameterTypeException& e) {
      throw py::type_error(e.what());
    } catch (const std::runtime_error& e) {
      throw py::value_error(e.what());
    }
  }

  py::array_t<double> smooth(const py::handle& poses_value, double max_time) {
    if (!std::isfinite(max_time) || max_time <= 0.0) {
      throw py::value_error("max_time must be a positive number of seconds");
    }
    nav_msgs::msg::Path path;
    path.header.frame_id = map_->getGlobalFrame();
    path.poses = posesFromArray(poses_value, path.header.frame_id);
    std::string failure;
    {
      py::gil_scoped_release release;
      std::lock_guard<std::mutex> lock(mutex_);
      try {
        smoother_.smooth(map_->getMultiGridMap()->getCostmap(), path,
                         rclcpp::Duration::from_seconds(max_time));
      } catch (nav2_core::PlannerException* e) {
        failure = e->what();
        delete e;
      } catch (const std::exception& e) {
        failure = e.what();
      }
    }
    drainLogLines();
    if (!failure.empty()) {
      throw std::runtime_error(failure);
    }
    return posesToArray(path.poses);
  }

 private:
  MapPtr map_;
  orvik_nav2_planner::OrvikConstrainedSmoother smoother_;
  std::mutex mutex_;
};

py::dict pointToDict(const Point& p) {
  py::dict d;
  d["x"] = p.x;
  d["y"] = p.y;
  d["index"] = p.index;
  d["angle"] = p.angle;
  d["heading_in"] = p.heading_in;
  d["heading_out"] = p.heading_out;
  return d;
}

py::list pointsToList(const std::vector<Point>& points) {
  py::list list;
  for (const auto& p : points) {
    list.append(pointToDict(p));
  }
  return list;
}

/// DouglasPeuker with its result lists read as Python lists of dicts.
class PythonDouglasPeuker {
 public:
  PythonDouglasPeuker(const py::object& map, double dilute_threshold, double max_fit_error,
                      double angle_margin, double max_corner_shift, double side_length) {
    for (double value :
         {dilute_threshold, max_fit_error, angle_margin, max_corner_shift, side_length}) {
      if (!std::isfinite(value)) {
        throw py::value_error("DouglasPeuker values must be finite");
      }
    }
    if (map.is_none()) {
      analysis_ = std::make_unique<DouglasPeuker>(dilute_threshold, max_fit_error, angle_margin,
                                                  max_corner_shift, side_length);
    } else {
      map_ = map.cast<const GridMap&>().map;
      analysis_ = std::make_unique<DouglasPeuker>(dilute_threshold, max_fit_error, angle_margin,
                                                  max_corner_shift, side_length, map_);
    }
  }

  void process(const py::handle& poses_value) {
    const auto poses = posesFromArray(poses_value, frame());
    {
      py::gil_scoped_release release;
      std::lock_guard<std::mutex> lock(mutex_);
      analysis_->processPath(poses);
    }
    drainLogLines();
  }

  py::array_t<double> cut(const py::handle& poses_value, int corner_index, double distance) {
    if (!map_) {
      throw py::value_error("cut needs a DouglasPeuker built with a map");
    }
    auto poses = posesFromArray(poses_value, frame());
    bool cut = false;
    {
      py::gil_scoped_release release;
      std::lock_guard<std::mutex> lock(mutex_);
      cut = analysis_->cutPathFromSunny(poses, corner_index, distance);
    }
    drainLogLines();
    if (!cut) {
      throw py::value_error("the cut at corner " + std::to_string(corner_index) +
                            " was refused (no such corner on the processed path, or bad input)");
    }
    return posesToArray(poses);
  }

  py::tuple spinFree(double x, double y, double angle, double heading_in) {
    Point corner;
    corner.x = x;
    corner.y = y;
    corner.angle = angle;
    corner.heading_in = heading_in;
    double offset = 0.0;
    bool free = false;
    {
      py::gil_scoped_release release;
      std::lock_guard<std::mutex> lock(mutex_);
      free = analysis_->isSpinCollisionFree(corner, offset);
    }
    return py::make_tuple(free, offset);
  }

  DouglasPeuker& analysis() { return *analysis_; }

 private:
  std::string frame() const { return map_ ? map_->getGlobalFrame() : std::string("map"); }

  MapPtr map_;
  std::unique_ptr<DouglasPeuker> analysis_;
  std::mutex mutex_;
};

py::dict qualityToDict(const orvik_path_quality::PathQuality& q) {
  py::dict d;
  d["pose_count"] = q.pose_count;
  d["length_m"] = q.length_m;
  d["total_turning_rad"] = q.total_turning_rad;
  d["max_curvature"] = q.max_curvature;
  d["min_clearance_m"] = q.min_clearance_m;
  d["max_cost"] = q.max_cost;
  d["mean_cost"] = q.mean_cost;
  d["cells_passed"] = q.cells_passed;
  d["off_map_length_m"] = q.off_map_length_m;
  return d;
}

}  // namespace

void bindSmoothers(py::module_& m) {
  py::class_<GradientSmoother>(m, "GradientSmoother", R"doc(
The gradient path smoother. Keyword arguments are its ROS parameters (min_turn_radius,
max_obstacle_dis, obstacle_weight, curvature_weight, smooth_weight, path_align_weight,
priority_passage_obs_scale, priority_passage_smooth_scale, max_iterations).)doc")
      .def(py::init<const GridMap&, const py::kwargs&>(), py::arg("map"), py::keep_alive<1, 2>())
      .def("smooth", &GradientSmoother::smooth, py::arg("poses"), py::arg("start") = py::none(),
           py::arg("linear_velocity") = 0.0, py::arg("angular_velocity") = 0.0,
           "Smooths an N x 2 or N x 3 path from the robot at `start` (default: the first pose) "
           "moving at the given velocities; returns N x 3 poses. Raises RuntimeError when the "
           "smoother gives no path.");

  py::class_<ConstrainedSmoother>(m, "ConstrainedSmoother", R"doc(
Nav2's constrained smoother over the map's master costmap. Keyword arguments are its ROS
parameters; `optimizer` a dict of the optimizer's.)doc")
      .def(py::init<const GridMap&, const py::object&, const py::kwargs&>(), py::arg("map"),
           py::arg("optimizer") = py::none(), py::keep_alive<1, 2>())
      .def("smooth", &ConstrainedSmoother::smooth, py::arg("poses"), py::arg("max_time") = 2.0,
           "Returns the smoothed N x 3 poses; raises RuntimeError when Ceres finds no usable "
           "solution.");

  py::class_<PythonDouglasPeuker>(m, "DouglasPeuker", R"doc(
Douglas-Peucker simplification, sunny corners and the cut there. Without a map only process()
works. After process(), key_points, sunny_corners and line_corners describe the path.)doc")
      .def(py::init<const py::object&, double, double, double, double, double>(),
           py::arg("map") = py::none(), py::arg("dilute_threshold") = 0.05,
           py::arg("max_fit_error") = 0.05, py::arg("angle_margin") = 30.0,
           py::arg("max_corner_shift") = 0.2, py::arg("side_length") = 1.0)
      .def("process", &PythonDouglasPeuker::process, py::arg("poses"))
      .def("cut", &PythonDouglasPeuker::cut, py::arg("poses"), py::arg("corner_index") = 0,
           py::arg("distance") = 0.1,
           "Cuts the poses at line corner `corner_index` of the last processed path; returns "
           "the new poses. Raises ValueError when the cut is refused.")
      .def("is_spin_collision_free", &PythonDouglasPeuker::spinFree, py::arg("x"), py::arg("y"),
           py::arg("angle"), py::arg("heading_in"),
           "(free, offset): whether the robot can turn in place ahead of the corner.")
      .def_property_readonly(
          "key_points",
          [](PythonDouglasPeuker& d) { return pointsToList(d.analysis().key_points_); })
      .def_property_readonly(
          "sunny_corners",
          [](PythonDouglasPeuker& d) { return pointsToList(d.analysis().sunny_corners_); })
      .def_property_readonly(
          "line_corners",
          [](PythonDouglasPeuker& d) { return pointsToList(d.analysis().line_corners_); })
      .def_property_readonly("cut_poses", [](PythonDouglasPeuker& d) {
        return posesToArray(d.analysis().cut_poses_);
      });

  m.def(
      "path_quality",
      [](const GridMap& map, const py::handle& poses_value, bool cost_flag) {
        const auto poses = posesFromArray(poses_value, map.map->getGlobalFrame());
        try {
          return qualityToDict(orvik_path_quality::measurePathQuality(*map.map, poses, cost_flag));
        } catch (const std::invalid_argument& e) {
          throw py::value_error(e.what());
        }
      },
      py::arg("map"), py::arg("poses"), py::arg("cost_flag") = false,
      "Length, total turning, maximum curvature, smallest clearance and cell costs of a path, "
      "as the planning tool reports them.");
}

}  // namespace orvik_python
