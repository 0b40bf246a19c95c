#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The README's first command: installs what is needed, builds, installs the libraries, the tool
# and the Python module orvik under /usr/local (or $ORVIK_INSTALL_PREFIX), where Debian's
# python3 finds `import orvik`, and runs the planning tool orvik_plan without arguments on the
# bundled demo warehouse. The picture and the JSON of the plan are left in out/ under the
# project root (or in $ORVIK_DEMO_DIR/out).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${ORVIK_BUILD_DIR:-$root/build}"
demo_dir="${ORVIK_DEMO_DIR:-$root}"
install_prefix="${ORVIK_INSTALL_PREFIX:-/usr/local}"

"$root/scripts/install_deps.sh"
"$root/scripts/build.sh"
if cmake --install "$build_dir" --prefix "$install_prefix" >/dev/null; then
  # The new libraries under /usr/local/lib become known to the dynamic loader.
  if [[ "$(id -u)" == 0 ]] && command -v ldconfig >/dev/null; then ldconfig; fi
else
  echo "note: could not install under $install_prefix (run as root, or set" \
    "ORVIK_INSTALL_PREFIX); the demo runs from the build tree" >&2
fi

cd "$demo_dir"
status=0
"$build_dir/apps/orvik_plan" || status=$?

echo
if [[ -f "$demo_dir/out/plan.png" && -f "$demo_dir/out/plan.json" ]]; then
  echo "Picture of the plan: $demo_dir/out/plan.png"
  echo "Path(s) as JSON:     $demo_dir/out/plan.json"
  echo "Next: $build_dir/apps/orvik_plan --help, and apps/README.md for your own map."
else
  echo "orvik_plan did not leave its picture and JSON in $demo_dir/out (exit status $status)" >&2
fi
"$root/scripts/python_check.sh" "$build_dir" "$install_prefix" || true
exit "$status"
