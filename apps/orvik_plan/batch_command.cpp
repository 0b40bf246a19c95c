// SPDX-License-Identifier: Apache-2.0
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <iostream>

#include "orvik/logger.hpp"
#include "orvik_plan/batch_quality.hpp"
#include "orvik_plan/batch_queries.hpp"
#include "orvik_plan/batch_statistics.hpp"
#include "orvik_plan/commands.hpp"
#include "orvik_plan/interrupt_request.hpp"
#include "orvik_plan/map_input.hpp"
#include "orvik_plan/output_files.hpp"
#include "orvik_plan/path_geometry.hpp"
#include "orvik_plan/path_quality_report.hpp"
#include "orvik_plan/plan_report.hpp"
#include "orvik_plan/planner_session.hpp"
#include "orvik_plan/tool_error.hpp"

namespace orvik_plan {

namespace {

namespace fs = std::filesystem;

/// Progress of one batch file. On a terminal, a bar redrawn in place on standard output;
/// otherwise (a log file, a CI job) a line on standard error when the file starts, every few
/// seconds, and when it ends, so that a long run still shows it is alive.
class ProgressReport {
 public:
  ProgressReport(std::ostream& out, std::string label, std::size_t total)
      : out_(out),
        label_(std::move(label)),
        total_(total),
        terminal_(isatty(STDOUT_FILENO) == 1),
        last_line_(std::chrono::steady_clock::now()) {
    if (!terminal_) {
      std::cerr << label_ << ": " << total_ << " queries\n" << std::flush;
    }
  }
  void update(std::size_t done, std::size_t failed) {
    if (total_ == 0) {
      return;
    }
    if (terminal_) {
      drawBar(done, failed);
      return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - last_line_ >= kLineInterval) {
      last_line_ = now;
      writeLine(done, failed);
    }
  }
  void finish(std::size_t done, std::size_t failed) {
    if (terminal_) {
      out_ << "\n";
    } else {
      writeLine(done, failed);
    }
  }

 private:
  static constexpr std::chrono::seconds kLineInterval{5};

  void drawBar(std::size_t done, std::size_t failed) {
    const int width = 30;
    const int filled = static_cast<int>(width * done / total_);
    out_ << "\r" << label_ << " [" << std::string(filled, '#') << std::string(width - filled, ' ')
         << "] " << done << "/" << total_;
    if (failed > 0) {
      out_ << " (" << failed << " failed)";
    }
    out_ << std::flush;
  }
  void writeLine(std::size_t done, std::size_t failed) {
    std::cerr << label_ << ": " << done << "/" << total_ << " queries done, " << failed
              << " failed\n"
              << std::flush;
  }

  std::ostream& out_;
  std::string label_;
  std::size_t total_;
  bool terminal_;
  std::chrono::steady_clock::time_point last_line_;
};

struct BatchFile {
  std::string name;
  std::shared_ptr<orvik_nav2_gridmap::GridMapROS> map;
  std::string map_path;
  std::vector<BatchQuery> queries;
  bool movingai{false};
};

BatchFile loadBatchFile(const std::string& path, const PlanArguments& a,
                        const orvik_nav2_gridmap::GridMapConfig& config) {
  BatchFile file;
  file.name = fs::path(path).filename().string();
  if (fs::path(path).extension() == ".scen") {
    MovingAiScenario scenario = readMovingAiScenario(path);
    file.movingai = true;
    file.map_path = a.map_yaml.empty() ? findScenarioMap(path, scenario.map_name) : a.map_yaml;
    file.map = loadMovingAiGridMap(file.map_path, config, a.movingai_resolution);
    const auto costmap = file.map->getMultiGridMap()->getCostmap();
    if (costmap->getSizeInCellsX() != scenario.width ||
        costmap->getSizeInCellsY() != scenario.height) {
      throw ToolError(path + ": its queries are for a " + std::to_string(scenario.width) + " x " +
                      std::to_string(scenario.height) + " map, but " + file.map_path + " is " +
                      std::to_string(costmap->getSizeInCellsX()) + " x " +
                      std::to_string(costmap->getSizeInCellsY()));
    }
    file.queries = std::move(scenario.queries);
  } else {
    if (a.map_yaml.empty()) {
      throw ToolError("a CSV batch needs --map (the ROS map its poses are on)");
    }
    file.queries = readQueryCsv(path);
    file.map_path = a.map_yaml;
    file.map = loadRosGridMap(a.map_yaml, config, a.labels_image, a.extra_cost_image);
  }
  return file;
}

/// World pose of a query end: Moving AI cells count rows from the top of the map.
geometry_msgs::msg::PoseStamped queryPose(const BatchFile& file, double x, double y, double yaw) {
  const auto costmap = file.map->getMultiGridMap()->getCostmap();
  const std::string& frame = file.map->getGlobalFrame();
  if (!file.movingai) {
    return makePose(x, y, yaw, frame);
  }
  const double resolution = costmap->getResolution();
  const double row_from_bottom = costmap->getSizeInCellsY() - 1 - y;
  return makePose(costmap->getOriginX() + (x + 0.5) * resolution,
                  costmap->getOriginY() + (row_from_bottom + 0.5) * resolution, yaw, frame);
}

/// Per-query log lines would bury the progress bar and the table; unless the user chose a
/// level, only warnings and errors are shown during a batch.
void quietLibraryLogs() {
  if (std::getenv("SPDLOG_LEVEL") != nullptr) {
    return;
  }
  auto& logger = orvik::Logger::Instance("spdlog");
  logger.level = static_cast<int32_t>(spdlog::level::warn);
  if (logger.logger) {
    logger.logger->set_level(spdlog::level::warn);
  }
}

/// Indices of the queries to run: every n-th, up to the limit.
std::vector<std::size_t> selectQueries(const BatchFile& file, const PlanArguments& a) {
  std::vector<std::size_t> selected;
  for (std::size_t i = 0; i < file.queries.size(); i += static_cast<std::size_t>(a.batch_every)) {
    if (a.batch_limit > 0 && selected.size() >= static_cast<std::size_t>(a.batch_limit)) {
      break;
    }
    selected.push_back(i);
  }
  return selected;
}

QueryResult runQuery(PlannerSession& session, const BatchFile& file, const PlanArguments& a,
                     std::size_t i) {
  const BatchQuery& q = file.queries[i];
  const auto start = queryPose(file, q.start_x, q.start_y, q.start_yaw);
  const auto goal = queryPose(file, q.goal_x, q.goal_y, q.goal_yaw);
  const PlanOutcome outcome = session.run(a.request, start, goal, false);
  const double resolution = file.map->getMultiGridMap()->getCostmap()->getResolution();
  QueryResult r;
  r.index = i;
  r.line = q.line;
  r.bucket = q.bucket;
  r.solved = outcome.found;
  r.time_ms = outcome.search_time_ms;
  r.nodes_expanded = outcome.nodes_expanded.value_or(0);
  for (const auto& path : outcome.paths) {
    r.length_cells += pathLength(path.poses) / resolution;
  }
  r.optimal_length = q.optimal_length;
  if (outcome.found) {
    r.quality = measuredRoute(*file.map, outcome.paths, session.optionsJson());
  }
  r.reason = outcome.reason;
  return r;
}

int runBatch(const PlanArguments& a, std::ostream& out) {
  const auto config = loadGridConfig(a.grid_config_yaml);
  // Every file is read before the first query runs, so a typo in the last one fails at once.
  std::vector<BatchFile> files;
  for (const auto& path : a.batch_files) {
    files.push_back(loadBatchFile(path, a, config));
  }
  quietLibraryLogs();
  const InterruptRequest interrupt;

  std::vector<BatchSummary> rows;
  std::vector<BatchQualitySummary> quality_rows;
  nlohmann::json json = {{"tool", "orvik_plan"},
                         {"planner", a.planner},
                         {"request", a.request},
                         {"interrupted", false},
                         {"scenarios", nlohmann::json::array()}};
  bool all_solved = true;
  for (const auto& file : files) {
    if (interrupt.requested()) {
      break;
    }
    PlannerSession session(file.map, a.planner, a.options_yaml, a.reference_path_file);
    const std::vector<std::size_t> selected = selectQueries(file, a);
    ProgressReport progress(out, file.name, selected.size());
    std::vector<QueryResult> results;
    std::size_t failed = 0;
    for (const std::size_t i : selected) {
      // Checked between queries: the one running when Ctrl-C came is finished and counted.
      if (interrupt.requested()) {
        break;
      }
      results.push_back(runQuery(session, file, a, i));
      failed += results.back().solved ? 0 : 1;
      progress.update(results.size(), failed);
    }
    progress.finish(results.size(), failed);
    all_solved = all_solved && failed == 0;
    rows.push_back(summarise(file.name, results));
    quality_rows.push_back(summariseQuality(file.name, results));
    nlohmann::json entry = {{"name", file.name},
                            {"map", file.map_path},
                            {"queries_selected", selected.size()},
                            {"summary", summaryToJson(rows.back())},
                            {"quality", qualitySummaryToJson(quality_rows.back())},
                            {"queries", nlohmann::json::array()}};
    for (const auto& r : results) {
      entry["queries"].push_back(queryResultToJson(r));
    }
    json["scenarios"].push_back(std::move(entry));
    for (const auto& r : results) {
      if (!r.solved) {
        out << file.name << " line " << r.line << ": not solved: " << r.reason << "\n";
      }
    }
  }
  const bool interrupted = interrupt.requested();
  json["interrupted"] = interrupted;
  out << "\n" << formatBatchTable(rows);
  out << formatQualityTable(quality_rows);
  if (interrupted) {
    out << "INTERRUPTED: the table and the JSON cover the queries that ran before Ctrl-C\n";
  }
  if (!a.json_file.empty()) {
    writeTextFile(a.json_file, json.dump(1) + "\n");
    out << "per-query results: " << a.json_file << "\n";
  }
  out.flush();
  if (interrupted) {
    return kExitInterrupted;
  }
  return all_solved ? kExitOk : kExitNoPath;
}

}  // namespace

int runBatchCommand(const PlanArguments& a, std::ostream& out) {
  const RunOutputs outputs({a.json_file});
  try {
    return runBatch(a, out);
  } catch (...) {
    outputs.discardStale();
    throw;
  }
}

}  // namespace orvik_plan
