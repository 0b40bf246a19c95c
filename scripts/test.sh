#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs what is needed, builds and runs every test. This is the README's test command and
# what CI runs (with --with-sanitizers).
#
# Usage: scripts/test.sh [--with-sanitizers]
#   --with-sanitizers  afterwards, build again with AddressSanitizer and
#                      UndefinedBehaviorSanitizer (halting on the first error) into
#                      build-sanitize/ and run the whole suite a second time there.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

with_sanitizers=0
for argument in "$@"; do
  case "$argument" in
    --with-sanitizers) with_sanitizers=1 ;;
    *) echo "unknown argument: $argument" >&2; exit 2 ;;
  esac
done

"$root/scripts/install_deps.sh"

jobs="${ORVIK_JOBS:-$(nproc)}"
build_dir="${ORVIK_BUILD_DIR:-$root/build}"
# The suite drives the libraries through compat/'s stand-ins: standalone even where ROS 2 is
# sourced.
"$root/scripts/build.sh" -DORVIK_ROS2=OFF
ctest --test-dir "$build_dir" --output-on-failure --timeout 900 -j "$jobs"
# The installed package, as a downstream project uses it.
"$root/scripts/check_install.sh" "$build_dir"

if ((with_sanitizers)); then
  sanitize_dir="$root/build-sanitize"
  cmake -S "$root" -B "$sanitize_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORVIK_SANITIZE=ON -DORVIK_BUILD_BENCHMARKS=OFF -DORVIK_ROS2=OFF
  cmake --build "$sanitize_dir" --parallel "$jobs"
  export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
  export LSAN_OPTIONS="suppressions=$root/scripts/sanitizer/lsan.supp"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  ctest --test-dir "$sanitize_dir" --output-on-failure --timeout 1800 -j "$jobs"
fi
