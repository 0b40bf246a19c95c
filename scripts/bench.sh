#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Runs the benchmark programs of an existing build (scripts/build.sh first).
# Usage: scripts/bench.sh [name filter] [extra benchmark arguments...]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${ORVIK_BUILD_DIR:-$root/build}"
filter="${1:-}"
shift || true

found=0
for program in "$build_dir"/bench/*_bench; do
  [[ -x "$program" ]] || continue
  [[ -z "$filter" || "$(basename "$program")" == *"$filter"* ]] || continue
  found=1
  echo "== $(basename "$program")"
  "$program" "$@"
done
((found)) || { echo "no benchmark programs found in $build_dir/bench" >&2; exit 1; }
