# SPDX-License-Identifier: Apache-2.0
"""Maps from numpy, errors as Python exceptions, log lines in Python's logging, the GIL released
during searches, and the plot."""

import logging
import math
import os
import subprocess
import sys
import threading
import time

import numpy as np
import pytest

import support

orvik = support.import_orvik()


def test_costmap_map_geometry_and_layers():
    costs = support.open_costmap(20, 10)
    costs[7, 12] = 254  # cell x=12, y=7
    costs[2, 3] = 100
    grid = orvik.GridMap(costs, resolution=0.5, origin=(-1.0, 2.0),
                         grid_config={"danger_clearances": [1.0]})
    assert grid.size == (20, 10)
    assert grid.resolution == 0.5
    assert grid.origin == (-1.0, 2.0)
    assert grid.extent == (-1.0, 9.0, 2.0, 7.0)
    assert grid.world_to_cell(5.4, 5.6) == (12, 7)
    assert grid.world_to_cell(-1.01, 3.0) is None
    assert grid.cell_to_world(12, 7) == (5.25, 5.75)
    with pytest.raises(IndexError):
        grid.cell_to_world(20, 0)

    distances = grid.distances()
    assert distances.shape == (10, 20)
    ys, xs = np.mgrid[0:10, 0:20]
    np.testing.assert_allclose(distances, 0.5 * np.hypot(xs - 12, ys - 7), atol=1e-6)
    assert grid.costs()[2, 3] == 100 and grid.costs()[7, 12] == 254
    # Level 0 keeps 1 m (two cells) from the obstacle.
    np.testing.assert_array_equal(grid.danger(0), distances < 1.0 - 1e-9)


def test_search_on_a_numpy_map_follows_the_only_corridor():
    costs = np.full((5, 12), 254, dtype=np.uint8)
    costs[2, 1:11] = 0  # one free row between walls
    grid = orvik.GridMap(costs, resolution=0.1)
    result = orvik.AstarPlanner(grid).search_path((0.15, 0.25, 0.0), (1.05, 0.25, 0.0))
    assert result.found
    np.testing.assert_allclose(result.poses[:, 0], 0.15 + 0.1 * np.arange(10), atol=1e-9)
    np.testing.assert_allclose(result.poses[:, 1], 0.25, atol=1e-9)
    quality = orvik.path_quality(grid, result.poses)
    assert quality["length_m"] == pytest.approx(0.9)
    assert quality["total_turning_rad"] == pytest.approx(0.0)
    assert quality["min_clearance_m"] == pytest.approx(0.1, abs=1e-6)


def test_bad_input_raises_python_exceptions(demo_map_small):
    planner = orvik.AstarPlanner(demo_map_small)
    with pytest.raises(TypeError, match="spin_penaltyy"):
        planner.search_path((0.5, 0.5), (1.5, 0.5), spin_penaltyy=3)
    with pytest.raises(TypeError, match="spin_penalty"):
        planner.search_path((0.5, 0.5), (1.5, 0.5), spin_penalty=3.0)
    with pytest.raises(TypeError, match="cost_flag"):
        planner.search_path((0.5, 0.5), (1.5, 0.5), cost_flag=1)
    with pytest.raises(TypeError, match="goal_tolerance"):
        planner.search_path((0.5, 0.5), (1.5, 0.5), goal_tolerance="0.3")
    with pytest.raises(ValueError, match="danger_level"):
        planner.search_path((0.5, 0.5), (1.5, 0.5), danger_level=2**31)
    with pytest.raises(ValueError, match="start_fuzzy_radius"):
        planner.search_path((0.5, 0.5), (1.5, 0.5), start_fuzzy_radius=math.inf)
    with pytest.raises(TypeError, match="reference_path"):
        planner.search_path((0.5, 0.5), (1.5, 0.5), reference_path=[[0, 0]])
    with pytest.raises(ValueError, match="goal"):
        planner.search_path((0.5, 0.5), (1.5, 0.5, 0.0, 1.0))
    # A pose off the map or not finite is no error of the call: the planner finds no path.
    assert not planner.search_path((math.nan, 0.5), (1.5, 0.5)).found
    assert not planner.search_path((-5.0, 0.5), (1.5, 0.5)).found
    assert orvik.AstarPlanner(demo_map_small).search_path((0.5, 0.5), (1.5, 0.5)).found

    with pytest.raises(TypeError):
        orvik.GridMap(np.zeros((4, 4), dtype=np.float32), resolution=0.1)
    with pytest.raises(ValueError):
        orvik.GridMap(np.zeros((0, 4), dtype=np.uint8), resolution=0.1)
    with pytest.raises(ValueError):
        orvik.GridMap(np.zeros((4, 4), dtype=np.uint8), resolution=-1.0)
    with pytest.raises(ValueError, match="robot_radiuss"):
        orvik.GridMap(np.zeros((4, 4), dtype=np.uint8), 0.1, grid_config={"robot_radiuss": 0.1})
    with pytest.raises(TypeError, match="unknown_is_obstacle"):
        orvik.GridMap(np.zeros((4, 4), dtype=np.uint8), 0.1,
                      grid_config={"unknown_is_obstacle": "yes"})
    with pytest.raises(ValueError, match="no_such_map"):
        orvik.GridMap.from_yaml("/no_such_map.yaml")

    with pytest.raises(TypeError, match="smooth_weightt"):
        orvik.GradientSmoother(demo_map_small, smooth_weightt=1.0)
    with pytest.raises(TypeError, match="max_iterations"):
        orvik.GradientSmoother(demo_map_small, max_iterations=2.5)
    with pytest.raises(ValueError):
        orvik.GradientSmoother(demo_map_small).smooth(np.zeros((0, 3)))
    with pytest.raises(ValueError):
        orvik.GradientSmoother(demo_map_small).smooth(np.zeros((5, 4)))
    with pytest.raises(TypeError, match="linear_solver_typo"):
        orvik.ConstrainedSmoother(demo_map_small, optimizer={"linear_solver_typo": "QR"})
    with pytest.raises(ValueError, match="linear_solver_type"):
        orvik.ConstrainedSmoother(demo_map_small, optimizer={"linear_solver_type": "NONE"})
    with pytest.raises(RuntimeError):
        orvik.ConstrainedSmoother(demo_map_small).smooth([[0.5, 0.5, 0.0], [math.nan, 0.5, 0.0]])
    analysis = orvik.DouglasPeuker(demo_map_small)
    analysis.process(np.array([[0.5, 0.5, 0.0], [1.5, 0.5, 0.0]]))
    with pytest.raises(ValueError, match="refused"):
        analysis.cut(np.array([[0.5, 0.5, 0.0], [1.5, 0.5, 0.0]]), 3, 0.1)
    with pytest.raises(ValueError):
        orvik.DouglasPeuker().cut(np.zeros((2, 3)), 0, 0.1)
    with pytest.raises(ValueError, match="not finite"):
        orvik.path_quality(demo_map_small, [[0.5, 0.5], [math.inf, 0.5]])


@pytest.fixture(scope="module")
def demo_map_small():
    return orvik.GridMap(support.open_costmap(40, 20), resolution=0.1)


def test_log_lines_reach_python_logging(caplog):
    grid = orvik.GridMap(support.open_costmap(10, 10), resolution=0.1)
    planner = orvik.AstarPlanner(grid, "logged")
    orvik.log_to_python(True, logger="orvik.test")
    try:
        with caplog.at_level(logging.DEBUG, logger="orvik.test"):
            assert not planner.search_path((-1.0, 0.5), (0.5, 0.5)).found
    finally:
        orvik.log_to_python(False)
    errors = [r for r in caplog.records if r.name == "orvik.test" and r.levelno == logging.ERROR]
    assert any("AstarPlanner(logged)" in r.getMessage() for r in errors), caplog.text
    # Switched off, nothing more arrives.
    caplog.clear()
    planner.search_path((-1.0, 0.5), (0.5, 0.5))
    assert not [r for r in caplog.records if r.name == "orvik.test"]


def test_searches_on_two_threads_run_at_the_same_time():
    # A goal walled in on a large open map: each search floods the whole map.
    size = 700
    costs = support.open_costmap(size, size)
    costs[size - 4:size - 1, size - 4] = 254
    costs[size - 4, size - 4:size - 1] = 254
    costs[size - 4:size - 1, size - 2] = 254
    costs[size - 2, size - 4:size - 1] = 254
    grid = orvik.GridMap(costs, resolution=0.05)
    goal = grid.cell_to_world(size - 3, size - 3)
    planners = [orvik.AstarPlanner(grid, "thread%d" % i) for i in range(2)]
    intervals = [None, None]
    barrier = threading.Barrier(2)

    def search(index):
        barrier.wait()
        result = planners[index].search_path((0.025, 0.025), goal)
        assert not result.found
        # Stamped inside the library: a held GIL would delay the Python side of either thread.
        intervals[index] = (result.started_at, result.started_at + result.time_ms / 1000.0)

    threads = [threading.Thread(target=search, args=(i,)) for i in range(2)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    (a_start, a_end), (b_start, b_end) = intervals
    assert abs(a_start - time.monotonic()) < 60.0
    assert min(a_end, b_end) - max(a_start, b_start) > 0, intervals


def test_plot_draws_without_importing_matplotlib_at_import_time(tmp_path):
    code = "import sys, orvik; print('matplotlib' in sys.modules)"
    imported = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                              env=dict(os.environ, MPLBACKEND="Agg"))
    assert imported.stdout.strip().splitlines()[-1] == "False", imported.stderr

    import matplotlib
    matplotlib.use("Agg")
    grid = support.load_demo_map(orvik)
    result = orvik.AstarPlanner(grid).search_path((9.0, 4.0, 0.0), (1.0, 6.0, 1.0))
    ax = orvik.plot(grid, result, paths={"again": result.poses}, poses=result.poses[::20])
    assert len(ax.images) == 1
    assert ax.images[0].get_array().shape[:2] == (grid.size[1], grid.size[0])
    labels = [line.get_label() for line in ax.lines]
    assert "planner path" in labels and "again" in labels
    ax.figure.savefig(tmp_path / "plot.png")
    assert (tmp_path / "plot.png").stat().st_size > 0
