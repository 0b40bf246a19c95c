#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Planted-fault runner: measures whether the tests notice realistic one-line faults.

Each fault in the list (default: test/planted_faults.txt) names a source file, an exact piece of
its text and a replacement. The runner works on its own copy of the project (build-faults/tree,
refreshed from the working tree at every start, built in build-faults/build), so the working tree
and its build stay untouched and usable meanwhile. For every fault it edits the copied file,
rebuilds the test programs of the fault's area (ninja recompiles only what the edit touched),
runs them, and restores the file. A fault that makes some test fail that passed without it is
killed; one that every test lets through survived.

    python3 scripts/plant_faults.py                      # every fault
    python3 scripts/plant_faults.py --only passage       # faults whose name contains "passage"
    python3 scripts/plant_faults.py --list               # show the faults and check their keys

Faults are keyed by file and original text, not by line number, so the list survives edits
elsewhere in the file. The original text must occur exactly once in its file; a fault whose key
no longer matches is reported as stale. A fault whose edit does not compile is reported as such
and counts as neither killed nor survived. For developers only: CI does not run this.
"""

import argparse
import os
import shutil
import signal
import subprocess
import sys
import time
from dataclasses import dataclass, field
from pathlib import Path

SOURCE_ROOT = Path(__file__).resolve().parent.parent
# Where faults are planted: a copy of the project, set in main().
ROOT = SOURCE_ROOT
TEST_ENV = {"SPDLOG_STDOUT": "true", "SPDLOG_SYSTEMD": "false", "SPDLOG_LEVEL": "info"}


@dataclass
class Fault:
    name: str
    area: str = ""
    file: str = ""
    original: str = ""
    replacement: str = ""
    # Why no test can notice it, for a fault kept to document a limit that cannot be observed.
    equivalent: str = ""
    line: int = 0


@dataclass
class FaultList:
    areas: dict = field(default_factory=dict)  # area -> list of test programs
    faults: list = field(default_factory=list)


def unescape(text):
    """'\\n' in a key or replacement stands for a line break, so that a one-line change can be
    keyed by the lines around it when its own line is not unique in the file."""
    return text.replace("\\n", "\n")


def parse_fault_list(path):
    """Blocks of 'key: value' lines separated by blank lines; 'area NAME: programs' lines
    declare which test programs an area's faults run."""
    result = FaultList()
    current = None
    for number, raw in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        line = raw.rstrip("\n")
        if not line.strip():
            current = None
            continue
        if line.lstrip().startswith("#"):
            continue
        key, sep, value = line.partition(":")
        if not sep:
            sys.exit(f"{path}:{number}: expected 'key: value'")
        key = key.strip()
        value = value.strip()
        if key.startswith("area "):
            result.areas[key[5:].strip()] = value.split()
            continue
        if key == "name":
            current = Fault(name=value, line=number)
            result.faults.append(current)
            continue
        if current is None:
            sys.exit(f"{path}:{number}: '{key}' outside a fault block (start one with 'name:')")
        if key == "area":
            current.area = value
        elif key == "file":
            current.file = value
        elif key == "from":
            current.original = unescape(value)
        elif key == "to":
            current.replacement = unescape(value)
        elif key == "equivalent":
            current.equivalent = value
        else:
            sys.exit(f"{path}:{number}: unknown key '{key}'")
    for fault in result.faults:
        where = f"{path}:{fault.line}"
        if not (fault.area and fault.file and fault.original):
            sys.exit(f"{where}: fault '{fault.name}' needs area, file and from")
        if fault.area not in result.areas:
            sys.exit(f"{where}: unknown area '{fault.area}'")
        if fault.original == fault.replacement:
            sys.exit(f"{where}: fault '{fault.name}' changes nothing")
    return result


def key_matches(fault):
    source = ROOT / fault.file
    if not source.is_file():
        return 0
    return source.read_text(encoding="utf-8").count(fault.original)


def run(command, timeout, env=None):
    """Runs a command in its own process group, so a hanging test can be stopped with all of
    its children; returns (exit code or None on timeout, output)."""
    process = subprocess.Popen(command, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                               env=env, start_new_session=True, text=True, errors="replace")
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        output, _ = process.communicate()
        return None, output


def refresh_copy(tree):
    """Makes `tree` an exact copy of the project's sources (no build directories, no .git).
    Unchanged files keep their timestamps, so that ninja rebuilds only what changed."""
    ignore = shutil.ignore_patterns("build*", ".git", ".cache", "out", "install")
    tree.mkdir(parents=True, exist_ok=True)
    wanted = set()
    for folder, dirs, files in os.walk(SOURCE_ROOT):
        rel = Path(folder).relative_to(SOURCE_ROOT)
        dirs[:] = [d for d in dirs if d not in ignore(folder, dirs)]
        for name in set(files) - ignore(folder, files):
            source = Path(folder) / name
            target = tree / rel / name
            wanted.add(target)
            if target.exists() and target.read_bytes() == source.read_bytes():
                continue
            target.parent.mkdir(parents=True, exist_ok=True)
            # A fresh timestamp, not the source's: a file edited before the copy's last build
            # must still look newer than the objects built from its previous content.
            shutil.copyfile(source, target)
            shutil.copymode(source, target)
    for folder, _, files in os.walk(tree):
        for name in files:
            if Path(folder) / name not in wanted:
                (Path(folder) / name).unlink()


def configure(tree, build_dir):
    if (build_dir / "build.ninja").exists():
        return
    command = ["cmake", "-S", str(tree), "-B", str(build_dir), "-G", "Ninja",
               "-DCMAKE_BUILD_TYPE=Release"]
    if shutil.which("ccache"):
        command.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    # The copy sits elsewhere, so point it at the working tree's third-party maps.
    command.append(f"-DORVIK_SHARED_MAPS_DIR={SOURCE_ROOT.parent / 'shared' / 'maps'}")
    code, output = run(command, timeout=600)
    if code != 0:
        sys.exit("configuring the copy failed:\n" + output[-3000:])


def build(build_dir, programs):
    code, output = run(["cmake", "--build", str(build_dir), "--target", *programs], timeout=3000)
    return code == 0, output


def failed_tests(build_dir, programs, timeout):
    """Names of the failing tests of the programs ("program: crashed" or "program: timed out"
    when a program ends without its summary). Programs are found by name under the build
    directory."""
    env = dict(os.environ)
    env.update(TEST_ENV)
    failures = set()
    for program in programs:
        matches = [p for p in build_dir.rglob(program) if p.is_file() and os.access(p, os.X_OK)]
        if not matches:
            sys.exit(f"test program {program} not found under {build_dir}")
        code, output = run([str(matches[0]), "--gtest_brief=1"], timeout=timeout, env=env)
        if code is None:
            failures.add(f"{program}: timed out")
            continue
        named = {line.split("]", 1)[1].split("(")[0].strip()
                 for line in output.splitlines() if line.startswith("[  FAILED  ]")}
        named.discard("")
        named = {n for n in named if not n[0].isdigit()}  # the "N FAILED TESTS" summary line
        if code != 0 and not named:
            failures.add(f"{program}: crashed (exit {code})")
        failures |= {f"{program}: {n}" for n in named}
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--faults", default=str(SOURCE_ROOT / "test" / "planted_faults.txt"))
    parser.add_argument("--workdir", default=str(SOURCE_ROOT / "build-faults"),
                        help="holds the copy of the project (tree/) and its build (build/)")
    parser.add_argument("--only", default="", help="run the faults whose name contains this")
    parser.add_argument("--area", default="", help="run the faults of this area")
    parser.add_argument("--timeout", type=float, default=600.0, help="seconds per test program")
    parser.add_argument("--list", action="store_true", help="list the faults, check their keys")
    args = parser.parse_args()

    global ROOT
    workdir = Path(args.workdir).resolve()
    if not args.list:
        ROOT = workdir / "tree"
        refresh_copy(ROOT)
    faults = parse_fault_list(Path(args.faults))
    chosen = [f for f in faults.faults
              if args.only.lower() in f.name.lower() and (not args.area or f.area == args.area)]
    stale = [f for f in chosen if key_matches(f) != 1]
    if args.list:
        for fault in chosen:
            status = "ok" if key_matches(fault) == 1 else f"STALE ({key_matches(fault)} matches)"
            print(f"[{fault.area}] {fault.name}: {fault.file}: {status}")
        return 1 if stale else 0

    build_dir = workdir / "build"
    configure(ROOT, build_dir)
    programs = sorted({p for f in chosen for p in faults.areas[f.area]})
    ok, output = build(build_dir, programs)
    if not ok:
        sys.exit("the unmodified sources do not build:\n" + output[-3000:])
    # Tests that already fail without any fault (a machine's setup can break one) are left out
    # of the verdicts rather than stopping the run.
    baseline = {}
    for area in sorted({f.area for f in chosen}):
        baseline[area] = failed_tests(build_dir, faults.areas[area], args.timeout)
        for failure in sorted(baseline[area]):
            print(f"already failing without a fault, ignored: {failure}")

    killed, survived, broken, equivalent = [], [], [], []
    interrupted = False
    for number, fault in enumerate(chosen, 1):
        if fault in stale:
            continue
        source = ROOT / fault.file
        original_text = source.read_text(encoding="utf-8")
        started = time.time()
        try:
            source.write_text(original_text.replace(fault.original, fault.replacement, 1),
                              encoding="utf-8")
            programs = faults.areas[fault.area]
            compiled, _ = build(build_dir, programs)
            if not compiled:
                broken.append(fault)
                verdict = "does not compile"
            else:
                new_failures = sorted(failed_tests(build_dir, programs, args.timeout) -
                                      baseline[fault.area])
                if not new_failures and fault.equivalent:
                    equivalent.append(fault)
                    verdict = f"not observable, as expected ({fault.equivalent})"
                elif not new_failures:
                    survived.append(fault)
                    verdict = "SURVIVED"
                else:
                    killed.append(fault)
                    more = f" and {len(new_failures) - 1} more" if len(new_failures) > 1 else ""
                    verdict = f"killed by {new_failures[0]}{more}"
        except KeyboardInterrupt:
            interrupted = True
            verdict = "interrupted"
        finally:
            source.write_text(original_text, encoding="utf-8")
        print(f"[{number}/{len(chosen)}] {fault.name}: {verdict} ({time.time() - started:.0f} s)",
              flush=True)
        if interrupted:
            break

    # Leave the build directory matching the restored sources.
    build(build_dir, sorted({p for f in chosen for p in faults.areas[f.area]}))

    tried = len(killed) + len(survived)
    print()
    print(f"killed {len(killed)} of {tried} planted faults"
          + (f" ({100.0 * len(killed) / tried:.0f} %)" if tried else ""))
    if equivalent:
        print(f"{len(equivalent)} fault(s) marked equivalent, left out of the rate")
    for title, group in (("survived", survived), ("did not compile", broken),
                         ("stale (original text not found exactly once)", stale)):
        if group:
            print(f"{title}:")
            for fault in group:
                print(f"  [{fault.area}] {fault.name} ({fault.file})")
    return 1 if survived or stale or broken or interrupted else 0


if __name__ == "__main__":
    sys.exit(main())
