// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/batch_queries.hpp"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "orvik_plan/input_file.hpp"
#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace fs = std::filesystem;

namespace {

bool parseNumber(std::string text, double& value) {
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ')) {
    text.pop_back();
  }
  while (!text.empty() && text.front() == ' ') {
    text.erase(text.begin());
  }
  if (text.empty()) {
    return false;
  }
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && errno != ERANGE && std::isfinite(value);
}

bool parseCount(const std::string& text, long long& value) {
  double number = 0.0;
  if (!parseNumber(text, number) || number != std::floor(number) || number < 0 || number > 1e9) {
    return false;
  }
  value = static_cast<long long>(number);
  return true;
}

std::vector<std::string> split(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, separator)) {
    fields.push_back(field);
  }
  if (!line.empty() && line.back() == separator) {
    fields.emplace_back();
  }
  return fields;
}

// The largest Moving AI scenario files hold about 10,000 queries in well under 1 MiB.
constexpr std::size_t kMaxQueryFileBytes = 64u << 20;

std::istringstream openOrThrow(const std::string& path) {
  return std::istringstream(readInputFile(path, kMaxQueryFileBytes));
}

}  // namespace

MovingAiScenario readMovingAiScenario(const std::string& path) {
  std::istringstream in = openOrThrow(path);
  MovingAiScenario scenario;
  std::string line;
  int number = 0;
  bool seen_version = false;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (line.find_first_not_of(" \t") == std::string::npos) {
      continue;
    }
    const std::string where = path + ":" + std::to_string(number);
    if (!seen_version) {
      if (line.rfind("version", 0) != 0) {
        throw ToolError(where + ": a Moving AI scenario starts with 'version 1'");
      }
      seen_version = true;
      continue;
    }
    const auto fields = split(line, '\t');
    if (fields.size() != 9) {
      throw ToolError(where + ": expected 9 tab-separated fields, found " +
                      std::to_string(fields.size()));
    }
    long long bucket = 0, width = 0, height = 0, sx = 0, sy = 0, gx = 0, gy = 0;
    double optimum = 0.0;
    if (!parseCount(fields[0], bucket) || !parseCount(fields[2], width) ||
        !parseCount(fields[3], height) || !parseCount(fields[4], sx) ||
        !parseCount(fields[5], sy) || !parseCount(fields[6], gx) || !parseCount(fields[7], gy) ||
        !parseNumber(fields[8], optimum) || optimum < 0.0) {
      throw ToolError(where + ": malformed query (whole numbers, then a length >= 0 expected)");
    }
    if (width == 0 || height == 0 || sx >= width || gx >= width || sy >= height || gy >= height) {
      throw ToolError(where + ": start or goal outside the " + std::to_string(width) + " x " +
                      std::to_string(height) + " map");
    }
    const std::string map_name = fs::path(fields[1]).filename().string();
    if (scenario.queries.empty()) {
      scenario.map_name = map_name;
      scenario.width = static_cast<unsigned int>(width);
      scenario.height = static_cast<unsigned int>(height);
    } else if (map_name != scenario.map_name || width != scenario.width ||
               height != scenario.height) {
      throw ToolError(where + ": every query of a scenario must use the same map");
    }
    BatchQuery q;
    q.line = number;
    q.bucket = static_cast<int>(bucket);
    q.start_x = static_cast<double>(sx);
    q.start_y = static_cast<double>(sy);
    q.goal_x = static_cast<double>(gx);
    q.goal_y = static_cast<double>(gy);
    q.optimal_length = optimum;
    scenario.queries.push_back(q);
  }
  if (scenario.queries.empty()) {
    throw ToolError(path + ": no queries");
  }
  return scenario;
}

std::string findScenarioMap(const std::string& scenario_path, const std::string& map_name) {
  const fs::path scen(scenario_path);
  std::error_code ec;
  if (scen.extension() == ".scen") {
    const fs::path beside = scen.parent_path() / scen.stem();
    if (fs::is_regular_file(beside, ec)) {
      return beside.string();
    }
  }
  const fs::path named = scen.parent_path() / map_name;
  if (fs::is_regular_file(named, ec)) {
    return named.string();
  }
  throw ToolError("the map " + map_name + " of " + scenario_path + " is not beside it");
}

std::vector<BatchQuery> readQueryCsv(const std::string& path) {
  std::istringstream in = openOrThrow(path);
  std::vector<BatchQuery> queries;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    const auto hash = line.find('#');
    if (hash != std::string::npos) {
      line.resize(hash);
    }
    if (line.find_first_not_of(" \t\r") == std::string::npos) {
      continue;
    }
    const auto fields = split(line, ',');
    std::vector<double> values;
    bool ok = fields.size() == 4 || fields.size() == 6;
    for (const auto& field : fields) {
      double value = 0.0;
      ok = ok && parseNumber(field, value);
      values.push_back(value);
    }
    if (!ok) {
      double first = 0.0;
      if (queries.empty() && !fields.empty() && !parseNumber(fields[0], first)) {
        continue;  // a header line of column names
      }
      throw ToolError(path + ":" + std::to_string(number) +
                      ": expected sx,sy,syaw,gx,gy,gyaw (or sx,sy,gx,gy) as finite numbers");
    }
    BatchQuery q;
    q.line = number;
    q.start_x = values[0];
    q.start_y = values[1];
    if (values.size() == 6) {
      q.start_yaw = values[2];
      q.goal_x = values[3];
      q.goal_y = values[4];
      q.goal_yaw = values[5];
    } else {
      q.goal_x = values[2];
      q.goal_y = values[3];
    }
    queries.push_back(q);
  }
  if (queries.empty()) {
    throw ToolError(path + ": no queries");
  }
  return queries;
}

}  // namespace orvik_plan
