#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the libFuzzer targets with clang, AddressSanitizer and UBSan into build-fuzz/ and runs
# them on their committed seed corpora (fuzz/corpus/<target>/).
#
# Two ways to run:
#   exploratory (default): each target for a bounded time with a random seed. New inputs go to
#     build-fuzz/corpus/<target>/, crashes, hangs and leaks to build-fuzz/artifacts/<target>/.
#     A finding, once fixed, belongs in fuzz/corpus/<target>/ as a regression input.
#   reproducible (ORVIK_FUZZ_RUNS=N, what CI runs): replays every committed input, then N
#     mutations from a fixed seed, starting from the committed corpus only. The same commit
#     tries the same inputs on every machine, so a run never fails on what the fuzzer happened
#     to draw that day.
#
# Usage: scripts/fuzz.sh [seconds per target, default 600] [target...]
#   ORVIK_FUZZ_RUNS=N      reproducible mode with N mutations per target (seconds ignored)
#   ORVIK_FUZZ_SEED=S      seed of the reproducible mode (default 1)
#   ORVIK_FUZZ_BUILD_DIR   build folder (default build-fuzz)
#   ORVIK_JOBS             parallel compile jobs
# Exits non-zero when any target reports a finding.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-600}"
shift || true
build_dir="${ORVIK_FUZZ_BUILD_DIR:-$root/build-fuzz}"
jobs="${ORVIK_JOBS:-$(nproc)}"

all_targets=(fuzz_map_yaml fuzz_map_image fuzz_movingai_map fuzz_astar2_search
  fuzz_legacy_search fuzz_path_smoother fuzz_sunny_corner fuzz_constrained_smoother)
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=("${all_targets[@]}")
fi

# Every library is instrumented for coverage (fuzzer-no-link); the targets add libFuzzer itself.
cmake -S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" \
  -DORVIK_SANITIZE=ON -DORVIK_BUILD_FUZZERS=ON \
  -DORVIK_BUILD_TESTS=OFF -DORVIK_BUILD_BENCHMARKS=OFF -DORVIK_BUILD_APPS=OFF >/dev/null
cmake --build "$build_dir" --parallel "$jobs" --target "${targets[@]}"

export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitizer/lsan.supp"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

failed=()
for target in "${targets[@]}"; do
  seeds="$root/fuzz/corpus/$target"
  artifacts="$build_dir/artifacts/$target/"
  if [[ -n "${ORVIK_FUZZ_RUNS:-}" ]]; then
    # libFuzzer writes new inputs into its first folder: a fresh empty one, so that neither the
    # committed corpus changes nor inputs of an earlier run steer this one.
    work="$build_dir/replay/$target"
    rm -rf "$work"
    count=$(find "$seeds" -type f | wc -l)
    # -runs counts the replayed inputs too; the mutations come on top of them.
    limit=(-seed="${ORVIK_FUZZ_SEED:-1}" -runs=$((count + ORVIK_FUZZ_RUNS)))
  else
    work="$build_dir/corpus/$target"
    limit=(-max_total_time="$seconds")
  fi
  mkdir -p "$work" "$artifacts"
  echo "== $target: ${limit[*]}"
  # -timeout bounds a single input: anything slower than that counts as a hang.
  if ! "$build_dir/fuzz/$target" "${limit[@]}" -timeout=25 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$artifacts" "$work" "$seeds" \
    >"$build_dir/$target.log" 2>&1; then
    failed+=("$target")
    tail -n 60 "$build_dir/$target.log"
  fi
  grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::average_exec_per_sec)' \
    "$build_dir/$target.log" || true
done

if ((${#failed[@]})); then
  echo "fuzz findings in: ${failed[*]} (inputs under $build_dir/artifacts/)" >&2
  exit 1
fi
