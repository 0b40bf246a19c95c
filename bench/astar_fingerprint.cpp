// SPDX-License-Identifier: Apache-2.0
// Fingerprint of what the A* planner v2 computes, for checking that a change meant only for
// speed changes no result: for every request, the return value, the path message, the number
// of expanded nodes, every node's cell, g, parent and flags, and the trace image, hashed. Runs
// the Nav2 benchmark pairs (when the shared maps are present) and generated maps under every
// request mode and the optional search terms. Prints one hash per group and one over all.
//
// Uses only the planner's public interface and our platform's image accessor, so the same file
// builds against an older commit for a before/after comparison.
//
// Usage: astar_fingerprint [--maps DIR] [--verbose]  (--verbose prints a hash per request)
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "orvik_nav2_planner/astar_planner.hpp"
#include "orvik_nav2_planner/reference_path.hpp"
#include "support/nav2_benchmark_pairs.hpp"

namespace {

using orvik_nav2_planner::astar2::AstarNode;
using orvik_nav2_planner::astar2::AstarOptions;
using orvik_nav2_planner::astar2::AstarPlanner;
using GridMapPtr = std::shared_ptr<orvik_nav2_gridmap::GridMapROS>;

// FNV-1a, 64 bits.
class Hash {
 public:
  void bytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) {
      value_ = (value_ ^ p[i]) * 1099511628211ULL;
    }
  }
  template <typename T>
  void add(const T& v) {
    bytes(&v, sizeof(v));
  }
  void add(const std::string& s) {
    add(s.size());
    bytes(s.data(), s.size());
  }
  uint64_t value() const { return value_; }

 private:
  uint64_t value_{1469598103934665603ULL};
};

void addPose(Hash& h, const geometry_msgs::msg::PoseStamped& pose) {
  h.add(pose.header.frame_id);
  h.add(pose.pose.position.x);
  h.add(pose.pose.position.y);
  h.add(pose.pose.position.z);
  h.add(pose.pose.orientation.x);
  h.add(pose.pose.orientation.y);
  h.add(pose.pose.orientation.z);
  h.add(pose.pose.orientation.w);
}

void addPath(Hash& h, const orvik_nav2_protocol::msg::Path& path) {
  h.add(path.header.frame_id);
  h.add(path.poses.size());
  for (const auto& pose : path.poses) {
    addPose(h, pose);
  }
  h.add(path.goal_tolerance);
  h.add(path.spin_blocked_on_path);
  h.add(path.start_spin_blocked);
}

// What the planner holds after a request: its expanded count, every node and the trace image.
void addSearchState(Hash& h, const AstarPlanner& planner, const GridMapPtr& map) {
  h.add(planner.expandedCount());
  const auto costmap = map->getMultiGridMap()->getCostmap();
  const auto size_x = static_cast<int32_t>(costmap->getSizeInCellsX());
  const auto size_y = static_cast<int32_t>(costmap->getSizeInCellsY());
  const auto& table = *planner.getTable();
  for (int32_t y = 0; y < size_y; ++y) {
    for (int32_t x = 0; x < size_x; ++x) {
      const AstarNode* node = table.find(x, y);
      if (node == nullptr) {
        continue;
      }
      h.add(node->index);
      h.add(node->x);
      h.add(node->y);
      h.add(node->g);
      h.add(node->parent != nullptr ? node->parent->index : -1);
      h.add(node->closed);
      h.add(node->opened);
    }
  }
  const cv::Mat& image = planner.getTrace()->getTraceMat()->getMat();
  for (int row = 0; row < image.rows; ++row) {
    h.bytes(image.ptr(row), static_cast<std::size_t>(image.cols) * image.elemSize());
  }
}

struct Group {
  std::string name;
  Hash hash;
  int requests{0};
  int found{0};
};

bool verbose = false;

void finishRequest(Group& group, Hash& request, bool ok) {
  ++group.requests;
  group.found += ok ? 1 : 0;
  group.hash.add(request.value());
  if (verbose) {
    std::printf("  %s #%d ok=%d %016llx\n", group.name.c_str(), group.requests - 1, ok ? 1 : 0,
                static_cast<unsigned long long>(request.value()));
  }
}

void runNav2Pairs(const std::string& dir, std::vector<Group>& groups) {
  for (const std::string& stem : orvik_bench::nav2BenchmarkStems()) {
    GridMapPtr map;
    try {
      map = orvik_nav2_gridmap::loadRosMap(dir + "/" + stem + ".yaml",
                                           orvik_bench::nav2DefaultBringupConfig());
    } catch (const std::exception& e) {
      std::printf("%s skipped: %s\n", stem.c_str(), e.what());
      continue;
    }
    Group group{"nav2 " + stem, {}, 0, 0};
    AstarPlanner planner("fingerprint", map);
    const auto options = orvik_bench::nav2BenchmarkOptions();
    for (const auto& pair : orvik_bench::loadPosePairs(dir + "/" + stem + ".pairs.csv")) {
      orvik_nav2_protocol::msg::Path path;
      const bool ok = planner.searchPath(pair.start, pair.goal, options, path);
      Hash request;
      request.add(ok);
      addPath(request, path);
      addSearchState(request, planner, map);
      finishRequest(group, request, ok);
    }
    groups.push_back(group);
  }
}

// A field of graded costs with lethal blobs, an extra cost layer and two passage bands.
GridMapPtr generatedMap(unsigned int seed, unsigned int size_x, unsigned int size_y) {
  std::mt19937 rng(seed);
  nav2_costmap_2d::Costmap2D costmap(size_x, size_y, 0.05, 0.0, 0.0, 0);
  std::uniform_int_distribution<int> cost(0, 200);
  for (unsigned int y = 0; y < size_y; ++y) {
    for (unsigned int x = 0; x < size_x; ++x) {
      costmap.setCost(x, y, static_cast<unsigned char>(rng() % 3 == 0 ? cost(rng) : 0));
    }
  }
  for (int blob = 0; blob < static_cast<int>(size_x * size_y / 900); ++blob) {
    const unsigned int cx = rng() % size_x;
    const unsigned int cy = rng() % size_y;
    const unsigned int r = 1 + rng() % 4;
    for (unsigned int y = cy > r ? cy - r : 0; y <= cy + r && y < size_y; ++y) {
      for (unsigned int x = cx > r ? cx - r : 0; x <= cx + r && x < size_x; ++x) {
        costmap.setCost(x, y, 254);
      }
    }
  }
  std::vector<int> labels(static_cast<std::size_t>(size_x) * size_y, 0);
  std::vector<uint8_t> extra(labels.size(), 0);
  for (unsigned int y = 0; y < size_y; ++y) {
    for (unsigned int x = 0; x < size_x; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * size_x + x;
      if (y >= size_y / 3 && y < size_y / 3 + 8) {
        labels[i] = x < size_x / 2 ? 1 : 2;
      }
      extra[i] = static_cast<uint8_t>(rng() % 40);
    }
  }
  orvik_nav2_gridmap::GridMapConfig config;
  config.robot_radius = 0.1;
  config.danger_clearances = {0.1, 0.0};
  return std::make_shared<orvik_nav2_gridmap::GridMapROS>(costmap, config, labels, extra);
}

geometry_msgs::msg::PoseStamped cellPose(const GridMapPtr& map, unsigned int x, unsigned int y,
                                         double yaw) {
  geometry_msgs::msg::PoseStamped pose;
  pose.header.frame_id = map->getGlobalFrame();
  map->getMultiGridMap()->getCostmap()->mapToWorld(x, y, pose.pose.position.x,
                                                   pose.pose.position.y);
  pose.pose.orientation.z = std::sin(yaw / 2.0);
  pose.pose.orientation.w = std::cos(yaw / 2.0);
  return pose;
}

void runGeneratedMaps(std::vector<Group>& groups) {
  const char* modes[] = {"plain",    "cost_flag",    "spin_rating", "path_consistency",
                         "passages", "danger_fuzzy", "forward",     "multi_paths"};
  std::vector<Group> by_mode;
  for (const char* mode : modes) {
    by_mode.push_back({std::string("generated ") + mode, {}, 0, 0});
  }
  for (unsigned int seed = 1; seed <= 4; ++seed) {
    const unsigned int size_x = 90 + seed * 37;
    const unsigned int size_y = 70 + seed * 23;
    const GridMapPtr map = generatedMap(seed, size_x, size_y);
    AstarPlanner planner("fingerprint", map);
    std::mt19937 rng(seed * 101);
    for (int query = 0; query < 6; ++query) {
      const double yaw = (rng() % 628) / 100.0;
      const auto start = cellPose(map, rng() % size_x, rng() % size_y, yaw);
      const auto goal = cellPose(map, rng() % size_x, rng() % size_y, yaw + 1.0);
      for (std::size_t mode = 0; mode < by_mode.size(); ++mode) {
        AstarOptions options;
        options.start_fuzzy_radius = 0.3;
        options.goal_fuzzy_radius = 0.3;
        orvik_nav2_planner::astar2::ReferencePath reference;
        switch (mode) {
          case 1:
            options.cost_flag = true;
            options.cost_weight = 0.05;
            break;
          case 2:
            options.check_spin_direction = true;
            options.spin_penalty = 15;
            break;
          case 3: {
            options.use_path_consistency = true;
            options.linear_velocity = 0.4;
            options.angular_velocity = 0.3;
            options.predict_time = 1.5;
            options.reference_path = &reference;
            reference.cost = 1.5;
            reference.distance = 4.0;
            for (int k = 0; k <= 40; ++k) {
              geometry_msgs::msg::PoseStamped p = start;
              p.pose.position.x += (goal.pose.position.x - start.pose.position.x) * k / 40.0;
              p.pose.position.y += (goal.pose.position.y - start.pose.position.y) * k / 40.0 + 0.3;
              reference.path.poses.push_back(p);
            }
            break;
          }
          case 4:
            options.priority_preference = true;
            options.outside_penalty = 0.4;
            options.boundary_weight = 0.3;
            options.center_weight = 0.2;
            options.target_label = query % 2 == 0 ? 0 : 2;
            break;
          case 5:
            options.danger_level = 1;
            options.start_fuzzy_radius = 0.6;
            options.goal_fuzzy_radius = 0.6;
            options.check_goal_reachable = true;
            options.goal_tolerance = 0.2;
            break;
          case 7:
            options.check_spin_direction = true;
            options.search_spin_free_point = true;
            options.spin_penalty = 40;
            break;
          default:
            break;
        }
        Hash request;
        bool ok = false;
        if (mode == 6) {
          orvik_nav2_protocol::msg::Path path;
          ok = planner.searchForwardPath(start, options, path);
          request.add(ok);
          addPath(request, path);
        } else if (mode == 7) {
          orvik_nav2_protocol::msg::MultiPaths paths;
          ok = planner.searchPaths(start, goal, options, paths);
          request.add(ok);
          request.add(paths.paths.size());
          for (const auto& path : paths.paths) {
            addPath(request, path);
          }
        } else {
          orvik_nav2_protocol::msg::Path path;
          ok = planner.searchPath(start, goal, options, path);
          request.add(ok);
          addPath(request, path);
        }
        addSearchState(request, planner, map);
        finishRequest(by_mode[mode], request, ok);
      }
    }
  }
  groups.insert(groups.end(), by_mode.begin(), by_mode.end());
}

}  // namespace

int main(int argc, char** argv) {
  setenv("SPDLOG_LEVEL", "critical", 0);
  std::string dir = std::string(ORVIK_SHARED_MAPS_DIR) + "/nav2_benchmark";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--maps" && i + 1 < argc) {
      dir = argv[++i];
    } else if (arg == "--verbose") {
      verbose = true;
    } else {
      std::fprintf(stderr, "usage: %s [--maps DIR] [--verbose]\n", argv[0]);
      return 2;
    }
  }
  std::vector<Group> groups;
  runGeneratedMaps(groups);
  runNav2Pairs(dir, groups);
  Hash all;
  for (const Group& group : groups) {
    std::printf("%-28s requests=%3d found=%3d %016llx\n", group.name.c_str(), group.requests,
                group.found, static_cast<unsigned long long>(group.hash.value()));
    all.add(group.hash.value());
  }
  std::printf("all %016llx\n", static_cast<unsigned long long>(all.value()));
  return 0;
}
