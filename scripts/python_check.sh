#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Says how to import the Python module orvik after scripts/demo.sh installed it.
# The module is built for Debian's interpreter /usr/bin/python3 (with Debian's numpy); another
# python3 first on PATH (pyenv, conda, a venv without system packages) cannot load it.
# Usage: scripts/python_check.sh <build dir> <install prefix>
set -uo pipefail
build_dir="$1"
prefix="$2"

interpreter="$(sed -n 's/^Python3_EXECUTABLE:[A-Z]*=//p' "$build_dir/CMakeCache.txt" 2>/dev/null)"
interpreter="${interpreter:-/usr/bin/python3}"
package_dir="$(sed -n 's/^ORVIK_PYTHON_INSTALL_DIR:[A-Z]*=//p' "$build_dir/CMakeCache.txt" 2>/dev/null)"
site="$prefix/${package_dir:-lib/python3/dist-packages}"

if ! "$interpreter" -c "import orvik" 2>/dev/null; then
  if PYTHONPATH="$site" "$interpreter" -c "import orvik" 2>/dev/null; then
    echo "Python:              PYTHONPATH=$site $interpreter -c 'import orvik'"
  elif PYTHONPATH="$build_dir/python" "$interpreter" -c "import orvik" 2>/dev/null; then
    echo "Python:              PYTHONPATH=$build_dir/python $interpreter -c 'import orvik'"
  else
    echo "Python: the module orvik does not import with $interpreter; see the build output" >&2
    exit 1
  fi
  exit 0
fi
echo "Python:              $interpreter -c 'import orvik'   (examples/plan_demo.py)"
on_path="$(command -v python3 || true)"
if [[ -n "$on_path" ]] && ! python3 -c "import orvik" 2>/dev/null; then
  # Another CPython of the same minor version (pyenv, for one) loads the same extension modules,
  # so a .pth file appended to its path lets `python3 -c "import orvik"` find the module and
  # Debian's numpy; its own packages still come first. ORVIK_PYTHON_BRIDGE=0 leaves it alone.
  same_abi="$(python3 -c 'import sys; print(sys.implementation.name + "%d.%d" % sys.version_info[:2])' 2>/dev/null)"
  built_abi="$("$interpreter" -c 'import sys; print(sys.implementation.name + "%d.%d" % sys.version_info[:2])')"
  purelib="$(python3 -c 'import sysconfig; print(sysconfig.get_paths()["purelib"])' 2>/dev/null)"
  if [[ "${ORVIK_PYTHON_BRIDGE:-1}" != 0 && "$same_abi" == "$built_abi" && -d "$purelib" && -w "$purelib" ]]; then
    bridge="$purelib/orvik-system-packages.pth"
    {
      echo "$site"
      "$interpreter" -c 'import site; print("\n".join(p for p in site.getsitepackages()))'
    } > "$bridge"
    if python3 -c "import orvik" 2>/dev/null; then
      echo "Python:              python3 -c 'import orvik'   ($on_path reaches Debian's packages through $bridge; delete it to undo)"
      exit 0
    fi
    rm -f "$bridge"
  fi
  echo "Note: python3 on your PATH is $on_path, not $interpreter that orvik is built for;"
  echo "      run $interpreter, or put $(dirname "$interpreter") first on PATH."
fi
