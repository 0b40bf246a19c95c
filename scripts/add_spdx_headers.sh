#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Puts an SPDX licence line at the top of each source file that lacks one: "// ..." for C and
# C++, "# ..." for CMake, shell and Python (below a shebang line and a Python coding line).
# Files that already carry an SPDX line anywhere in their first lines are left alone, so running
# it again changes nothing.
#
# Usage: scripts/add_spdx_headers.sh [file...]
#   With no files: every source file git tracks in the project.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
licence="Apache-2.0"

comment_for() {
  case "$1" in
    *.cpp | *.hpp | *.cc | *.h | *.c) echo "//" ;;
    *CMakeLists.txt | *.cmake | *.cmake.in | *.sh | *.py) echo "#" ;;
    *) ;;
  esac
}

add_header() {
  local file="$1" marker="$2"
  local line="$marker SPDX-License-Identifier: $licence"
  if head -n 5 "$file" | grep -q "SPDX-License-Identifier:"; then
    return
  fi
  # Lines that must stay first: a shebang, and in Python a coding declaration after it.
  local keep=0
  if head -n 1 "$file" | grep -q '^#!'; then
    keep=1
    if sed -n 2p "$file" | grep -Eq '^#.*coding[:=]'; then
      keep=2
    fi
  elif head -n 1 "$file" | grep -Eq '^#.*coding[:=]'; then
    keep=1
  fi
  local tmp
  tmp="$(mktemp "$file.spdx.XXXXXX")"
  {
    head -n "$keep" "$file"
    echo "$line"
    tail -n "+$((keep + 1))" "$file"
  } >"$tmp"
  chmod --reference="$file" "$tmp"
  mv "$tmp" "$file"
  echo "added: $file"
}

if (($#)); then
  files=("$@")
else
  mapfile -t files < <(git -C "$root" ls-files | sed "s|^|$root/|")
fi

for file in "${files[@]}"; do
  [[ -f "$file" ]] || continue
  marker="$(comment_for "$file")"
  [[ -n "$marker" ]] || continue
  add_header "$file" "$marker"
done
