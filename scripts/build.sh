#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Configures and builds the project (Release, with tests, tools and benchmarks) into build/.
# Usage: scripts/build.sh [extra cmake arguments...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${ORVIK_BUILD_DIR:-$root/build}"
jobs="${ORVIK_JOBS:-$(nproc)}"

cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build "$build_dir" --parallel "$jobs"
