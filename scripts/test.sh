#!/usr/bin/env bash
# Installs what is needed, builds and runs every test. This is the README's test command and
# what CI runs.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

"$root/scripts/install_deps.sh"
"$root/scripts/build.sh"
build_dir="${ORVIK_BUILD_DIR:-$root/build}"
ctest --test-dir "$build_dir" --output-on-failure --timeout 600 -j "$(nproc)"
