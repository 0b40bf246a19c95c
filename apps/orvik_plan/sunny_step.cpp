// SPDX-License-Identifier: Apache-2.0
#include "orvik_nav2_planner/sunny_process.hpp"
#include "orvik_plan/post_steps.hpp"

namespace orvik_plan {

namespace {

CornerRecord toRecord(const Point& p) {
  CornerRecord c;
  c.x = p.x;
  c.y = p.y;
  c.index = p.index;
  c.angle = p.angle;
  c.heading_in = p.heading_in;
  c.heading_out = p.heading_out;
  return c;
}

}  // namespace

StepOutcome runSunnyStep(const PostConfig& config, const PostContext& context,
                         const std::vector<PathRecord>& paths) {
  const SunnySettings& s = config.sunny;
  StepOutcome outcome;
  outcome.name = "sunny";
  for (const PathRecord& in : paths) {
    if (const std::string note = tooLongForStep(in, "sunny"); !note.empty()) {
      outcome.ok = false;
      outcome.notes.push_back(note);
      outcome.paths.push_back(in);
      continue;
    }
    DouglasPeuker analysis(s.dilute_threshold, s.max_fit_error, s.angle_margin, s.max_corner_shift,
                           s.side_length, context.map);
    analysis.processPath(in.poses);
    for (const auto& c : analysis.sunny_corners_) {
      outcome.sunny_corners.push_back(toRecord(c));
    }
    for (const auto& c : analysis.line_corners_) {
      outcome.line_corners.push_back(toRecord(c));
    }
    PathRecord out = in;
    if (s.corner_index >= 0) {
      if (static_cast<std::size_t>(s.corner_index) < analysis.line_corners_.size()) {
        if (analysis.cutPathFromSunny(out.poses, s.corner_index, s.distance)) {
          for (const auto& pose : analysis.cut_poses_) {
            outcome.cut_poses.push_back(pose);
          }
          for (auto& pose : out.poses) {
            pose.header.frame_id = context.map->getGlobalFrame();
          }
          outcome.notes.push_back(in.role + ": cut at sunny corner " +
                                  std::to_string(s.corner_index));
        } else {
          outcome.ok = false;
          outcome.notes.push_back(in.role + ": the cut at sunny corner " +
                                  std::to_string(s.corner_index) + " was refused");
        }
      } else {
        outcome.notes.push_back(in.role + ": no sunny corner " + std::to_string(s.corner_index) +
                                " to cut at (found " +
                                std::to_string(analysis.line_corners_.size()) + ")");
      }
    }
    outcome.paths.push_back(std::move(out));
  }
  return outcome;
}

}  // namespace orvik_plan
