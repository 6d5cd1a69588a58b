#!/usr/bin/env bash
# Installs the build dependencies and builds everything into build/ (or $TAMREL_BUILD_DIR).
# Extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build-essential cmake ninja-build pkg-config \
  libgtest-dev libgmock-dev libbenchmark-dev libicu-dev libssl-dev libxxhash-dev \
  qt6-base-dev qt6-qpa-plugins libplist-dev \
  fonts-inter fonts-jetbrains-mono fonts-material-design-icons-iconfont
build=${TAMREL_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DTAMREL_WERROR=ON "$@"
cmake --build "$build"
