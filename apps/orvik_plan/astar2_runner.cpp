// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/astar2_runner.hpp"

#include <chrono>
#include <cmath>
#include <optional>
#include <stdexcept>

#include "orvik_nav2_tools/communicator_engine.hpp"
#include "orvik_plan/log_capture.hpp"
#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace {

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

std::string joinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += (text.empty() ? "" : "; ") + line;
  }
  return text;
}

/// Removes the listeners it registered when the request ends, however it ends.
class TelemetryListeners {
 public:
  TelemetryListeners(PlanOutcome& outcome)
      : trace_(orvik_communicator::CommunicatorEngine::GetInstance()->getMicroUnitTrace()) {
    end_id_ = trace_->addEndPoseListener([&outcome](const geometry_msgs::msg::PoseStamped& start,
                                                    const geometry_msgs::msg::PoseStamped& goal) {
      // The first request of a multi-leg plan is the one the caller asked for.
      if (!outcome.used_start) {
        outcome.used_start = start;
        outcome.used_goal = goal;
      }
    });
    dir_id_ = trace_->addDirPoseListener([&outcome](const geometry_msgs::msg::PoseStamped& pose) {
      outcome.turn_around_poses.push_back(pose);
    });
  }
  ~TelemetryListeners() {
    trace_->removeListener(end_id_);
    trace_->removeListener(dir_id_);
  }
  TelemetryListeners(const TelemetryListeners&) = delete;
  TelemetryListeners& operator=(const TelemetryListeners&) = delete;

 private:
  std::shared_ptr<orvik_communicator::MicroUnitTrace> trace_;
  int end_id_{0};
  int dir_id_{0};
};

}  // namespace

void mergeTraceCodes(const cv::Mat& codes, cv::Mat& merged) {
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

Astar2Runner::Astar2Runner(std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map)
    : map_(std::move(map)) {
  try {
    planner_ = std::make_unique<orvik_nav2_planner::astar2::AstarPlanner>("orvik_plan", map_);
  } catch (const std::invalid_argument& e) {
    throw ToolError(std::string("cannot build the A* planner: ") + e.what());
  }
  const auto costmap = map_->getMultiGridMap()->getCostmap();
  diagonal_m_ = std::hypot(costmap->getSizeInCellsX() * costmap->getResolution(),
                           costmap->getSizeInCellsY() * costmap->getResolution());
  // Each ordinary search publishes its trace once it ends; the expanded count still belongs to
  // that search at that moment.
  planner_->getTrace()->getTraceMat()->addListener(
      [this](const std::string&, const cv::Mat& codes) {
        if (!collecting_) {
          return;
        }
        searches_.push_back({planner_->expandedCount()});
        if (keep_trace_) {
          mergeTraceCodes(codes, merged_trace_);
        }
      });
}

PlanOutcome Astar2Runner::run(const std::string& request,
                              const geometry_msgs::msg::PoseStamped& start,
                              const std::optional<geometry_msgs::msg::PoseStamped>& goal,
                              orvik_nav2_planner::astar2::AstarOptions options, bool keep_trace) {
  PlanOutcome outcome;
  // The planner trims the reference path it is given to the part ahead of the robot. Each
  // request gets its own copy, so that a batch's queries do not trim one shared path and see
  // results that depend on the order they ran in.
  std::optional<orvik_nav2_planner::astar2::ReferencePath> reference_copy;
  if (options.reference_path != nullptr) {
    reference_copy = *options.reference_path;
    options.reference_path = &*reference_copy;
  }
  options.start_fuzzy_radius = std::min(options.start_fuzzy_radius, diagonal_m_);
  options.goal_fuzzy_radius = std::min(options.goal_fuzzy_radius, diagonal_m_);
  searches_.clear();
  merged_trace_.release();
  keep_trace_ = keep_trace;
  collecting_ = true;
  LogCapture log;
  TelemetryListeners telemetry(outcome);

  const auto begin = std::chrono::steady_clock::now();
  if (request == "forward") {
    orvik_nav2_protocol::msg::Path path;
    outcome.found = planner_->searchForwardPath(start, options, path);
    // The forward search publishes no trace, so its image and count are read directly.
    searches_.push_back({planner_->expandedCount()});
    if (keep_trace) {
      mergeTraceCodes(planner_->getTrace()->getTraceMat()->getMat(), merged_trace_);
    }
    if (outcome.found) {
      outcome.paths.push_back(
          {"forward", path.poses,
           PathFlags{path.goal_tolerance, path.spin_blocked_on_path, path.start_spin_blocked}});
    }
  } else if (request == "paths") {
    orvik_nav2_protocol::msg::MultiPaths paths;
    outcome.found = planner_->searchPaths(start, *goal, options, paths);
    for (std::size_t i = 0; i < paths.paths.size(); ++i) {
      const auto& p = paths.paths[i];
      const std::string role =
          paths.paths.size() == 1 ? "direct" : (i == 0 ? "forward leg" : "backward leg");
      outcome.paths.push_back(
          {role, p.poses,
           PathFlags{p.goal_tolerance, p.spin_blocked_on_path, p.start_spin_blocked}});
    }
  } else {
    orvik_nav2_protocol::msg::Path path;
    outcome.found = planner_->searchPath(start, *goal, options, path);
    if (outcome.found) {
      outcome.paths.push_back(
          {"direct", path.poses,
           PathFlags{path.goal_tolerance, path.spin_blocked_on_path, path.start_spin_blocked}});
    }
  }
  const auto end = std::chrono::steady_clock::now();
  collecting_ = false;
  outcome.search_time_ms = std::chrono::duration<double, std::milli>(end - begin).count();

  if (!searches_.empty()) {
    std::size_t expanded = 0;
    for (const auto& s : searches_) {
      expanded += s.expanded;
    }
    outcome.nodes_expanded = expanded;
  }
  if (keep_trace && !merged_trace_.empty()) {
    outcome.trace_codes = merged_trace_.clone();
    outcome.nodes_opened = static_cast<std::size_t>(cv::countNonZero(merged_trace_));
  }
  if (!outcome.found) {
    const std::string logged = joinLines(log.lines());
    if (!logged.empty()) {
      outcome.reason = "the planner reports: " + logged;
    } else if (request == "forward") {
      outcome.reason = "no cell where the robot can turn around is reachable from the start";
    } else {
      outcome.reason = "the goal cannot be reached from the start (the search ran out of cells)";
    }
  }
  return outcome;
}

}  // namespace orvik_plan
