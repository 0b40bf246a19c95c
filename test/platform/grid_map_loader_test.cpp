// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <string>
#include <utility>

#include "nav2_costmap_2d/cost_values.hpp"
#include "orvik_nav2_gridmap/map_loader.hpp"
#include "platform/temp_files.hpp"
#include "support/grid_fixtures.hpp"

using orvik_nav2_gridmap::GridMapConfig;
using orvik_nav2_gridmap::loadGridMapConfig;
using orvik_nav2_gridmap::loadMovingAiMap;
using orvik_nav2_gridmap::loadOccupancyGrid;
using orvik_nav2_gridmap::loadRosMap;
using orvik_nav2_gridmap::MapLoadError;

namespace {

template <class F>
void expectLoadErrorMentioning(F&& load, const std::string& needle) {
  try {
    load();
    ADD_FAILURE() << "no MapLoadError; expected one mentioning " << needle;
  } catch (const MapLoadError& e) {
    EXPECT_NE(std::string(e.what()).find(needle), std::string::npos) << e.what();
  }
}

const char* kMapYaml =
    "image: m.pgm\nresolution: 0.1\norigin: [0, 0, 0]\nnegate: 0\noccupied_thresh: 0.65\n"
    "free_thresh: 0.196\n";

}  // namespace

TEST(LoadGridMapConfig, ReadsEveryField) {
  orvik_test::TempDir tmp;
  const auto config = loadGridMapConfig(
      tmp.write("c.yaml",
                "global_frame: odom\n"
                "footprint: [[0.3, 0.2], [-0.3, 0.2], [-0.3, -0.2], [0.3, -0.2]]\n"
                "robot_radius: 0.25\n"
                "danger_clearances: [0.4, 0.2, 0.0]\n"
                "unknown_is_obstacle: false\n"
                "inflation:\n"
                "  enabled: true\n"
                "  inscribed_radius: 0.2\n"
                "  inflation_radius: 0.6\n"
                "  cost_scaling_factor: 2.5\n"));
  EXPECT_EQ(config.global_frame, "odom");
  ASSERT_EQ(config.footprint.size(), 4u);
  EXPECT_DOUBLE_EQ(config.footprint[1].x, -0.3);
  EXPECT_DOUBLE_EQ(config.footprint[2].y, -0.2);
  EXPECT_DOUBLE_EQ(config.robot_radius, 0.25);
  EXPECT_EQ(config.danger_clearances, (std::vector<double>{0.4, 0.2, 0.0}));
  EXPECT_FALSE(config.unknown_is_obstacle);
  EXPECT_TRUE(config.inflation.enabled);
  EXPECT_DOUBLE_EQ(config.inflation.inscribed_radius, 0.2);
  EXPECT_DOUBLE_EQ(config.inflation.inflation_radius, 0.6);
  EXPECT_DOUBLE_EQ(config.inflation.cost_scaling_factor, 2.5);
}

TEST(LoadGridMapConfig, EmptyFileGivesDefaultsAndNav2StringFootprintIsAccepted) {
  orvik_test::TempDir tmp;
  const auto defaults = loadGridMapConfig(tmp.write("empty.yaml", ""));
  EXPECT_EQ(defaults.global_frame, GridMapConfig{}.global_frame);
  EXPECT_TRUE(defaults.footprint.empty());
  const auto config = loadGridMapConfig(
      tmp.write("s.yaml", "footprint: \"[[0.1, 0.1], [-0.1, 0.1], [0.0, -0.1]]\"\n"));
  EXPECT_EQ(config.footprint.size(), 3u);
}

TEST(LoadGridMapConfig, RejectsUnknownKeysWrongTypesAndShortFootprints) {
  orvik_test::TempDir tmp;
  expectLoadErrorMentioning([&] { loadGridMapConfig(tmp.write("a.yaml", "robot_radus: 0.2\n")); },
                            "robot_radus");
  expectLoadErrorMentioning([&] { loadGridMapConfig(tmp.write("b.yaml", "robot_radius: wide\n")); },
                            "robot_radius");
  expectLoadErrorMentioning(
      [&] { loadGridMapConfig(tmp.write("c.yaml", "unknown_is_obstacle: maybe\n")); },
      "unknown_is_obstacle");
  expectLoadErrorMentioning(
      [&] { loadGridMapConfig(tmp.write("d.yaml", "footprint: [[0, 0], [1, 0]]\n")); },
      "footprint");
  expectLoadErrorMentioning(
      [&] { loadGridMapConfig(tmp.write("e.yaml", "footprint: [[0, 0, 1], [1, 0], [1, 1]]\n")); },
      "footprint[0]");
  expectLoadErrorMentioning(
      [&] { loadGridMapConfig(tmp.write("f.yaml", "inflation:\n  radius: 1\n")); },
      "inflation.radius");
  expectLoadErrorMentioning(
      [&] { loadGridMapConfig(tmp.write("g.yaml", "danger_clearances: 0.3\n")); },
      "danger_clearances");
  expectLoadErrorMentioning([&] { loadGridMapConfig(tmp.write("h.yaml", "robot_radius: .inf\n")); },
                            "robot_radius");
  expectLoadErrorMentioning([&] { loadGridMapConfig(tmp.path() + "/none.yaml"); }, "none.yaml");
  expectLoadErrorMentioning([&] { loadGridMapConfig(tmp.write("i.yaml", "a: [b\n")); }, "i.yaml");
}

// One strict reading for every YAML the loaders take: a quoted value is a string (the options of
// the planning tool always refused "0.22" while this reader took it), the error points at the
// value's line and column, and sizes no robot has are refused with the key named.
TEST(LoadGridMapConfig, StrictTypesPositionsAndSaneSizes) {
  orvik_test::TempDir tmp;
  expectLoadErrorMentioning(
      [&] { loadGridMapConfig(tmp.write("q.yaml", "inflation:\n  inscribed_radius: \"0.22\"\n")); },
      "q.yaml:2:21: key 'inflation.inscribed_radius': expected a number, got a quoted string");
  expectLoadErrorMentioning(
      [&] { loadGridMapConfig(tmp.write("b.yaml", "unknown_is_obstacle: 'true'\n")); },
      "b.yaml:1:22: key 'unknown_is_obstacle': expected true or false, got a quoted string");
  expectLoadErrorMentioning(
      [&] { loadGridMapConfig(tmp.write("u.yaml", "robot_radius: 0.2\nrobot_radus: 0.2\n")); },
      "u.yaml:2:1: key 'robot_radus': unknown key");
  expectLoadErrorMentioning(
      [&] {
        loadGridMapConfig(tmp.write("s.yaml", "footprint: \"[[0.3, 0.2], [x, 0], [0, 1]]\"\n"));
      },
      "s.yaml:1:12, in the footprint text:1:15: key 'footprint[1]': expected a number");
  const std::pair<const char*, const char*> huge[] = {
      {"footprint: [[1e6, 0], [0, 1], [-1, 0]]\n", "footprint[0]"},
      {"robot_radius: 1e6\n", "robot_radius"},
      {"danger_clearances: [0.5, 1e9]\n", "danger_clearances[1]"},
      {"inflation:\n  inflation_radius: 1e9\n", "inflation.inflation_radius"},
      {"inflation:\n  inscribed_radius: 1e9\n", "inflation.inscribed_radius"},
      {"inflation:\n  cost_scaling_factor: 1e300\n", "inflation.cost_scaling_factor"},
  };
  for (const auto& [yaml, key] : huge) {
    expectLoadErrorMentioning([&] { loadGridMapConfig(tmp.write("h.yaml", yaml)); },
                              std::string("key '") + key + "': must be between");
  }
  // Quoted numbers in the map's own YAML are refused the same way.
  tmp.writePgm("m.pgm", {{0, 255}});
  expectLoadErrorMentioning(
      [&] {
        loadOccupancyGrid(tmp.write("m.yaml", std::string(kMapYaml).replace(
                                                  std::string(kMapYaml).find("0.1"), 3, "'0.1'")));
      },
      "m.yaml:2:13: key 'resolution': expected a number, got a quoted string");
  // Not a regular file: a directory or a device is refused before any read.
  expectLoadErrorMentioning([&] { loadGridMapConfig(tmp.path()); }, "is a directory");
  expectLoadErrorMentioning([&] { loadGridMapConfig("/dev/zero"); }, "is a device");
  expectLoadErrorMentioning([&] { loadOccupancyGrid("/dev/zero"); }, "is a device");
}

TEST(LoadGridMapConfig, KeysThatAreNotPlainNamesAreRejectedAsLoadErrors) {
  // Found by fuzzing: a list, map or null used as a key escaped as a yaml-cpp exception.
  orvik_test::TempDir tmp;
  expectLoadErrorMentioning(
      [&] { loadGridMapConfig(tmp.write("list.yaml", "? [robot_radius]\n: 0.2\n")); }, "list.yaml");
  expectLoadErrorMentioning(
      [&] { loadGridMapConfig(tmp.write("map.yaml", "? {enabled: true}\n: 1\n")); }, "map.yaml");
  expectLoadErrorMentioning([&] { loadGridMapConfig(tmp.write("null.yaml", "~: 1\n")); },
                            "null.yaml");
  expectLoadErrorMentioning(
      [&] { loadGridMapConfig(tmp.write("inner.yaml", "inflation:\n  ? [enabled]\n  : true\n")); },
      "inflation");
}

TEST(LoadOccupancyGrid, NamesTheSystemRefusesAreLoadErrors) {
  // Found by fuzzing: an image name longer than the system allows escaped as a
  // std::filesystem::filesystem_error.
  orvik_test::TempDir tmp;
  const std::string long_name(300, 'a');
  expectLoadErrorMentioning(
      [&] {
        loadOccupancyGrid(tmp.write("long.yaml", "image: " + long_name +
                                                     ".pgm\nresolution: 0.1\norigin: [0, 0, 0]\n"
                                                     "negate: 0\noccupied_thresh: 0.65\n"
                                                     "free_thresh: 0.196\n"));
      },
      long_name);
  expectLoadErrorMentioning([&] { loadOccupancyGrid(tmp.path() + "/" + long_name + ".yaml"); },
                            long_name);
  expectLoadErrorMentioning([&] { loadGridMapConfig(tmp.path() + "/" + long_name + ".yaml"); },
                            long_name);
}

TEST(LoadRosMap, BuildsLayersFromImagesFlippedLikeTheMap) {
  orvik_test::TempDir tmp;
  // 4 x 2 map: top row lethal at x 0, otherwise free.
  tmp.writePgm("m.pgm", {{0, 254, 254, 254}, {254, 254, 254, 254}});
  tmp.writePgm("labels.pgm", {{0, 0, 5, 5}, {0, 0, 0, 9}});
  tmp.writePgm("extra.pgm", {{1, 2, 3, 4}, {5, 6, 7, 8}});
  GridMapConfig config;
  config.global_frame = "world";
  const auto map = loadRosMap(tmp.write("m.yaml", kMapYaml), config, tmp.path() + "/labels.pgm",
                              tmp.path() + "/extra.pgm");
  ASSERT_TRUE(map);
  EXPECT_EQ(map->getGlobalFrame(), "world");
  const auto grid = map->getMultiGridMap();
  EXPECT_TRUE(grid->isObstacle(0, 1));
  EXPECT_FALSE(grid->isObstacle(0, 0));
  EXPECT_EQ(grid->getPriorityPassageLabel(2, 1), 5);
  EXPECT_EQ(grid->getPriorityPassageLabel(3, 0), 9);
  EXPECT_EQ(grid->getPriorityPassageLabel(2, 0), 0);
  EXPECT_EQ(grid->getPriorityPassageLabelCount(), 2);
  EXPECT_EQ(grid->getCost(1, 1, true), 2u);
  EXPECT_EQ(grid->getCost(0, 0, true), 5u);
  EXPECT_EQ(grid->getCost(0, 0, false), 0u);
}

TEST(LoadRosMap, LayerImagesOfTheWrongSizeOrFormatAreRejected) {
  orvik_test::TempDir tmp;
  tmp.writePgm("m.pgm", {{254, 254, 254}, {254, 254, 254}});
  tmp.writePgm("small.pgm", {{1, 1}, {1, 1}});
  tmp.write("colour.ppm", std::string("P6\n3 2\n255\n") + std::string(18, '\x10'));
  const std::string yaml = tmp.write("m.yaml", kMapYaml);
  expectLoadErrorMentioning([&] { loadRosMap(yaml, {}, tmp.path() + "/small.pgm"); }, "2 x 2");
  expectLoadErrorMentioning([&] { loadRosMap(yaml, {}, "", tmp.path() + "/small.pgm"); },
                            "small.pgm");
  expectLoadErrorMentioning([&] { loadRosMap(yaml, {}, tmp.path() + "/colour.ppm"); }, "channel");
  expectLoadErrorMentioning([&] { loadRosMap(yaml, {}, tmp.path() + "/nothing.pgm"); },
                            "nothing.pgm");
  GridMapConfig bad;
  bad.footprint.resize(2);
  expectLoadErrorMentioning([&] { loadRosMap(yaml, bad); }, "footprint");
}

TEST(LoadRosMap, SharedWillowMapKeepsUnknownAsConfigured) {
  const std::string dir = orvik_test::sharedMapsDir();
  if (dir.empty()) {
    GTEST_SKIP() << "shared maps folder absent";
  }
  const auto map = loadRosMap(dir + "/willow_garage/willow-full.yaml", GridMapConfig{});
  const auto costmap = map->getMultiGridMap()->getCostmap();
  int lethal = 0, unknown = 0;
  for (unsigned int y = 0; y < costmap->getSizeInCellsY(); ++y) {
    for (unsigned int x = 0; x < costmap->getSizeInCellsX(); ++x) {
      lethal += costmap->getCost(x, y) == nav2_costmap_2d::LETHAL_OBSTACLE;
      unknown += costmap->getCost(x, y) == nav2_costmap_2d::NO_INFORMATION;
    }
  }
  EXPECT_EQ(lethal, 6961);
  EXPECT_EQ(unknown, 165508);
}

TEST(LoadMovingAiMap, ReadsHeaderRowsAndOrientation) {
  orvik_test::TempDir tmp;
  // CRLF endings and no final newline, as in the city maps.
  const auto map = loadMovingAiMap(
      tmp.write("t.map", "type octile\r\nheight 2\r\nwidth 3\r\nmap\r\n@.T\r\n.GS"), {}, 0.5);
  const auto grid = map->getMultiGridMap();
  const auto costmap = grid->getCostmap();
  EXPECT_EQ(costmap->getSizeInCellsX(), 3u);
  EXPECT_EQ(costmap->getSizeInCellsY(), 2u);
  EXPECT_DOUBLE_EQ(costmap->getResolution(), 0.5);
  // File row 0 is the top: y = 1.
  EXPECT_TRUE(grid->isObstacle(0, 1));
  EXPECT_FALSE(grid->isObstacle(1, 1));
  EXPECT_TRUE(grid->isObstacle(2, 1));
  EXPECT_FALSE(grid->isObstacle(0, 0));
  EXPECT_FALSE(grid->isObstacle(1, 0));
  EXPECT_FALSE(grid->isObstacle(2, 0));
}

TEST(LoadMovingAiMap, MalformedFilesAreErrors) {
  orvik_test::TempDir tmp;
  const std::string header = "type octile\nheight 2\nwidth 3\nmap\n";
  expectLoadErrorMentioning([&] { loadMovingAiMap(tmp.path() + "/x.map", {}); }, "x.map");
  expectLoadErrorMentioning([&] { loadMovingAiMap(tmp.write("a.map", header + "...\n..\n"), {}); },
                            "row 1");
  expectLoadErrorMentioning([&] { loadMovingAiMap(tmp.write("b.map", header + "...\n"), {}); },
                            "has 1 rows");
  expectLoadErrorMentioning([&] { loadMovingAiMap(tmp.write("c.map", header + "...\n.x.\n"), {}); },
                            "'x'");
  expectLoadErrorMentioning(
      [&] { loadMovingAiMap(tmp.write("d.map", "type octile\nheight 0\nwidth 3\nmap\n"), {}); },
      "height");
  expectLoadErrorMentioning(
      [&] { loadMovingAiMap(tmp.write("e.map", "type octile\nwidth 3\nmap\n"), {}); }, "e.map");
  expectLoadErrorMentioning(
      [&] { loadMovingAiMap(tmp.write("f.map", header + "...\n...\n...\n"), {}); }, "more rows");
  expectLoadErrorMentioning(
      [&] { loadMovingAiMap(tmp.write("g.map", header + "...\n...\n"), {}, 0.0); }, "resolution");
}

TEST(LoadMovingAiMap, SharedMapsGiveThePublishedCellCounts) {
  const std::string dir = orvik_test::sharedMapsDir();
  if (dir.empty()) {
    GTEST_SKIP() << "shared maps folder absent";
  }
  struct Expected {
    const char* file;
    unsigned int width, height;
    int free;
  };
  for (const Expected& e : {Expected{"movingai/dao/arena.map", 49, 49, 2054},
                            Expected{"movingai/dao/den312d.map", 65, 81, 2445},
                            Expected{"movingai/cities/Berlin_0_256.map", 256, 256, 48147}}) {
    SCOPED_TRACE(e.file);
    const auto grid = loadMovingAiMap(dir + "/" + e.file, {})->getMultiGridMap();
    const auto costmap = grid->getCostmap();
    ASSERT_EQ(costmap->getSizeInCellsX(), e.width);
    ASSERT_EQ(costmap->getSizeInCellsY(), e.height);
    int free_cells = 0;
    for (unsigned int y = 0; y < e.height; ++y) {
      for (unsigned int x = 0; x < e.width; ++x) {
        free_cells += !grid->isObstacle(x, y);
      }
    }
    EXPECT_EQ(free_cells, e.free);
  }
}

TEST(LoadRosMap, SixteenBitLabelImagesCarryLargeLabels) {
  orvik_test::TempDir tmp;
  tmp.writePgm("m.pgm", {{254, 254}, {254, 254}});
  cv::Mat labels(2, 2, CV_16UC1, cv::Scalar(0));
  labels.at<uint16_t>(0, 1) = 40000;  // top right
  ASSERT_TRUE(cv::imwrite(tmp.path() + "/labels.png", labels));
  const auto map = loadRosMap(tmp.write("m.yaml", kMapYaml), {}, tmp.path() + "/labels.png");
  EXPECT_EQ(map->getMultiGridMap()->getPriorityPassageLabel(1, 1), 40000);
  EXPECT_EQ(map->getMultiGridMap()->getPriorityPassageLabel(1, 0), 0);
}
