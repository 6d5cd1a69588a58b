#!/usr/bin/env bash
# Builds everything and runs Tamrel. Until the window exists this scans the home folder with the
# scan benchmark and prints what it found.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec "${TAMREL_BUILD_DIR:-build}/bench/tamrel-bench" scan "${1:-$HOME}"
