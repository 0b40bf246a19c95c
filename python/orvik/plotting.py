# SPDX-License-Identifier: Apache-2.0
"""orvik.plot: a picture of a map with searches, paths and poses, like orvik_plan's PNG."""

import numpy as np

# Trace colour codes written by the planner's searches.
_TRACE_OPENED = 127
_TRACE_SPIN_FREE = 20
_TRACE_SPIN_BLOCKED = 98
_TRACE_TURN_AROUND = 254


def _map_image(grid):
    """RGB image of the map: white free, shades of grey for cost, black lethal, blue-grey unknown."""
    costs = grid.costs().astype(np.float64)
    image = np.ones(costs.shape + (3,))
    shade = 1.0 - 0.45 * np.clip(costs, 0, 253) / 253.0
    image[...] = shade[..., None]
    image[costs == 254] = (0.0, 0.0, 0.0)
    image[costs == 255] = (0.55, 0.6, 0.7)
    labels = grid.passage_labels()
    image[(labels > 0) & (costs < 254)] *= (0.85, 1.0, 0.85)
    return image


def _overlay_trace(image, trace):
    if trace is None:
        return
    trace = np.asarray(trace)
    if trace.shape != image.shape[:2]:
        return
    image[trace == _TRACE_OPENED] = image[trace == _TRACE_OPENED] * (0.75, 0.85, 1.0)
    image[trace == _TRACE_SPIN_FREE] = (0.55, 0.85, 0.55)
    image[trace == _TRACE_SPIN_BLOCKED] = (0.95, 0.55, 0.45)
    image[trace == _TRACE_TURN_AROUND] = (0.95, 0.8, 0.2)


def _as_paths(paths):
    if paths is None:
        return []
    if isinstance(paths, dict):
        return list(paths.items())
    if isinstance(paths, np.ndarray) and paths.ndim == 2:
        return [("path", paths)]
    return [(None, p) for p in paths]


def plot(grid, result=None, paths=None, poses=None, ax=None, title=None, arrow_length=None):
    """Draws the map, the search trace and paths of `result` (an orvik.PlanResult), further
    `paths` (an N x 2/3 array, a list of them, or a dict label -> array) and `poses` (arrows,
    an N x 3 array). Returns the matplotlib Axes; matplotlib is imported here, on first use.
    """
    import matplotlib.pyplot as plt

    if ax is None:
        _, ax = plt.subplots(figsize=(10, 10 * grid.size[1] / max(grid.size[0], 1)))
    image = _map_image(grid)
    if result is not None:
        _overlay_trace(image, result.trace)
    ax.imshow(image, origin="lower", extent=grid.extent, interpolation="nearest")

    drawn = []
    if result is not None:
        for i, path in enumerate(result.paths):
            label = "planner path" if len(result.paths) == 1 else "planner path %d" % (i + 1)
            drawn.append((label, path.poses))
    drawn += [(label or "path %d" % (i + 1), p) for i, (label, p) in enumerate(_as_paths(paths))]
    for i, (label, path) in enumerate(drawn):
        path = np.asarray(path, dtype=float)
        if len(path) == 0:
            continue
        last = i == len(drawn) - 1
        ax.plot(path[:, 0], path[:, 1], linewidth=2.5 if last else 1.2, label=label)

    length = arrow_length or 6 * grid.resolution
    if result is not None and result.found:
        first = result.paths[0].poses
        last = result.paths[-1].poses
        ax.plot(first[0, 0], first[0, 1], "o", color="tab:green", label="start")
        ax.plot(last[-1, 0], last[-1, 1], "s", color="tab:red", label="goal")
    if poses is not None:
        poses = np.atleast_2d(np.asarray(poses, dtype=float))
        yaw = poses[:, 2] if poses.shape[1] > 2 else np.zeros(len(poses))
        ax.quiver(poses[:, 0], poses[:, 1], np.cos(yaw) * length, np.sin(yaw) * length,
                  angles="xy", scale_units="xy", scale=1.0, color="tab:purple", width=0.004,
                  label="poses")
    ax.set_xlim(grid.extent[0], grid.extent[1])
    ax.set_ylim(grid.extent[2], grid.extent[3])
    ax.set_aspect("equal")
    ax.set_xlabel("x [m]")
    ax.set_ylabel("y [m]")
    if title:
        ax.set_title(title)
    if drawn or poses is not None:
        ax.legend(loc="upper left", fontsize="small")
    return ax
