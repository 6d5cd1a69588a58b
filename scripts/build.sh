#!/usr/bin/env bash
# Installs the build dependencies and builds everything into build/ (or $TAMREL_BUILD_DIR).
# Extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build-deps.sh
build=${TAMREL_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DTAMREL_WERROR=ON "$@"
cmake --build "$build"
