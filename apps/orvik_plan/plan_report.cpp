// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/plan_report.hpp"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "orvik_plan/output_files.hpp"
#include "orvik_plan/path_quality_report.hpp"
#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace {

std::string fixed(double value, int digits) {
  std::ostringstream out;
  out << std::fixed << std::setprecision(digits) << value;
  return out.str();
}

std::string poseText(const geometry_msgs::msg::PoseStamped& pose) {
  return "(" + fixed(pose.pose.position.x, 3) + ", " + fixed(pose.pose.position.y, 3) + ", " +
         fixed(quaternionToYaw(pose.pose.orientation), 3) + ")";
}

nlohmann::json cornerToJson(const CornerRecord& c) {
  return {{"x", c.x},
          {"y", c.y},
          {"index", c.index},
          {"angle", c.angle},
          {"heading_in", c.heading_in},
          {"heading_out", c.heading_out}};
}

nlohmann::json timeLimitToJson(const TimeLimitRecord& limit) {
  return {{"max_time_s", limit.limit_s},
          {"stopped_by_time_limit", limit.reached},
          {"paths_cut_short", limit.cut_short}};
}

std::string yesNo(bool value) {
  return value ? "yes" : "no";
}

}  // namespace

nlohmann::json poseToJson(const geometry_msgs::msg::PoseStamped& pose) {
  return {{"x", pose.pose.position.x},
          {"y", pose.pose.position.y},
          {"yaw", quaternionToYaw(pose.pose.orientation)}};
}

nlohmann::json pathToJson(const PathRecord& path) {
  nlohmann::json j;
  j["role"] = path.role;
  j["pose_count"] = path.poses.size();
  j["length_m"] = pathLength(path.poses);
  if (path.flags) {
    j["goal_tolerance"] = path.flags->goal_tolerance;
    j["spin_blocked_on_path"] = path.flags->spin_blocked_on_path;
    j["start_spin_blocked"] = path.flags->start_spin_blocked;
  }
  if (path.quality) {
    j["quality"] = qualityToJson(*path.quality);
  }
  j["poses"] = nlohmann::json::array();
  for (const auto& pose : path.poses) {
    j["poses"].push_back(poseToJson(pose));
  }
  return j;
}

nlohmann::json reportToJson(const PlanReport& r) {
  nlohmann::json j;
  j["tool"] = "orvik_plan";
  j["map"] = {{"source", r.map.source},         {"frame", r.map.frame},
              {"size_x", r.map.size_x},         {"size_y", r.map.size_y},
              {"resolution", r.map.resolution}, {"origin", {r.map.origin_x, r.map.origin_y}}};
  nlohmann::json request;
  request["planner"] = r.arguments.planner;
  request["request"] = r.arguments.request;
  request["start"] = poseToJson(r.start);
  request["goal"] = r.goal ? poseToJson(*r.goal) : nlohmann::json(nullptr);
  request["options"] = r.options;
  request["post_steps"] = r.arguments.post_steps;
  j["request"] = request;

  const PlanOutcome& o = r.outcome;
  j["found"] = o.found;
  j["reason"] = o.reason;
  j["search_time_ms"] = o.search_time_ms;
  j["nodes_expanded"] = o.nodes_expanded ? nlohmann::json(*o.nodes_expanded) : nlohmann::json();
  j["nodes_opened"] = o.nodes_opened ? nlohmann::json(*o.nodes_opened) : nlohmann::json();
  j["used_start"] = o.used_start ? poseToJson(*o.used_start) : nlohmann::json();
  j["used_goal"] = o.used_goal ? poseToJson(*o.used_goal) : nlohmann::json();
  j["planner_paths"] = nlohmann::json::array();
  for (const auto& path : o.paths) {
    j["planner_paths"].push_back(pathToJson(path));
  }
  j["turn_around_poses"] = nlohmann::json::array();
  for (const auto& pose : o.turn_around_poses) {
    j["turn_around_poses"].push_back(poseToJson(pose));
  }

  j["steps"] = nlohmann::json::array();
  for (const auto& step : r.steps) {
    nlohmann::json s;
    s["name"] = step.name;
    s["ok"] = step.ok;
    s["notes"] = step.notes;
    s["paths"] = nlohmann::json::array();
    for (const auto& path : step.paths) {
      s["paths"].push_back(pathToJson(path));
    }
    if (step.name == "sunny") {
      s["sunny_corners"] = nlohmann::json::array();
      for (const auto& c : step.sunny_corners) {
        s["sunny_corners"].push_back(cornerToJson(c));
      }
      s["line_corners"] = nlohmann::json::array();
      for (const auto& c : step.line_corners) {
        s["line_corners"].push_back(cornerToJson(c));
      }
      s["cut_poses"] = nlohmann::json::array();
      for (const auto& pose : step.cut_poses) {
        s["cut_poses"].push_back(poseToJson(pose));
      }
    }
    if (step.time_limit) {
      s["time_limit"] = timeLimitToJson(*step.time_limit);
    }
    j["steps"].push_back(s);
  }
  j["final_paths"] = nlohmann::json::array();
  for (const auto& path : r.final_paths) {
    j["final_paths"].push_back(pathToJson(path));
  }
  j["outputs"] = {
      {"json", r.json_file}, {"csv", r.csv_file}, {"png", r.png_file}, {"png_scale", r.png_scale}};
  if (!r.png_note.empty()) {
    j["outputs"]["png_note"] = r.png_note;
  }
  return j;
}

void writeTextFile(const std::string& path, const std::string& text) {
  writeFileAtomically(path, text);
}

std::string pathsToCsv(const std::vector<PathRecord>& paths) {
  std::ostringstream csv;
  csv << "path,role,pose,x,y,yaw\n";
  csv << std::setprecision(10);
  for (std::size_t p = 0; p < paths.size(); ++p) {
    for (std::size_t i = 0; i < paths[p].poses.size(); ++i) {
      const auto& pose = paths[p].poses[i];
      csv << p << "," << paths[p].role << "," << i << "," << pose.pose.position.x << ","
          << pose.pose.position.y << "," << quaternionToYaw(pose.pose.orientation) << "\n";
    }
  }
  return csv.str();
}

std::string summaryText(const PlanReport& r) {
  std::ostringstream s;
  const PlanOutcome& o = r.outcome;
  s << "\n==== orvik_plan ====\n";
  s << "map        " << r.map.source << "  (" << r.map.size_x << " x " << r.map.size_y << " cells, "
    << r.map.resolution << " m)\n";
  s << "planner    " << r.arguments.planner << ", request " << r.arguments.request << "\n";
  s << "start      " << poseText(r.start);
  if (o.used_start &&
      std::hypot(o.used_start->pose.position.x - r.start.pose.position.x,
                 o.used_start->pose.position.y - r.start.pose.position.y) > r.map.resolution) {
    s << "  -> moved to " << poseText(*o.used_start);
  }
  s << "\n";
  if (r.goal) {
    s << "goal       " << poseText(*r.goal);
    if (o.used_goal &&
        std::hypot(o.used_goal->pose.position.x - r.goal->pose.position.x,
                   o.used_goal->pose.position.y - r.goal->pose.position.y) > r.map.resolution) {
      s << "  -> moved to " << poseText(*o.used_goal);
    }
    s << "\n";
  }
  s << "result     " << (o.found ? "FOUND" : "NOT FOUND");
  if (!o.found && !o.reason.empty()) {
    s << ": " << o.reason;
  }
  s << "\n";
  s << "search     " << fixed(o.search_time_ms, 2) << " ms";
  if (o.nodes_expanded) {
    s << ", " << *o.nodes_expanded << " nodes expanded";
  }
  if (o.nodes_opened) {
    s << ", " << *o.nodes_opened << " cells opened";
  }
  s << "\n";
  for (const auto& path : o.paths) {
    s << "path       " << path.role << ": " << path.poses.size() << " poses, "
      << fixed(pathLength(path.poses), 2) << " m";
    if (path.flags) {
      s << ", start_spin_blocked " << yesNo(path.flags->start_spin_blocked)
        << ", spin_blocked_on_path " << yesNo(path.flags->spin_blocked_on_path)
        << ", goal_tolerance " << path.flags->goal_tolerance;
    }
    s << "\n";
    if (path.quality) {
      s << "           " << qualityText(*path.quality) << "\n";
    }
  }
  if (!o.turn_around_poses.empty()) {
    s << "turn-around poses published: " << o.turn_around_poses.size() << ", first at "
      << poseText(o.turn_around_poses.front()) << "\n";
  }
  for (const auto& step : r.steps) {
    s << "step       " << step.name << (step.ok ? "" : " (FAILED)") << ":";
    for (const auto& path : step.paths) {
      s << " " << path.role << " " << path.poses.size() << " poses "
        << fixed(pathLength(path.poses), 2) << " m;";
    }
    s << "\n";
    for (const auto& path : step.paths) {
      if (path.quality) {
        s << "           " << path.role << ": " << qualityText(*path.quality) << "\n";
      }
    }
    if (step.name == "sunny") {
      s << "           sunny corners: " << step.sunny_corners.size()
        << ", on fitted lines: " << step.line_corners.size()
        << ", cut poses: " << step.cut_poses.size() << "\n";
      for (const auto& c : step.line_corners) {
        s << "           corner at (" << fixed(c.x, 3) << ", " << fixed(c.y, 3) << ") turning "
          << fixed(c.angle * 180.0 / M_PI, 1) << " deg\n";
      }
    }
    if (step.time_limit) {
      s << "           time limit " << step.time_limit->limit_s << " s per path: "
        << (step.time_limit->reached ? "REACHED, the result depends on the machine's speed"
                                     : "not reached")
        << "\n";
    }
    for (const auto& note : step.notes) {
      s << "           " << note << "\n";
    }
  }
  s << "outputs    JSON " << (r.json_file.empty() ? "-" : r.json_file);
  if (!r.png_file.empty()) {
    s << ", picture " << r.png_file;
  }
  if (!r.png_note.empty()) {
    s << " (picture: " << r.png_note << ")";
  }
  if (!r.csv_file.empty()) {
    s << ", CSV " << r.csv_file;
  }
  s << "\n";
  return s.str();
}

}  // namespace orvik_plan
