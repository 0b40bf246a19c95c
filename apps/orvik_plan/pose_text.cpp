// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/pose_text.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "orvik_plan/input_file.hpp"
#include "orvik_plan/path_geometry.hpp"
#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace {

// A reference path of a million poses is already far longer than any route on a real map.
constexpr std::size_t kMaxPoseFileBytes = 64u << 20;
// The planners mark a corridor around every reference pose a request keeps; 100,000 poses are
// 5 km at 5 cm spacing, more than any route, while millions of poses piled on one spot would
// keep every request busy for hours.
constexpr std::size_t kMaxPathFilePoses = 100000;

std::string trim(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) {
    return "";
  }
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

/// Whole-token parse: "1.5x" or "" are refused rather than read as 1.5 or 0.
bool parseFiniteDouble(const std::string& token, double& value) {
  const std::string text = trim(token);
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && errno != ERANGE && std::isfinite(value);
}

std::vector<std::string> splitFields(const std::string& line) {
  std::string normalised = line;
  for (char& c : normalised) {
    if (c == ',' || c == '\t' || c == ';') {
      c = ' ';
    }
  }
  std::istringstream in(normalised);
  std::vector<std::string> fields;
  std::string field;
  while (in >> field) {
    fields.push_back(field);
  }
  return fields;
}

PoseList posesFromJson(const nlohmann::json& doc, const std::string& path,
                       const std::string& frame) {
  PoseList poses;
  auto addPose = [&](const nlohmann::json& p) {
    double x = 0.0, y = 0.0, yaw = 0.0;
    if (p.is_object() && p.contains("x") && p.contains("y") && p["x"].is_number() &&
        p["y"].is_number()) {
      x = p["x"].get<double>();
      y = p["y"].get<double>();
      yaw = p.contains("yaw") && p["yaw"].is_number() ? p["yaw"].get<double>() : 0.0;
    } else if (p.is_array() && (p.size() == 2 || p.size() == 3) && p[0].is_number() &&
               p[1].is_number() && (p.size() == 2 || p[2].is_number())) {
      x = p[0].get<double>();
      y = p[1].get<double>();
      yaw = p.size() == 3 ? p[2].get<double>() : 0.0;
    } else {
      throw ToolError(path + ": a pose must be {\"x\",\"y\",\"yaw\"} or [x, y, yaw]");
    }
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(yaw)) {
      throw ToolError(path + ": pose with a non-finite value");
    }
    poses.push_back(makePose(x, y, yaw, frame));
  };
  if (doc.is_array()) {
    for (const auto& p : doc) {
      addPose(p);
    }
  } else if (doc.is_object() && doc.contains("final_paths") && doc["final_paths"].is_array()) {
    // The route of an earlier orvik_plan run: every leg in driving order.
    for (const auto& leg : doc["final_paths"]) {
      if (!leg.is_object() || !leg.contains("poses") || !leg["poses"].is_array()) {
        throw ToolError(path + ": final_paths entries need a poses list");
      }
      for (const auto& p : leg["poses"]) {
        addPose(p);
      }
    }
  } else {
    throw ToolError(path + ": expected a list of poses or the JSON written by orvik_plan");
  }
  return poses;
}

}  // namespace

geometry_msgs::msg::PoseStamped parsePoseText(const std::string& text, const std::string& what,
                                              const std::string& frame) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(text);
  while (std::getline(in, field, ',')) {
    fields.push_back(field);
  }
  if (!text.empty() && text.back() == ',') {
    fields.push_back("");
  }
  double values[3] = {0.0, 0.0, 0.0};
  const bool count_ok = fields.size() == 2 || fields.size() == 3;
  bool ok = count_ok;
  for (std::size_t i = 0; ok && i < fields.size(); ++i) {
    ok = parseFiniteDouble(fields[i], values[i]);
  }
  if (!ok) {
    throw ToolError(what + " '" + text +
                    "' is not x,y,yaw in metres and radians (three finite numbers)");
  }
  return makePose(values[0], values[1], values[2], frame);
}

std::vector<geometry_msgs::msg::PoseStamped> readPoseFile(const std::string& path,
                                                          const std::string& frame) {
  const std::string text = readInputFile(path, kMaxPoseFileBytes);
  const std::string start = trim(text);
  PoseList poses;
  if (!start.empty() && (start.front() == '{' || start.front() == '[')) {
    nlohmann::json doc;
    try {
      doc = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
      throw ToolError(path + ": not valid JSON: " + e.what());
    }
    poses = posesFromJson(doc, path, frame);
  } else {
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
      ++number;
      const auto hash = line.find('#');
      if (hash != std::string::npos) {
        line.resize(hash);
      }
      const auto fields = splitFields(line);
      if (fields.empty()) {
        continue;
      }
      double values[3] = {0.0, 0.0, 0.0};
      bool ok = fields.size() == 2 || fields.size() == 3;
      for (std::size_t i = 0; ok && i < fields.size(); ++i) {
        ok = parseFiniteDouble(fields[i], values[i]);
      }
      if (!ok) {
        // A leading line of column names is allowed; anything else is a mistake.
        if (poses.empty() && number == 1 && !fields.empty() &&
            !parseFiniteDouble(fields[0], values[0])) {
          continue;
        }
        throw ToolError(path + ":" + std::to_string(number) +
                        ": expected 'x y [yaw]' with finite numbers");
      }
      poses.push_back(makePose(values[0], values[1], values[2], frame));
    }
  }
  if (poses.size() < 2) {
    throw ToolError(path + ": a path needs at least two poses");
  }
  if (poses.size() > kMaxPathFilePoses) {
    throw ToolError(path + ": " + std::to_string(poses.size()) + " poses, more than the limit of " +
                    std::to_string(kMaxPathFilePoses) + " for a reference path");
  }
  return poses;
}

}  // namespace orvik_plan
