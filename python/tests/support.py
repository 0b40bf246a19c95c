# SPDX-License-Identifier: Apache-2.0
"""Helpers of the orvik module tests (run by ctest with PYTHONPATH at the build tree)."""

import importlib
import os

import numpy as np
import pytest

SOURCE_DIR = os.environ.get(
    "ORVIK_SOURCE_DIR",
    os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
DATA_DIR = os.path.join(SOURCE_DIR, "data")


def import_orvik():
    """The module; in the sanitizer build, where an instrumented extension may refuse to load
    into the interpreter, a failed import skips the tests instead of failing them."""
    if os.environ.get("ORVIK_PYTEST_SANITIZED"):
        return pytest.importorskip("orvik", reason="orvik does not load under the sanitizers")
    return importlib.import_module("orvik")


def load_demo_map(orvik):
    return orvik.GridMap.from_yaml(
        os.path.join(DATA_DIR, "demo_warehouse.yaml"),
        grid_config=os.path.join(DATA_DIR, "demo_warehouse_gridmap.yaml"),
        labels=os.path.join(DATA_DIR, "demo_warehouse_labels.pgm"))


def open_costmap(size_x, size_y):
    """A free uint8 costmap indexed [y, x]."""
    return np.zeros((size_y, size_x), dtype=np.uint8)
