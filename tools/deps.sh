#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need (only those missing).
set -euo pipefail
packages=(build-essential cmake qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev
          qt6-svg-dev libboost-dev libeigen3-dev fonts-dejavu-core python3 clang-format pybind11-dev
          python3-dev python3-numpy python3-matplotlib parallel python3-pandas python3-dask
          python3-distributed python3-nbclient python3-nbconvert python3-ipykernel
          qt6-translations-l10n
          xvfb xdotool imagemagick)  # the end-to-end test: an X server, its mouse and a screenshot
packages+=("$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
