// SPDX-License-Identifier: Apache-2.0
#include <chrono>
#include <cmath>
#include <limits>
#include <mutex>

#include <pybind11/stl.h>

#include "conversions.hpp"
#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/deprecated/astar_planner.hpp"
#include "orvik_nav2_planner/reference_path.hpp"

namespace orvik_python {

namespace {

using orvik_nav2_planner::astar2::AstarOptions;

/// One path of a result.
struct PlannedPath {
  py::array_t<double> poses;
  double goal_tolerance{0.0};
  bool start_spin_blocked{false};
  bool spin_blocked_on_path{false};
};

/// What a request produced. `poses` and the flags are those of the first path.
struct PlanResult {
  bool found{false};
  std::vector<PlannedPath> paths;
  std::size_t expanded{0};
  double time_ms{0.0};
  /// When the request started, in seconds of the monotonic clock of Python's time.monotonic.
  double started_at{0.0};
  py::array trace;
};

/// A reference path a search should stay close to (use_path_consistency).
struct ReferencePathHolder {
  orvik_nav2_planner::astar2::ReferencePath path;
};

enum class OptionKind { kBool, kInt, kDouble };

struct OptionField {
  const char* name;
  OptionKind kind;
  bool AstarOptions::*flag;
  int32_t AstarOptions::*integer;
  double AstarOptions::*number;
};

constexpr OptionField flagField(const char* name, bool AstarOptions::*member) {
  return {name, OptionKind::kBool, member, nullptr, nullptr};
}
constexpr OptionField intField(const char* name, int32_t AstarOptions::*member) {
  return {name, OptionKind::kInt, nullptr, member, nullptr};
}
constexpr OptionField numberField(const char* name, double AstarOptions::*member) {
  return {name, OptionKind::kDouble, nullptr, nullptr, member};
}

// Every AstarOptions field but the reference path pointer, under its own name.
const OptionField kOptionFields[] = {
    flagField("check_spin_direction", &AstarOptions::check_spin_direction),
    flagField("search_spin_free_point", &AstarOptions::search_spin_free_point),
    flagField("cost_flag", &AstarOptions::cost_flag),
    numberField("start_fuzzy_radius", &AstarOptions::start_fuzzy_radius),
    numberField("goal_fuzzy_radius", &AstarOptions::goal_fuzzy_radius),
    numberField("linear_velocity", &AstarOptions::linear_velocity),
    numberField("angular_velocity", &AstarOptions::angular_velocity),
    numberField("predict_time", &AstarOptions::predict_time),
    numberField("goal_tolerance", &AstarOptions::goal_tolerance),
    flagField("check_goal_reachable", &AstarOptions::check_goal_reachable),
    intField("spin_penalty", &AstarOptions::spin_penalty),
    flagField("use_path_consistency", &AstarOptions::use_path_consistency),
    intField("danger_level", &AstarOptions::danger_level),
    flagField("priority_preference", &AstarOptions::priority_preference),
    numberField("outside_penalty", &AstarOptions::outside_penalty),
    numberField("boundary_weight", &AstarOptions::boundary_weight),
    numberField("center_weight", &AstarOptions::center_weight),
    numberField("center_distance", &AstarOptions::center_distance),
    numberField("cost_weight", &AstarOptions::cost_weight),
    intField("target_label", &AstarOptions::target_label),
};

std::string typeName(const py::handle& value) {
  return py::str(value.get_type().attr("__name__"));
}

/// AstarOptions from keyword arguments named after its fields, types checked.
AstarOptions optionsFrom(const py::kwargs& kwargs, py::object& keep_reference) {
  AstarOptions options;
  for (const auto& item : kwargs) {
    const std::string name = py::str(item.first);
    const py::handle value = item.second;
    if (name == "reference_path") {
      if (value.is_none()) {
        continue;
      }
      if (!py::isinstance<ReferencePathHolder>(value)) {
        throw py::type_error("option 'reference_path' must be an orvik.ReferencePath, not " +
                             typeName(value));
      }
      keep_reference = py::reinterpret_borrow<py::object>(value);
      options.reference_path = &keep_reference.cast<ReferencePathHolder&>().path;
      continue;
    }
    const OptionField* field = nullptr;
    for (const auto& candidate : kOptionFields) {
      if (name == candidate.name) {
        field = &candidate;
      }
    }
    if (field == nullptr) {
      throw py::type_error("unknown option '" + name + "'");
    }
    const bool is_bool = py::isinstance<py::bool_>(value);
    const bool is_int = py::isinstance<py::int_>(value) && !is_bool;
    switch (field->kind) {
      case OptionKind::kBool:
        if (!is_bool) {
          throw py::type_error("option '" + name + "' must be a bool, not " + typeName(value));
        }
        options.*(field->flag) = value.cast<bool>();
        break;
      case OptionKind::kInt: {
        if (!is_int) {
          throw py::type_error("option '" + name + "' must be an int, not " + typeName(value));
        }
        const auto number = value.cast<long long>();
        if (number < std::numeric_limits<int32_t>::min() ||
            number > std::numeric_limits<int32_t>::max()) {
          throw py::value_error("option '" + name + "' must fit 32 bits");
        }
        options.*(field->integer) = static_cast<int32_t>(number);
        break;
      }
      case OptionKind::kDouble: {
        if (!is_int && !py::isinstance<py::float_>(value)) {
          throw py::type_error("option '" + name + "' must be a number, not " + typeName(value));
        }
        const double number = value.cast<double>();
        if (!std::isfinite(number)) {
          throw py::value_error("option '" + name + "' must be finite");
        }
        options.*(field->number) = number;
        break;
      }
    }
  }
  return options;
}

py::dict defaultOptions() {
  const AstarOptions options;
  py::dict values;
  for (const auto& field : kOptionFields) {
    switch (field.kind) {
      case OptionKind::kBool:
        values[field.name] = options.*(field.flag);
        break;
      case OptionKind::kInt:
        values[field.name] = options.*(field.integer);
        break;
      case OptionKind::kDouble:
        values[field.name] = options.*(field.number);
        break;
    }
  }
  values["reference_path"] = py::none();
  return values;
}

py::array traceArray(const cv::Mat& codes) {
  if (codes.empty()) {
    return py::array_t<uint8_t>(std::vector<py::ssize_t>{0, 0});
  }
  py::array_t<uint8_t> array(
      {static_cast<py::ssize_t>(codes.rows), static_cast<py::ssize_t>(codes.cols)});
  for (int y = 0; y < codes.rows; ++y) {
    std::copy(codes.ptr<uint8_t>(y), codes.ptr<uint8_t>(y) + codes.cols, array.mutable_data(y, 0));
  }
  return array;
}

/// Ranks trace codes so that merged images keep per cell the most telling one, as orvik_plan
/// merges them: turn-around, then blocked direction, then free direction, then opened.
int tracePriority(uint8_t code) {
  switch (code) {
    case 254:
      return 4;
    case 98:
      return 3;
    case 20:
      return 2;
    case 0:
      return 0;
    default:
      return 1;
  }
}

void mergeTrace(const cv::Mat& codes, cv::Mat& merged) {
  if (codes.empty()) {
    return;
  }
  if (merged.empty() || merged.size() != codes.size()) {
    merged = codes.clone();
    return;
  }
  for (int y = 0; y < codes.rows; ++y) {
    const uint8_t* in = codes.ptr<uint8_t>(y);
    uint8_t* out = merged.ptr<uint8_t>(y);
    for (int x = 0; x < codes.cols; ++x) {
      if (tracePriority(in[x]) > tracePriority(out[x])) {
        out[x] = in[x];
      }
    }
  }
}

PlannedPath plannedPath(const orvik_nav2_protocol::msg::Path& path) {
  return {posesToArray(path.poses), path.goal_tolerance, path.start_spin_blocked,
          path.spin_blocked_on_path};
}

/// The A* planner v2 on one map. Requests release the GIL; one request at a time per planner.
class PythonAstarPlanner {
 public:
  PythonAstarPlanner(const GridMap& map, const std::string& name) : map_(map.map) {
    try {
      planner_ = std::make_unique<orvik_nav2_planner::astar2::AstarPlanner>(name, map_);
    } catch (const std::invalid_argument& e) {
      throw py::value_error(e.what());
    }
    // Every search of a request publishes its trace when it ends, and the expanded count still
    // belongs to that search then; a request of several searches adds them up. Called on the
    // requesting thread, inside the request, without the GIL.
    planner_->getTrace()->getTraceMat()->addListener(
        [this](const std::string&, const cv::Mat& codes) {
          request_expanded_ += planner_->expandedCount();
          ++request_searches_;
          mergeTrace(codes, request_trace_);
        });
  }

  PlanResult searchPath(const py::handle& start, const py::handle& goal, const py::kwargs& kwargs) {
    return run(start, &goal, kwargs, Request::kPath);
  }
  PlanResult searchForwardPath(const py::handle& start, const py::kwargs& kwargs) {
    return run(start, nullptr, kwargs, Request::kForward);
  }
  PlanResult searchPaths(const py::handle& start, const py::handle& goal,
                         const py::kwargs& kwargs) {
    return run(start, &goal, kwargs, Request::kPaths);
  }
  const std::string& name() const { return planner_->getName(); }

 private:
  enum class Request { kPath, kForward, kPaths };

  PlanResult run(const py::handle& start_value, const py::handle* goal_value,
                 const py::kwargs& kwargs, Request request) {
    const std::string& frame = map_->getGlobalFrame();
    const auto start = poseFromPython(start_value, "start", frame);
    geometry_msgs::msg::PoseStamped goal;
    if (goal_value != nullptr) {
      goal = poseFromPython(*goal_value, "goal", frame);
    }
    py::object keep_reference;
    const AstarOptions options = optionsFrom(kwargs, keep_reference);

    PlanResult result;
    orvik_nav2_protocol::msg::Path path;
    orvik_nav2_protocol::msg::MultiPaths paths;
    cv::Mat trace;
    {
      py::gil_scoped_release release;
      std::lock_guard<std::mutex> lock(mutex_);
      request_expanded_ = 0;
      request_searches_ = 0;
      request_trace_.release();
      const auto begin = std::chrono::steady_clock::now();
      result.started_at = std::chrono::duration<double>(begin.time_since_epoch()).count();
      switch (request) {
        case Request::kPath:
          result.found = planner_->searchPath(start, goal, options, path);
          break;
        case Request::kForward:
          result.found = planner_->searchForwardPath(start, options, path);
          break;
        case Request::kPaths:
          result.found = planner_->searchPaths(start, goal, options, paths);
          break;
      }
      result.time_ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
              .count();
      // The forward search publishes no trace: its count and image are read directly.
      if (request == Request::kForward) {
        request_expanded_ += planner_->expandedCount();
        mergeTrace(planner_->getTrace()->getTraceMat()->getMat(), request_trace_);
      }
      result.expanded = request_expanded_;
      trace = request_trace_;
    }
    if (result.found) {
      if (request == Request::kPaths) {
        for (const auto& p : paths.paths) {
          result.paths.push_back(plannedPath(p));
        }
      } else {
        result.paths.push_back(plannedPath(path));
      }
    }
    result.trace = traceArray(trace);
    drainLogLines();
    return result;
  }

  MapPtr map_;
  std::unique_ptr<orvik_nav2_planner::astar2::AstarPlanner> planner_;
  std::mutex mutex_;
  // What the searches of the running request published; guarded by mutex_.
  std::size_t request_expanded_{0};
  std::size_t request_searches_{0};
  cv::Mat request_trace_;
};

/// The legacy planner (searchv2).
class PythonLegacyPlanner {
 public:
  explicit PythonLegacyPlanner(const GridMap& map) : map_(map.map) {}

  PlanResult search(const py::handle& start_value, const py::handle& goal_value, bool cost_flag,
                    double start_radius, double goal_radius, int danger_level) {
    const std::string& frame = map_->getGlobalFrame();
    const auto start = poseFromPython(start_value, "start", frame);
    const auto goal = poseFromPython(goal_value, "goal", frame);
    if (!std::isfinite(start_radius) || !std::isfinite(goal_radius)) {
      throw py::value_error("start_radius and goal_radius must be finite");
    }
    PlanResult result;
    nav_msgs::msg::Path path;
    {
      py::gil_scoped_release release;
      std::lock_guard<std::mutex> lock(mutex_);
      const auto costmap = map_->getMultiGridMap()->getCostmap();
      // Radii beyond the map's diagonal search the same cells.
      const double diagonal = std::hypot(costmap->getSizeInCellsX() * costmap->getResolution(),
                                         costmap->getSizeInCellsY() * costmap->getResolution());
      const auto begin = std::chrono::steady_clock::now();
      result.started_at = std::chrono::duration<double>(begin.time_since_epoch()).count();
      result.found =
          planner_.searchv2(map_, start, goal, path, cost_flag, std::min(start_radius, diagonal),
                            std::min(goal_radius, diagonal), danger_level);
      result.time_ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
              .count();
      result.expanded = planner_.closedNodes().size();
    }
    if (result.found) {
      result.paths.push_back({posesToArray(path.poses), 0.0, false, false});
    }
    result.trace = traceArray(cv::Mat());
    drainLogLines();
    return result;
  }

 private:
  MapPtr map_;
  orvik_nav2_planner::astar::AstarPlanner planner_;
  std::mutex mutex_;
};

const PlannedPath& firstPath(const PlanResult& result) {
  if (result.paths.empty()) {
    throw py::value_error("no path was found");
  }
  return result.paths.front();
}

}  // namespace

void bindPlanners(py::module_& m) {
  py::class_<PlannedPath>(m, "PlannedPath", "One path of a planning result.")
      .def_readonly("poses", &PlannedPath::poses, "N x 3 array of (x, y, yaw).")
      .def_readonly("goal_tolerance", &PlannedPath::goal_tolerance)
      .def_readonly("start_spin_blocked", &PlannedPath::start_spin_blocked)
      .def_readonly("spin_blocked_on_path", &PlannedPath::spin_blocked_on_path)
      .def("__len__", [](const PlannedPath& p) { return p.poses.shape(0); });

  py::class_<PlanResult>(m, "PlanResult", R"doc(
The outcome of a planning request. `paths` holds every path (two for a forward leg and a leg
back); `poses` and the flags are those of the first path, and empty when nothing was found.
`trace` holds the colour codes of the searches' trace images, merged as orvik_plan merges
them, indexed [y, x].)doc")
      .def_readonly("found", &PlanResult::found)
      .def_readonly("paths", &PlanResult::paths)
      .def_readonly("expanded", &PlanResult::expanded,
                    "Nodes expanded, summed over the searches of the request.")
      .def_readonly("time_ms", &PlanResult::time_ms)
      .def_readonly("started_at", &PlanResult::started_at,
                    "Start of the request on the clock of time.monotonic(), seconds.")
      .def_readonly("trace", &PlanResult::trace)
      .def_property_readonly("poses",
                             [](const PlanResult& r) -> py::array {
                               return r.paths.empty()
                                          ? py::array_t<double>(std::vector<py::ssize_t>{0, 3})
                                          : r.paths.front().poses;
                             })
      .def_property_readonly("goal_tolerance",
                             [](const PlanResult& r) { return firstPath(r).goal_tolerance; })
      .def_property_readonly("start_spin_blocked",
                             [](const PlanResult& r) { return firstPath(r).start_spin_blocked; })
      .def_property_readonly("spin_blocked_on_path",
                             [](const PlanResult& r) { return firstPath(r).spin_blocked_on_path; })
      .def("__bool__", [](const PlanResult& r) { return r.found; })
      .def("__repr__", [](const PlanResult& r) {
        return "<PlanResult found=" + std::string(r.found ? "True" : "False") +
               " paths=" + std::to_string(r.paths.size()) +
               " expanded=" + std::to_string(r.expanded) + ">";
      });

  py::class_<ReferencePathHolder>(m, "ReferencePath",
                                  "A previous path for use_path_consistency=True. A request "
                                  "trims its poses before the one nearest to its start.")
      .def(py::init([](const py::handle& poses, double cost, double distance, double half_width) {
             ReferencePathHolder holder;
             holder.path.path.poses = posesFromArray(poses, "");
             holder.path.cost = cost;
             holder.path.distance = distance;
             holder.path.half_width = half_width;
             return holder;
           }),
           py::arg("poses"), py::arg("cost") = 0.0, py::arg("distance") = 0.0,
           py::arg("half_width") = 0.0)
      .def_property_readonly(
          "poses", [](const ReferencePathHolder& r) { return posesToArray(r.path.path.poses); });

  py::class_<PythonAstarPlanner>(m, "AstarPlanner", R"doc(
The grid A* planner. Requests take the AstarOptions fields as keyword arguments (bool, int or
float as declared; reference_path an orvik.ReferencePath) and release the GIL while they run.)doc")
      .def(py::init<const GridMap&, const std::string&>(), py::arg("map"),
           py::arg("name") = "orvik", py::keep_alive<1, 2>())
      .def_property_readonly("name", &PythonAstarPlanner::name)
      .def("search_path", &PythonAstarPlanner::searchPath, py::arg("start"), py::arg("goal"),
           "Plans from start to goal, each (x, y[, yaw]).")
      .def("search_forward_path", &PythonAstarPlanner::searchForwardPath, py::arg("start"),
           "Plans from start to the nearest cell where the robot can turn around.")
      .def("search_paths", &PythonAstarPlanner::searchPaths, py::arg("start"), py::arg("goal"),
           "The direct path or, when it needs a blocked rotation and search_spin_free_point is "
           "set, a forward leg to a turn-around cell and a leg back to the goal.");
  m.def("default_astar_options", &defaultOptions, "The AstarOptions fields and their defaults.");

  py::class_<PythonLegacyPlanner>(m, "LegacyPlanner", "The previous A* planner (searchv2).")
      .def(py::init<const GridMap&>(), py::arg("map"))
      .def("search", &PythonLegacyPlanner::search, py::arg("start"), py::arg("goal"),
           py::arg("cost_flag") = false, py::arg("start_radius") = 0.0,
           py::arg("goal_radius") = 0.0, py::arg("danger_level") = 0);
}

}  // namespace orvik_python
