#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""The demo of orvik_plan, in Python: plan on the bundled warehouse, smooth, cut at the sunny
corner, smooth again with the constrained smoother, print the path quality after each step and
save a picture.

    /usr/bin/python3 examples/plan_demo.py [--out out/plan_python.png]

Run it after `cmake --install` (or with PYTHONPATH=build/python). The settings are read from the
same files as the tool's demo: data/demo_options.yaml and data/demo_postprocess.yaml.
"""

import argparse
import math
import os
import sys

import numpy as np
import yaml

import orvik

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "data")
START = (9.0, 4.0, 0.0)
GOAL = (1.0, 2.35, 3.14159)


def load_demo_map(data_dir=DATA):
    return orvik.GridMap.from_yaml(
        os.path.join(data_dir, "demo_warehouse.yaml"),
        grid_config=os.path.join(data_dir, "demo_warehouse_gridmap.yaml"),
        labels=os.path.join(data_dir, "demo_warehouse_labels.pgm"))


def orient_along_path(poses):
    """Every pose but the last gets the heading towards its successor, as a planner plugin
    gives them before the constrained smoother."""
    poses = np.array(poses, dtype=float)
    heading = poses[0, 2]
    for i in range(len(poses) - 1):
        dx, dy = poses[i + 1, :2] - poses[i, :2]
        if math.hypot(dx, dy) > 1e-9:
            heading = math.atan2(dy, dx)
        poses[i, 2] = heading
    return poses


def run_demo(data_dir=DATA):
    """Plans and post-processes like orvik_plan's demo. Returns (map, result, steps), steps a
    list of (name, [legs]) starting with ("plan", the planner's paths)."""
    grid = load_demo_map(data_dir)
    with open(os.path.join(data_dir, "demo_options.yaml")) as f:
        options = yaml.safe_load(f)
    with open(os.path.join(data_dir, "demo_postprocess.yaml")) as f:
        post = yaml.safe_load(f)

    planner = orvik.AstarPlanner(grid, "demo")
    result = planner.search_paths(START, GOAL, **options)
    if not result.found:
        raise RuntimeError("the demo request found no path")
    legs = [path.poses for path in result.paths]
    steps = [("plan", legs)]

    # Gradient smoother: the first leg starts from the robot's pose and motion, later legs from
    # standstill at their first pose.
    gradient = orvik.GradientSmoother(grid, **post["gradient_smoother"])
    velocity = (options.get("linear_velocity", 0.0), options.get("angular_velocity", 0.0))
    legs = [gradient.smooth(leg, start=START if i == 0 else leg[0],
                            linear_velocity=velocity[0] if i == 0 else 0.0,
                            angular_velocity=velocity[1] if i == 0 else 0.0)
            for i, leg in enumerate(legs)]
    steps.append(("gradient", legs))

    # Sunny corners: cut each leg at its corner `corner_index` where there is one.
    sunny = dict(post["sunny_corner"])
    corner_index = sunny.pop("corner_index")
    distance = sunny.pop("distance")
    cut_legs = []
    for leg in legs:
        analysis = orvik.DouglasPeuker(grid, **sunny)
        analysis.process(leg)
        if 0 <= corner_index < len(analysis.line_corners):
            leg = analysis.cut(leg, corner_index, distance)
        cut_legs.append(leg)
    legs = cut_legs
    steps.append(("sunny", legs))

    constrained = dict(post["constrained_smoother"])
    max_time = constrained.pop("max_time", 2.0)
    smoother = orvik.ConstrainedSmoother(grid, **constrained)
    smoothed = []
    for leg in legs:
        oriented = orient_along_path(leg)
        oriented[-1, 2] = leg[-1, 2]
        try:
            smoothed.append(smoother.smooth(oriented, max_time=max_time))
        except RuntimeError as failure:
            print("constrained smoother kept a leg as it was: %s" % failure, file=sys.stderr)
            smoothed.append(leg)
    steps.append(("constrained", smoothed))
    return grid, result, steps


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", default=os.path.join("out", "plan_python.png"))
    args = parser.parse_args()

    grid, result, steps = run_demo()
    print("found %s, %d nodes expanded in the last search, %.1f ms"
          % (result.found, result.expanded, result.time_ms))
    for name, legs in steps:
        for i, leg in enumerate(legs):
            q = orvik.path_quality(grid, leg)
            print("%-11s leg %d: length %.2f m, turning %.2f rad, max curvature %.2f 1/m, "
                  "clearance %.3f m, cost max %d mean %.1f"
                  % (name, i + 1, q["length_m"], q["total_turning_rad"], q["max_curvature"],
                     q["min_clearance_m"], q["max_cost"], q["mean_cost"]))

    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    final = {"%s leg %d" % (name, i + 1): leg
             for name, legs in steps[1:] for i, leg in enumerate(legs)}
    ax = orvik.plot(grid, result, paths=final, poses=np.array([START, GOAL]),
                    title="orvik demo warehouse")
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    ax.figure.savefig(args.out, dpi=120, bbox_inches="tight")
    plt.close(ax.figure)
    print("picture: %s" % args.out)


if __name__ == "__main__":
    main()
