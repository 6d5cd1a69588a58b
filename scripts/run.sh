#!/usr/bin/env bash
# Builds everything and opens Tamrel's window. It needs a display: a desktop session (DISPLAY or
# WAYLAND_DISPLAY set) or a Qt platform chosen with QT_QPA_PLATFORM. Once it has built, it opens
# the window whatever else it could not install.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Tamrel opens a window and needs a display: run this in a desktop session" \
       "(DISPLAY or WAYLAND_DISPLAY set), or set QT_QPA_PLATFORM." >&2
  exit 1
fi
bash scripts/build.sh
# The administrator prompt for moving items outside the home folder to the Trash.
bash scripts/deps.sh --optional "Moving items outside your home folder to the Trash will need it." pkexec
exec "${TAMREL_BUILD_DIR:-build}/ui/tamrel" "$@"
