#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Runs two builds of bench/astar_nav2_pairs_bench side by side and compares them.

The machine is shared and its speed drifts, so the two programs take turns (old, new, old,
new, ...) and each figure is given as the range over the runs beside its median. Typical use,
with the previous commit built into another folder:

    git worktree add ../base <commit>
    cp bench/astar_nav2_pairs_bench.cpp bench/support/nav2_benchmark_pairs.hpp ...  (into ../base)
    scripts/bench_side_by_side.py ../base/build/bench/astar_nav2_pairs_bench \\
        build/bench/astar_nav2_pairs_bench --runs 5 --rounds 3
"""
import argparse
import statistics
import subprocess
import sys

FIELDS = [
    ("cpu_median_ms", "median ms (CPU)", "{:.2f}"),
    ("cpu_p95_ms", "p95 ms (CPU)", "{:.2f}"),
    ("wall_median_ms", "median ms (wall)", "{:.2f}"),
    ("wall_p95_ms", "p95 ms (wall)", "{:.2f}"),
    ("expansions_per_cpu_s", "expansions/s (CPU)", "{:.3g}"),
]


def run(program, rounds, maps):
    command = [program, "--rounds", str(rounds)]
    if maps:
        command += ["--maps", maps]
    output = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    results = {}
    for line in output.splitlines():
        fields = dict(item.split("=", 1) for item in line.split() if "=" in item)
        if "map" in fields and "cpu_median_ms" in fields:
            results[fields["map"]] = fields
    return results


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("old")
    parser.add_argument("new")
    parser.add_argument("--runs", type=int, default=5, help="runs of each program, alternating")
    parser.add_argument("--rounds", type=int, default=3, help="rounds per run (per request median)")
    parser.add_argument("--maps", default="", help="folder of the Nav2 benchmark maps")
    args = parser.parse_args()

    samples = {"old": [], "new": []}
    for run_index in range(args.runs):
        for name in ("old", "new") if run_index % 2 == 0 else ("new", "old"):
            program = getattr(args, name)
            samples[name].append(run(program, args.rounds, args.maps))
            print(f"run {run_index + 1}/{args.runs} {name} done", file=sys.stderr, flush=True)

    maps = sorted(samples["new"][0].keys())
    for map_name in maps:
        old_expanded = {s[map_name]["expanded"] for s in samples["old"] if map_name in s}
        new_expanded = {s[map_name]["expanded"] for s in samples["new"] if map_name in s}
        print(f"\n{map_name}: expanded nodes old {sorted(old_expanded)} new {sorted(new_expanded)}")
        print(f"| {'figure':<20} | {'old median [range]':<28} | {'new median [range]':<28} | ratio |")
        print(f"|{'-' * 22}|{'-' * 30}|{'-' * 30}|-------|")
        for key, label, fmt in FIELDS:
            row = {}
            for name in ("old", "new"):
                values = [float(s[map_name][key]) for s in samples[name] if map_name in s]
                row[name] = (statistics.median(values), min(values), max(values))
            cells = [
                f"{fmt.format(m)} [{fmt.format(lo)}..{fmt.format(hi)}]" for m, lo, hi in row.values()
            ]
            ratio = row["old"][0] / row["new"][0] if "ms" in key else row["new"][0] / row["old"][0]
            print(f"| {label:<20} | {cells[0]:<28} | {cells[1]:<28} | {ratio:4.2f}x |")


if __name__ == "__main__":
    main()
