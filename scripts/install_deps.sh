#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs every Debian 12 package the build, the tests and the tools need. Run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libspdlog-dev libfmt-dev libsystemd-dev
  libceres-dev libeigen3-dev
  libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev
  libyaml-cpp-dev libabsl-dev nlohmann-json3-dev libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format
  # the Python module orvik, for Debian's python3 (python/, examples/)
  python3-dev pybind11-dev python3-pybind11 python3-numpy python3-matplotlib python3-pytest
  python3-yaml
  # libFuzzer for scripts/fuzz.sh
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done

if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
