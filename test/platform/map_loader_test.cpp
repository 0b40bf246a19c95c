// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_gridmap/map_loader.hpp"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <array>
#include <cmath>
#include <string>

#include "nav2_costmap_2d/cost_values.hpp"
#include "platform/temp_files.hpp"
#include "support/grid_fixtures.hpp"

using orvik_nav2_gridmap::GridMapConfig;
using orvik_nav2_gridmap::loadOccupancyGrid;
using orvik_nav2_gridmap::MapLoadError;

namespace {

struct Counts {
  int occupied = 0, free = 0, unknown = 0, other = 0;
};

Counts countValues(const nav_msgs::msg::OccupancyGrid& grid) {
  Counts c;
  for (int8_t v : grid.data) {
    v == 100 ? ++c.occupied : v == 0 ? ++c.free : v == -1 ? ++c.unknown : ++c.other;
  }
  return c;
}

std::string mapYaml(const std::string& image, const std::string& extra = "") {
  return "image: " + image +
         "\nresolution: 0.5\norigin: [1.0, -2.0, 0.0]\nnegate: 0\noccupied_thresh: 0.65\n"
         "free_thresh: 0.196\n" +
         extra;
}

template <class F>
void expectLoadErrorMentioning(F&& load, const std::string& needle) {
  try {
    load();
    ADD_FAILURE() << "no MapLoadError; expected one mentioning " << needle;
  } catch (const MapLoadError& e) {
    EXPECT_NE(std::string(e.what()).find(needle), std::string::npos) << e.what();
  }
}

}  // namespace

// Expected counts from the shared maps' README, computed there with map_server's rules.
TEST(LoadOccupancyGrid, SharedMapsGiveThePublishedCounts) {
  const std::string dir = orvik_test::sharedMapsDir();
  if (dir.empty()) {
    GTEST_SKIP() << "shared maps folder absent";
  }
  struct Expected {
    const char* yaml;
    unsigned int width, height;
    int occupied, free, unknown;
  };
  const std::array<Expected, 10> maps = {{
      {"turtlebot3_world/turtlebot3_world.yaml", 384, 384, 870, 7903, 138683},
      {"map_circular/map_circular.yaml", 384, 384, 920, 7930, 138606},
      {"smoothers_world/smoothers_world.yaml", 300, 300, 10576, 79424, 0},
      {"willow_garage/willow-full.yaml", 584, 526, 6961, 134715, 165508},
      {"willow_garage/willow-full-0.05.yaml", 1165, 945, 13459, 549308, 538158},
      {"lse_arena/lse_arena.yaml", 80, 60, 345, 4455, 0},
      {"nav2_planner_test_map/map.yaml", 400, 400, 35023, 124977, 0},
      {"keepout_mask/keepout_mask.yaml", 384, 384, 171, 8690, 138595},
      {"ten_by_ten/TenByTen.yaml", 10, 10, 20, 78, 2},
      {"map_server_testmap/testmap.yaml", 10, 10, 29, 71, 0},
  }};
  for (const Expected& e : maps) {
    SCOPED_TRACE(e.yaml);
    const auto grid = loadOccupancyGrid(dir + "/" + e.yaml);
    EXPECT_EQ(grid.info.width, e.width);
    EXPECT_EQ(grid.info.height, e.height);
    const Counts c = countValues(grid);
    EXPECT_EQ(c.occupied, e.occupied);
    EXPECT_EQ(c.free, e.free);
    EXPECT_EQ(c.unknown, e.unknown);
    EXPECT_EQ(c.other, 0);
  }
}

TEST(LoadOccupancyGrid, ScaleModeMaskGivesScaledValues) {
  const std::string dir = orvik_test::sharedMapsDir();
  if (dir.empty()) {
    GTEST_SKIP() << "shared maps folder absent";
  }
  const auto grid = loadOccupancyGrid(dir + "/speed_mask/speed_mask.yaml");
  int v100 = 0, v0 = 0, v19 = 0, v50 = 0, unknown = 0;
  for (int8_t v : grid.data) {
    v == 100 ? ++v100 : v == 0 ? ++v0 : v == 19 ? ++v19 : v == 50 ? ++v50 : v == -1 ? ++unknown : 0;
  }
  EXPECT_EQ(v100, 0);
  EXPECT_EQ(v0, 8690);
  EXPECT_EQ(v19, 138595);
  EXPECT_EQ(v50, 171);
  EXPECT_EQ(unknown, 0);
}

TEST(LoadOccupancyGrid, MapServerTestMapMatchesKnownRowsAndMetadata) {
  const std::string dir = orvik_test::sharedMapsDir();
  if (dir.empty()) {
    GTEST_SKIP() << "shared maps folder absent";
  }
  const auto grid = loadOccupancyGrid(dir + "/map_server_testmap/testmap.yaml");  // names the PNG
  const std::array<const char*, 10> rows = {"0000000000", "1111001110", "1111001110", "1000000000",
                                            "1000000000", "1000001100", "1000001100", "1000001100",
                                            "1000001100", "1000000000"};
  for (unsigned int y = 0; y < 10; ++y) {
    for (unsigned int x = 0; x < 10; ++x) {
      EXPECT_EQ(grid.data[y * 10 + x], rows[y][x] == '1' ? 100 : 0) << x << "," << y;
    }
  }
  EXPECT_FLOAT_EQ(grid.info.resolution, 0.1f);
  EXPECT_DOUBLE_EQ(grid.info.origin.position.x, 2.0);
  EXPECT_DOUBLE_EQ(grid.info.origin.position.y, 3.0);
  EXPECT_NEAR(grid.info.origin.orientation.z, std::sin(0.5), 1e-12);
  EXPECT_EQ(grid.header.frame_id, "map");
}

TEST(LoadOccupancyGrid, YamlNamingMissingImageFails) {
  const std::string dir = orvik_test::sharedMapsDir();
  if (dir.empty()) {
    GTEST_SKIP() << "shared maps folder absent";
  }
  expectLoadErrorMentioning([&] { loadOccupancyGrid(dir + "/empty_room/empty_room.yaml"); },
                            "empty.pgm");
}

TEST(LoadOccupancyGrid, FlipsRowsAndAppliesThresholdsAndNegate) {
  orvik_test::TempDir tmp;
  // Top row: black, grey 205, white; bottom row: 89, 90, 206 (the trinary boundaries).
  tmp.writePgm("m.pgm", {{0, 205, 254}, {89, 90, 206}});
  auto grid = loadOccupancyGrid(tmp.write("m.yaml", mapYaml("m.pgm")));
  ASSERT_EQ(grid.info.width, 3u);
  ASSERT_EQ(grid.info.height, 2u);
  const std::vector<int8_t> expected = {100, -1, 0, 100, -1, 0};  // bottom image row first
  EXPECT_EQ(grid.data, expected);
  EXPECT_DOUBLE_EQ(grid.info.origin.position.x, 1.0);
  EXPECT_DOUBLE_EQ(grid.info.origin.position.y, -2.0);

  grid = loadOccupancyGrid(tmp.write(
      "n.yaml", mapYaml("m.pgm").replace(mapYaml("m.pgm").find("negate: 0"), 9, "negate: true")));
  const std::vector<int8_t> negated = {-1, -1, 100, 0, 100, 100};  // occ = p / 255
  EXPECT_EQ(grid.data, negated);
}

TEST(LoadOccupancyGrid, RawModeUsesPixelValues) {
  orvik_test::TempDir tmp;
  tmp.writePgm("r.pgm", {{0, 37, 100, 101, 255}});
  const auto grid = loadOccupancyGrid(tmp.write("r.yaml", mapYaml("r.pgm", "mode: RAW\n")));
  const std::vector<int8_t> expected = {0, 37, 100, -1, -1};
  EXPECT_EQ(grid.data, expected);
}

TEST(LoadOccupancyGrid, MalformedInputIsAnErrorNamingTheProblem) {
  orvik_test::TempDir tmp;
  tmp.writePgm("m.pgm", {{0, 255}});
  expectLoadErrorMentioning([&] { loadOccupancyGrid(tmp.path() + "/absent.yaml"); }, "absent.yaml");
  expectLoadErrorMentioning([&] { loadOccupancyGrid(tmp.write("a.yaml", "image: [unclosed")); },
                            "a.yaml");
  expectLoadErrorMentioning(
      [&] { loadOccupancyGrid(tmp.write("b.yaml", "resolution: 0.1\norigin: [0, 0, 0]\n")); },
      "image");
  expectLoadErrorMentioning([&] { loadOccupancyGrid(tmp.write("c.yaml", "- just\n- a list\n")); },
                            "c.yaml");
  std::string y = mapYaml("m.pgm");
  expectLoadErrorMentioning(
      [&] {
        loadOccupancyGrid(
            tmp.write("d.yaml", std::string(y).replace(y.find("[1.0, -2.0, 0.0]"), 16, "[1, 2]")));
      },
      "should have 3 elements, not 2");
  expectLoadErrorMentioning(
      [&] {
        loadOccupancyGrid(tmp.write("e.yaml", std::string(y).replace(y.find("0.5"), 3, "fast")));
      },
      "resolution");
  expectLoadErrorMentioning(
      [&] {
        loadOccupancyGrid(tmp.write("f.yaml", std::string(y).replace(y.find("0.5"), 3, "0")));
      },
      "resolution");
  // Finite as a double, but not as the float the grid stores (or too small a cell to place).
  for (const char* resolution : {"1e300", "3.5e38", "1e-300", "1e-40"}) {
    expectLoadErrorMentioning(
        [&] {
          loadOccupancyGrid(
              tmp.write("r.yaml", std::string(y).replace(y.find("0.5"), 3, resolution)));
        },
        "resolution");
  }
  // An origin so far out that the cells' world positions collapse into one another.
  for (const char* origin : {"[1e300, -2.0, 0.0]", "[1.0, -1e14, 0.0]", "[1.7e308, 0, 0]"}) {
    expectLoadErrorMentioning(
        [&] {
          loadOccupancyGrid(
              tmp.write("o.yaml", std::string(y).replace(y.find("[1.0, -2.0, 0.0]"), 16, origin)));
        },
        "origin");
  }
  expectLoadErrorMentioning(
      [&] { loadOccupancyGrid(tmp.write("g.yaml", mapYaml("m.pgm", "mode: fancy\n"))); }, "fancy");
  expectLoadErrorMentioning([&] { loadOccupancyGrid(tmp.write("h.yaml", mapYaml("\"\""))); },
                            "The image tag was empty.");
  tmp.write("broken.pgm", "P5\n400 400\n255\nshort");
  expectLoadErrorMentioning([&] { loadOccupancyGrid(tmp.write("i.yaml", mapYaml("broken.pgm"))); },
                            "broken.pgm");
  tmp.write("zero.pgm", "P5\n0 0\n255\n");
  expectLoadErrorMentioning([&] { loadOccupancyGrid(tmp.write("j.yaml", mapYaml("zero.pgm"))); },
                            "zero.pgm");
  expectLoadErrorMentioning(
      [&] {
        loadOccupancyGrid(tmp.write("k.yaml", std::string(y).replace(y.find("free_thresh: 0.196"),
                                                                     18, "free_thresh: .nan")));
      },
      "free_thresh");
}

TEST(CostmapFromOccupancyGrid, FollowsTheStaticLayer) {
  nav_msgs::msg::OccupancyGrid grid;
  grid.info.width = 5;
  grid.info.height = 1;
  grid.info.resolution = 0.05f;
  grid.info.origin.position.x = -1.0;
  grid.data = {-1, 0, 50, 99, 100};
  const auto tracked = orvik_nav2_gridmap::costmapFromOccupancyGrid(grid, true);
  const std::array<unsigned char, 5> expected = {255, 0, 0, 0, 254};
  for (unsigned int x = 0; x < 5; ++x) {
    EXPECT_EQ(tracked.getCost(x, 0), expected[x]) << x;
  }
  EXPECT_EQ(orvik_nav2_gridmap::costmapFromOccupancyGrid(grid, false).getCost(0, 0), 0);
  EXPECT_DOUBLE_EQ(tracked.getResolution(), static_cast<double>(0.05f));
  EXPECT_DOUBLE_EQ(tracked.getOriginX(), -1.0);
}

TEST(CostmapFromOccupancyGrid, RejectsInconsistentGrids) {
  nav_msgs::msg::OccupancyGrid grid;
  grid.info.resolution = 0.1f;
  EXPECT_THROW(orvik_nav2_gridmap::costmapFromOccupancyGrid(grid), MapLoadError);  // 0 x 0
  grid.info.width = 3;
  grid.info.height = 2;
  grid.data.assign(5, 0);
  EXPECT_THROW(orvik_nav2_gridmap::costmapFromOccupancyGrid(grid), MapLoadError);
  grid.data.assign(6, 0);
  grid.info.resolution = -0.1f;
  EXPECT_THROW(orvik_nav2_gridmap::costmapFromOccupancyGrid(grid), MapLoadError);
}

TEST(LoadOccupancyGrid, PngAlphaCountsInTrinaryAndMarksScaleUnknown) {
  orvik_test::TempDir tmp;
  // BGRA: opaque black, transparent black, opaque white, half-transparent white.
  cv::Mat image(1, 4, CV_8UC4);
  image.at<cv::Vec4b>(0, 0) = {0, 0, 0, 255};
  image.at<cv::Vec4b>(0, 1) = {0, 0, 0, 0};
  image.at<cv::Vec4b>(0, 2) = {255, 255, 255, 255};
  image.at<cv::Vec4b>(0, 3) = {255, 255, 255, 128};
  ASSERT_TRUE(cv::imwrite(tmp.path() + "/a.png", image));
  // Trinary: shade = mean(R, G, B, alpha) / 255.
  const auto trinary = loadOccupancyGrid(tmp.write("t.yaml", mapYaml("a.png")));
  // black opaque: shade 0.25 -> occ 0.75 occupied; transparent black: shade 0 -> occupied;
  // white opaque: shade 1 -> free; white at alpha 128: shade 0.876 -> occ 0.124 free.
  EXPECT_EQ(trinary.data, (std::vector<int8_t>{100, 100, 0, 0}));
  const auto scale = loadOccupancyGrid(tmp.write("s.yaml", mapYaml("a.png", "mode: scale\n")));
  EXPECT_EQ(scale.data, (std::vector<int8_t>{100, -1, 0, -1}));
}

TEST(LoadOccupancyGrid, HomeRelativeYamlPathIsExpanded) {
  orvik_test::TempDir tmp;
  tmp.writePgm("m.pgm", {{0, 254}});
  tmp.write("m.yaml", mapYaml("m.pgm"));
  const char* old_home = std::getenv("HOME");
  const std::string saved = old_home ? old_home : "";
  setenv("HOME", tmp.path().c_str(), 1);
  const auto grid = loadOccupancyGrid("~/m.yaml");
  old_home ? setenv("HOME", saved.c_str(), 1) : unsetenv("HOME");
  EXPECT_EQ(grid.data, (std::vector<int8_t>{100, 0}));
}
