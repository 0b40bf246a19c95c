#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs a built tree into a temporary prefix and checks it as a user would meet it: a
# downstream project finds the package with find_package, builds, and runs without
# LD_LIBRARY_PATH, as does the installed tool; the ROS stand-ins stay private and abseil is
# not part of the package.
#
# Usage: scripts/check_install.sh [build-dir]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${1:-${ORVIK_BUILD_DIR:-$root/build}}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"

cmake --install "$build_dir" --prefix "$prefix" >/dev/null
unset LD_LIBRARY_PATH

fail() { echo "check_install: $*" >&2; exit 1; }

# Nothing with a ROS name where a ROS installation (or anything on the default search paths)
# could pick it up.
for ros_name in rclcpp rclcpp_lifecycle nav2_core nav2_costmap_2d nav2_util geometry_msgs \
    nav_msgs std_msgs tf2 tf2_ros pluginlib class_loader; do
  [[ ! -e "$prefix/include/$ros_name" ]] || fail "include/$ros_name installed at the top level"
done
if find "$prefix" -maxdepth 3 -name 'liborvik_ros2_compat*' | grep -q .; then
  fail "the stand-in library is installed under its old, public name"
fi
libdir="$(dirname "$(find "$prefix" -name 'liborvik_planner_astar2_core.so' | head -n1)")"
if compgen -G "$libdir/liborvik_planner_ros2_compat*" >/dev/null; then
  fail "the stand-in library sits in the public library folder $libdir"
fi
[[ -e "$libdir/orvik_planner/liborvik_planner_ros2_compat.so" ]] ||
  fail "the stand-in library is missing from $libdir/orvik_planner"
if grep -rqi absl "$prefix"/lib*/cmake "$prefix"/share 2>/dev/null; then
  fail "abseil appears in the installed CMake package"
fi

cmake -S "$root/test/install_consumer" -B "$work/consumer" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/orvik_install_consumer"

if [[ -x "$prefix/bin/orvik_plan" ]]; then
  "$prefix/bin/orvik_plan" --help >/dev/null || fail "the installed orvik_plan does not run"
  echo "installed orvik_plan runs"
fi
# The installed Python module loads from its own folder, its libraries found through its run path.
package_init="$(find "$prefix" -path '*/dist-packages/orvik/__init__.py' | head -n1)"
if [[ -n "$package_init" && -x /usr/bin/python3 ]]; then
  PYTHONPATH="$(dirname "$(dirname "$package_init")")" /usr/bin/python3 -c \
    "import orvik; orvik.GridMap" || fail "the installed Python module orvik does not import"
  echo "installed Python module imports"
fi
echo "check_install: the installed package works from $prefix"
