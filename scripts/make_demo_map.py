#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Draws the demo warehouse that orvik_plan runs on when started without arguments.

Writes into data/ (or the folder given as the first argument):
  demo_warehouse.pgm / .yaml          the occupancy map in map_server format
  demo_warehouse_labels.pgm           priority passage labels, one grey value per label
  demo_warehouse_gridmap.yaml         robot footprint, danger clearances and inflation

The map is 12 m x 8 m at 5 cm: four shelf racks with aisles between them, a labelled priority
lane east of the racks, and behind a partition wall a narrow dead-end corridor (0.6 m, too narrow
for the 0.7 m x 0.44 m robot to turn in) that opens into a small turning bay. A robot parked in
the corridor facing the bay must drive forward into the bay, turn there and come back.
Only the standard library is used, so the script runs on a bare Debian install.
"""

import os
import sys

RESOLUTION = 0.05
WIDTH_M, HEIGHT_M = 12.0, 8.0
SIZE_X = int(round(WIDTH_M / RESOLUTION))
SIZE_Y = int(round(HEIGHT_M / RESOLUTION))

FREE, OCCUPIED = 254, 0

# Obstacles as (x_min, y_min, x_max, y_max) in metres, map frame (y up).
WALL = 0.1
OBSTACLES = [
    (0.0, 0.0, WIDTH_M, WALL),
    (0.0, HEIGHT_M - WALL, WIDTH_M, HEIGHT_M),
    (0.0, 0.0, WALL, HEIGHT_M),
    (WIDTH_M - WALL, 0.0, WIDTH_M, HEIGHT_M),
    # Shelf racks; the aisles between them are 1.1 m wide.
    (1.5, 1.2, 6.5, 1.8),
    (1.5, 2.9, 6.5, 3.5),
    (1.5, 4.6, 6.5, 5.2),
    (1.5, 6.3, 6.5, 6.9),
    # Partition east of the lane: solid except the corridor and the bay carved out below.
    (8.0, 0.0, WIDTH_M, HEIGHT_M),
]
# Free space cut back out of the partition block.
CARVED = [
    (8.0, 3.7, 10.0, 4.3),   # the narrow corridor, 0.6 m wide
    (10.0, 3.0, 11.9, 5.0),  # the turning bay at its end
]
# Priority passages: (label, x_min, y_min, x_max, y_max).
LANES = [
    (1, 6.85, 0.35, 7.65, 7.65),  # the north-south lane between the racks and the partition
    (2, 0.35, 0.35, 6.85, 1.0),   # the southern cross aisle
]


def cell_ranges(box):
    x0, y0, x1, y1 = box
    return (int(round(x0 / RESOLUTION)), int(round(y0 / RESOLUTION)),
            int(round(x1 / RESOLUTION)), int(round(y1 / RESOLUTION)))


def fill(grid, box, value):
    cx0, cy0, cx1, cy1 = cell_ranges(box)
    for y in range(max(cy0, 0), min(cy1, SIZE_Y)):
        for x in range(max(cx0, 0), min(cx1, SIZE_X)):
            grid[y][x] = value


def write_pgm(path, grid):
    # PGM rows run top to bottom while grid row 0 is the lowest y, as map_server expects.
    with open(path, "wb") as f:
        f.write(b"P5\n%d %d\n255\n" % (SIZE_X, SIZE_Y))
        for y in reversed(range(SIZE_Y)):
            f.write(bytes(grid[y]))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "data")
    os.makedirs(out, exist_ok=True)

    occupancy = [[FREE] * SIZE_X for _ in range(SIZE_Y)]
    for box in OBSTACLES:
        fill(occupancy, box, OCCUPIED)
    for box in CARVED:
        fill(occupancy, box, FREE)
    write_pgm(os.path.join(out, "demo_warehouse.pgm"), occupancy)

    labels = [[0] * SIZE_X for _ in range(SIZE_Y)]
    for label, *box in LANES:
        fill(labels, tuple(box), label)
    write_pgm(os.path.join(out, "demo_warehouse_labels.pgm"), labels)

    with open(os.path.join(out, "demo_warehouse.yaml"), "w") as f:
        f.write("image: demo_warehouse.pgm\n"
                "mode: trinary\n"
                f"resolution: {RESOLUTION}\n"
                "origin: [0.0, 0.0, 0.0]\n"
                "negate: 0\n"
                "occupied_thresh: 0.65\n"
                "free_thresh: 0.196\n")

    with open(os.path.join(out, "demo_warehouse_gridmap.yaml"), "w") as f:
        f.write("# Robot and cost model for the demo warehouse (see apps/README.md).\n"
                "global_frame: map\n"
                "# 0.7 m x 0.44 m, x forward: it fits the 0.6 m corridor but cannot turn in it.\n"
                "footprint: [[0.35, 0.22], [0.35, -0.22], [-0.35, -0.22], [-0.35, 0.22]]\n"
                "# Minimum obstacle distance per danger level, metres; none below the\n"
                "# footprint's inscribed radius (0.22 m), or the footprint may touch a wall.\n"
                "danger_clearances: [0.25, 0.22]\n"
                "unknown_is_obstacle: true\n"
                "inflation:\n"
                "  enabled: true\n"
                "  inscribed_radius: 0.22\n"
                "  inflation_radius: 0.55\n"
                "  cost_scaling_factor: 3.0\n")


if __name__ == "__main__":
    main()
