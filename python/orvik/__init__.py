# SPDX-License-Identifier: Apache-2.0
"""Plan, smooth and measure paths on occupancy grid maps with the orvik planner libraries.

    import orvik
    grid = orvik.GridMap.from_yaml("map.yaml", grid_config={"robot_radius": 0.3})
    planner = orvik.AstarPlanner(grid, "mine")
    result = planner.search_path((1.0, 2.0, 0.0), (8.5, 3.0, 1.57), goal_tolerance=0.2)
    print(result.found, result.poses[:3], orvik.path_quality(grid, result.poses))

Poses are (x, y, yaw) in metres and radians in the map frame; paths are N x 3 numpy arrays.
Map layers are numpy arrays indexed [y, x], row 0 at the map's origin.
"""

from ._orvik import (  # noqa: F401  (the package's public names)
    AstarPlanner,
    ConstrainedSmoother,
    DouglasPeuker,
    GradientSmoother,
    GridMap,
    LegacyPlanner,
    PlannedPath,
    PlanResult,
    ReferencePath,
    default_astar_options,
    log_to_python,
    path_quality,
)
from .plotting import plot  # noqa: F401  (imports matplotlib only when called)

__all__ = [
    "AstarPlanner",
    "ConstrainedSmoother",
    "DouglasPeuker",
    "GradientSmoother",
    "GridMap",
    "LegacyPlanner",
    "PlannedPath",
    "PlanResult",
    "ReferencePath",
    "default_astar_options",
    "log_to_python",
    "path_quality",
    "plot",
]
