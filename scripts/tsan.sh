#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the multi-threaded tests with ThreadSanitizer into build-tsan/ and runs them: any data
# race fails the run. Only the libraries those tests need are built, which keeps it short.
# Usage: scripts/tsan.sh
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${ORVIK_TSAN_BUILD_DIR:-$root/build-tsan}"
jobs="${ORVIK_JOBS:-$(nproc)}"

cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DORVIK_SANITIZE_THREAD=ON -DORVIK_BUILD_BENCHMARKS=OFF -DORVIK_BUILD_APPS=OFF \
  -DORVIK_TEST_DIRS="concurrency"
cmake --build "$build_dir" --parallel "$jobs" --target shared_use_test
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
ctest --test-dir "$build_dir" --output-on-failure --timeout 600 -R 'Shared'
