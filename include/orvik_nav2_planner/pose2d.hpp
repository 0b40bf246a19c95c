// SPDX-License-Identifier: Apache-2.0
#pragma once

/// A planar pose in the map's global frame: position in metres and heading in radians.
/// Plain record; the path smoother keeps the path it works on as a list of these.
struct Pose2d {
  double x = 0.0;
  double y = 0.0;
  double theta = 0.0;
};
