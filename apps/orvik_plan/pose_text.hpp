// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <vector>

#include "geometry_msgs/msg/pose_stamped.hpp"

namespace orvik_plan {

/// Parses "x,y,yaw" (metres, metres, radians; yaw may be omitted and is then 0).
/// @throw ToolError naming `what` for anything else, including non-finite values.
geometry_msgs::msg::PoseStamped parsePoseText(const std::string& text, const std::string& what,
                                              const std::string& frame);

/// Reads a file of poses: one "x y [yaw]" or "x,y[,yaw]" per line ('#' starts a comment, an
/// optional header line of names is skipped), or the JSON written by orvik_plan (its final
/// path). @throw ToolError for an unreadable file, a malformed line, fewer than two poses or
/// more than 100,000.
std::vector<geometry_msgs::msg::PoseStamped> readPoseFile(const std::string& path,
                                                          const std::string& frame);

}  // namespace orvik_plan
