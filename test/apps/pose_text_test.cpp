// SPDX-License-Identifier: Apache-2.0
#include "orvik_plan/pose_text.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "orvik_plan/path_geometry.hpp"
#include "orvik_plan/tool_error.hpp"

namespace {

using orvik_plan::parsePoseText;
using orvik_plan::readPoseFile;
using orvik_plan::ToolError;

TEST(PoseText, ReadsXYYawAsAYawOnlyPose) {
  const auto p = parsePoseText("1.5,-2,1.5707963", "--start", "map");
  EXPECT_EQ(p.pose.position.x, 1.5);
  EXPECT_EQ(p.pose.position.y, -2.0);
  EXPECT_NEAR(orvik_plan::quaternionToYaw(p.pose.orientation), 1.5707963, 1e-9);
  EXPECT_NEAR(p.pose.orientation.z, std::sin(1.5707963 / 2), 1e-12);
  EXPECT_EQ(p.header.frame_id, "map");
  EXPECT_EQ(orvik_plan::quaternionToYaw(parsePoseText("1,2", "--goal", "map").pose.orientation),
            0.0);
}

TEST(PoseText, RefusesAnythingButTwoOrThreeFiniteNumbers) {
  for (const char* text : {"", "1", "1,2,3,4", "1,,2", "1,2,", "a,b,c", "1,2,3x", "nan,1,0",
                           "1,inf,0", "1e999,0,0", " , , "}) {
    EXPECT_THROW(parsePoseText(text, "--start", "map"), ToolError) << text;
  }
}

TEST(PoseText, PoseFilesAcceptColumnsCommentsAndAHeader) {
  const auto path = std::filesystem::temp_directory_path() / "orvik_plan_pose_file_test.txt";
  std::ofstream(path) << "x y yaw\n0 0 0\n# comment\n1,0\n\n2\t0.5\t0.3\n";
  const auto poses = readPoseFile(path.string(), "map");
  ASSERT_EQ(poses.size(), 3u);
  EXPECT_EQ(poses[2].pose.position.y, 0.5);
  std::ofstream(path) << "0 0\n1 zero\n";
  try {
    readPoseFile(path.string(), "map");
    ADD_FAILURE() << "a malformed line must be refused";
  } catch (const ToolError& e) {
    EXPECT_NE(std::string(e.what()).find(":2:"), std::string::npos) << e.what();
  }
  std::ofstream(path) << "0 0\n";
  EXPECT_THROW(readPoseFile(path.string(), "map"), ToolError) << "one pose is no path";
  std::filesystem::remove(path);
}

TEST(PoseText, PoseFilesReadTheRouteOfAnEarlierRun) {
  const auto path = std::filesystem::temp_directory_path() / "orvik_plan_pose_file_test.json";
  std::ofstream(path) << R"({"final_paths": [{"poses": [{"x": 0, "y": 0, "yaw": 0},
                           {"x": 1, "y": 0, "yaw": 0}]}, {"poses": [{"x": 1, "y": 1}]}]})";
  const auto poses = readPoseFile(path.string(), "map");
  ASSERT_EQ(poses.size(), 3u) << "every leg in driving order";
  EXPECT_EQ(poses[2].pose.position.y, 1.0);
  std::ofstream(path) << R"({"final_paths": [{"poses": [[0, 0], [1, "x"]]}]})";
  EXPECT_THROW(readPoseFile(path.string(), "map"), ToolError);
  std::filesystem::remove(path);
}

TEST(PathGeometry, LengthAndHeadingsFollowTheSegments) {
  orvik_plan::PoseList poses = {
      orvik_plan::makePose(0, 0, 0, "map"), orvik_plan::makePose(3, 4, 0, "map"),
      orvik_plan::makePose(3, 4, 0, "map"), orvik_plan::makePose(3, 6, 2.0, "map")};
  EXPECT_DOUBLE_EQ(orvik_plan::pathLength(poses), 7.0);
  orvik_plan::orientAlongPath(poses);
  EXPECT_NEAR(orvik_plan::quaternionToYaw(poses[0].pose.orientation), std::atan2(4, 3), 1e-12);
  EXPECT_NEAR(orvik_plan::quaternionToYaw(poses[1].pose.orientation), std::atan2(4, 3), 1e-12)
      << "a pose on top of its successor keeps the heading before it";
  EXPECT_NEAR(orvik_plan::quaternionToYaw(poses[2].pose.orientation), M_PI / 2, 1e-12);
  EXPECT_NEAR(orvik_plan::quaternionToYaw(poses[3].pose.orientation), 2.0, 1e-12);
}

}  // namespace
