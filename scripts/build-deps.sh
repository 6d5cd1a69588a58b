#!/usr/bin/env bash
# Installs the Debian packages the build needs (through scripts/deps.sh): the compiler and
# build tools, the libraries, Qt 6 (with its SVG plugins, which draw applications' SVG icons)
# and the fonts the screens are drawn with.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build-essential cmake ninja-build pkg-config \
  libgtest-dev libgmock-dev libbenchmark-dev libicu-dev libssl-dev libxxhash-dev \
  qt6-base-dev qt6-qpa-plugins libqt6svg6 libplist-dev \
  fonts-inter fonts-jetbrains-mono fonts-material-design-icons-iconfont
