# SPDX-License-Identifier: Apache-2.0
"""The module gives what orvik_plan gives on the same map and request: paths, expanded nodes,
every post-processing step and the quality figures."""

import importlib.util
import json
import os
import subprocess

import numpy as np
import pytest

import support

orvik = support.import_orvik()

TOOL = os.environ.get("ORVIK_PLAN_BIN")
pytestmark = pytest.mark.skipif(not TOOL or not os.path.exists(TOOL),
                                reason="ORVIK_PLAN_BIN does not name the built orvik_plan")

QUALITY_KEYS = ["length_m", "total_turning_rad", "max_curvature", "min_clearance_m", "max_cost",
                "mean_cost", "cells_passed", "off_map_length_m"]


def run_tool(tmp_path, *arguments):
    out = tmp_path / "plan.json"
    completed = subprocess.run([TOOL, *arguments, "--json", str(out), "--no-png"],
                               capture_output=True, text=True, cwd=tmp_path)
    assert completed.returncode in (0, 1), completed.stderr
    with open(out) as f:
        return json.load(f)


def poses_of(path_json):
    return np.array([[p["x"], p["y"], p["yaw"]] for p in path_json["poses"]])


def assert_same_quality(mine, tools):
    for key in QUALITY_KEYS:
        if tools[key] is None:
            assert np.isnan(mine[key]), key
        else:
            assert mine[key] == pytest.approx(tools[key], rel=1e-9, abs=1e-12), key


def load_example():
    path = os.path.join(support.SOURCE_DIR, "examples", "plan_demo.py")
    module_spec = importlib.util.spec_from_file_location("plan_demo", path)
    module = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(module)
    return module


def test_demo_example_reproduces_every_step_of_the_tool(tmp_path):
    tool = run_tool(tmp_path, "--demo")
    example = load_example()
    grid, result, steps = example.run_demo(support.DATA_DIR)

    assert result.found == tool["found"]
    # Summed over the searches of the request, traces merged, as the tool counts them.
    assert result.expanded == tool["nodes_expanded"]
    assert np.count_nonzero(result.trace) == tool["nodes_opened"]
    tool_steps = [("plan", tool["planner_paths"])] + [(s["name"], s["paths"]) for s in tool["steps"]]
    assert [name for name, _ in steps] == [name for name, _ in tool_steps]
    for (name, legs), (_, tool_legs) in zip(steps, tool_steps):
        assert len(legs) == len(tool_legs), name
        for leg, tool_leg in zip(legs, tool_legs):
            # JSON keeps 17 significant digits: the same doubles come back.
            np.testing.assert_allclose(leg, poses_of(tool_leg), rtol=0, atol=1e-9, err_msg=name)
            assert_same_quality(orvik.path_quality(grid, leg), tool_leg["quality"])


@pytest.mark.parametrize("options", [
    {},
    {"cost_flag": True, "cost_weight": 0.5, "danger_level": 1},
    {"check_spin_direction": True, "spin_penalty": 50, "goal_tolerance": 0.2},
])
def test_search_path_matches_the_tool(tmp_path, options):
    options_file = tmp_path / "options.yaml"
    options_file.write_text("".join(
        "%s: %s\n" % (k, str(v).lower() if isinstance(v, bool) else v) for k, v in options.items()))
    start, goal = (9.0, 4.0, 0.0), (1.0, 6.0, 1.0)
    data = support.DATA_DIR
    tool = run_tool(tmp_path, "--map", os.path.join(data, "demo_warehouse.yaml"),
                    "--grid-config", os.path.join(data, "demo_warehouse_gridmap.yaml"),
                    "--start", "9.0,4.0,0.0", "--goal", "1.0,6.0,1.0", "--request", "path",
                    "--options", str(options_file))
    grid = orvik.GridMap.from_yaml(os.path.join(data, "demo_warehouse.yaml"),
                                   grid_config=os.path.join(data, "demo_warehouse_gridmap.yaml"))
    result = orvik.AstarPlanner(grid, "agreement").search_path(start, goal, **options)
    assert result.found and tool["found"]
    assert result.expanded == tool["nodes_expanded"]
    np.testing.assert_allclose(result.poses, poses_of(tool["planner_paths"][0]), rtol=0, atol=1e-9)
    path_json = tool["planner_paths"][0]
    assert result.goal_tolerance == pytest.approx(path_json["goal_tolerance"])
    assert result.start_spin_blocked == path_json["start_spin_blocked"]
    assert result.spin_blocked_on_path == path_json["spin_blocked_on_path"]
    assert_same_quality(orvik.path_quality(grid, result.poses, cost_flag=options.get("cost_flag", False)),
                        path_json["quality"])
    # The trace marks the cells the search opened, as the tool counts them.
    assert np.count_nonzero(result.trace) == tool["nodes_opened"]


def test_legacy_planner_matches_the_tool(tmp_path):
    data = support.DATA_DIR
    tool = run_tool(tmp_path, "--map", os.path.join(data, "demo_warehouse.yaml"),
                    "--grid-config", os.path.join(data, "demo_warehouse_gridmap.yaml"),
                    "--start", "9.0,4.0,0.0", "--goal", "1.0,6.0,1.0", "--planner", "legacy")
    grid = orvik.GridMap.from_yaml(os.path.join(data, "demo_warehouse.yaml"),
                                   grid_config=os.path.join(data, "demo_warehouse_gridmap.yaml"))
    result = orvik.LegacyPlanner(grid).search((9.0, 4.0, 0.0), (1.0, 6.0, 1.0))
    assert result.found and tool["found"]
    np.testing.assert_allclose(result.poses, poses_of(tool["planner_paths"][0]), rtol=0, atol=1e-9)


def route(qualities):
    return {"turning": sum(q["total_turning_rad"] for q in qualities),
            "curvature": max(q["max_curvature"] for q in qualities),
            "clearance": min(q["min_clearance_m"] for q in qualities),
            "cost": max(q["max_cost"] for q in qualities)}


def test_each_demo_step_improves_the_route(tmp_path):
    tool = run_tool(tmp_path, "--demo")
    stages = [route([p["quality"] for p in tool["planner_paths"]])]
    stages += [route([p["quality"] for p in step["paths"]]) for step in tool["steps"]]
    assert [s["name"] for s in tool["steps"]] == ["gradient", "sunny", "constrained"]
    for before, after in zip(stages, stages[1:]):
        assert after["turning"] < before["turning"], stages
        assert after["curvature"] <= before["curvature"] + 1e-9, stages
    for stage in stages[1:]:
        assert stage["clearance"] >= stages[0]["clearance"] - 1e-9, stages
        assert stage["cost"] <= stages[0]["cost"], stages


def test_forward_request_matches_the_tool(tmp_path):
    data = support.DATA_DIR
    tool = run_tool(tmp_path, "--map", os.path.join(data, "demo_warehouse.yaml"),
                    "--grid-config", os.path.join(data, "demo_warehouse_gridmap.yaml"),
                    "--start", "9.0,4.0,0.0", "--request", "forward",
                    "--options", os.path.join(data, "demo_options.yaml"))
    grid = orvik.GridMap.from_yaml(os.path.join(data, "demo_warehouse.yaml"),
                                   grid_config=os.path.join(data, "demo_warehouse_gridmap.yaml"))
    import yaml
    with open(os.path.join(data, "demo_options.yaml")) as f:
        options = yaml.safe_load(f)
    result = orvik.AstarPlanner(grid, "forward").search_forward_path((9.0, 4.0, 0.0), **options)
    assert result.found and tool["found"]
    assert result.expanded == tool["nodes_expanded"]
    np.testing.assert_allclose(result.poses, poses_of(tool["planner_paths"][0]), rtol=0, atol=1e-9)
