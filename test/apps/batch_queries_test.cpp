// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/batch_queries.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "orvik_plan/tool_error.hpp"

namespace {

namespace fs = std::filesystem;
using orvik_plan::ToolError;

class BatchQueryFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("orvik_plan_queries_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name, std::ios::binary) << text;
    return (dir_ / name).string();
  }
  std::string errorOf(const std::function<void()>& f) {
    try {
      f();
    } catch (const ToolError& e) {
      return e.what();
    }
    return "";
  }
  fs::path dir_;
};

TEST_F(BatchQueryFiles, ScenarioLinesAreReadWithCrlfAndBlankLines) {
  const auto path = write("m.map.scen",
                          "version 1\r\n"
                          "0\tmaps/x/m.map\t49\t30\t1\t2\t40\t29\t3.5\r\n"
                          "\n"
                          "7\tmaps/x/m.map\t49\t30\t48\t0\t0\t0\t28.12345678\n\n");
  const auto scenario = orvik_plan::readMovingAiScenario(path);
  EXPECT_EQ(scenario.map_name, "m.map");
  EXPECT_EQ(scenario.width, 49u);
  EXPECT_EQ(scenario.height, 30u);
  ASSERT_EQ(scenario.queries.size(), 2u);
  EXPECT_EQ(scenario.queries[0].start_x, 1.0);
  EXPECT_EQ(scenario.queries[0].start_y, 2.0);
  EXPECT_EQ(scenario.queries[0].goal_x, 40.0);
  EXPECT_EQ(scenario.queries[1].bucket, 7);
  EXPECT_EQ(scenario.queries[1].line, 4);
  EXPECT_DOUBLE_EQ(scenario.queries[1].optimal_length, 28.12345678);
}

TEST_F(BatchQueryFiles, MalformedScenariosNameTheLine) {
  EXPECT_NE(errorOf([&] {
              orvik_plan::readMovingAiScenario(write("a.scen", "0\tm\t1\t1\t0\t0\t0\t0\t0\n"));
            }).find("version 1"),
            std::string::npos);
  EXPECT_NE(
      errorOf([&] {
        orvik_plan::readMovingAiScenario(write("b.scen", "version 1\n0\tm\t4\t4\t0\t0\t9\t0\t1\n"));
      }).find("b.scen:2: start or goal outside"),
      std::string::npos);
  EXPECT_NE(errorOf([&] {
              orvik_plan::readMovingAiScenario(
                  write("c.scen", "version 1\n0\tm\t4\t4\t0\t-1\t1\t0\t1\n"));
            }).find("c.scen:2: malformed"),
            std::string::npos);
  EXPECT_NE(errorOf([&] {
              orvik_plan::readMovingAiScenario(write(
                  "d.scen", "version 1\n0\tm\t4\t4\t0\t0\t1\t0\t1\n0\tn\t4\t4\t0\t0\t1\t0\t1\n"));
            }).find("same map"),
            std::string::npos);
  EXPECT_NE(errorOf([&] {
              orvik_plan::readMovingAiScenario(write("e.scen", "version 1\n"));
            }).find("no queries"),
            std::string::npos);
}

TEST_F(BatchQueryFiles, ScenarioMapIsFoundBesideTheScenario) {
  write("maze.map", "x");
  const auto scen = write("maze.map.scen", "");
  EXPECT_EQ(orvik_plan::findScenarioMap(scen, "whatever.map"), (dir_ / "maze.map").string());
  write("other.map", "x");
  const auto renamed = write("renamed.scen", "");
  EXPECT_EQ(orvik_plan::findScenarioMap(renamed, "other.map"), (dir_ / "other.map").string());
  EXPECT_THROW(orvik_plan::findScenarioMap(renamed, "missing.map"), ToolError);
}

TEST_F(BatchQueryFiles, CsvQueriesTakeFourOrSixNumbers) {
  const auto path = write("q.csv", "sx,sy,syaw,gx,gy,gyaw\n1,2,0.5,3,4,-1\n# note\n5,6,7,8\n");
  const auto queries = orvik_plan::readQueryCsv(path);
  ASSERT_EQ(queries.size(), 2u);
  EXPECT_EQ(queries[0].start_yaw, 0.5);
  EXPECT_EQ(queries[0].goal_yaw, -1.0);
  EXPECT_EQ(queries[1].goal_x, 7.0);
  EXPECT_EQ(queries[1].goal_yaw, 0.0);
  EXPECT_TRUE(std::isnan(queries[1].optimal_length));
  EXPECT_NE(errorOf([&] {
              orvik_plan::readQueryCsv(write("r.csv", "1,2,3,4\n1,2,x,4\n"));
            }).find("r.csv:2:"),
            std::string::npos);
  EXPECT_THROW(orvik_plan::readQueryCsv(write("s.csv", "1,2,3\n")), ToolError);
  EXPECT_THROW(orvik_plan::readQueryCsv(write("t.csv", "1,nan,3,4\n")), ToolError);
}

}  // namespace
