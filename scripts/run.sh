#!/usr/bin/env bash
# Builds what the window needs (the program and its administrator helper, optimised) into
# build-run/ (or $TAMREL_BUILD_DIR) and opens Tamrel's window. It needs a display: a desktop
# session (DISPLAY or WAYLAND_DISPLAY set) or a Qt platform chosen with QT_QPA_PLATFORM.
# cmake's output goes to build.log in the build folder: a start with nothing new to build
# prints nothing of its own, and a failed build prints the end of the log. Once it has built,
# it opens the window whatever else it could not install.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Tamrel opens a window and needs a display: run this in a desktop session" \
       "(DISPLAY or WAYLAND_DISPLAY set), or set QT_QPA_PLATFORM." >&2
  exit 1
fi
bash scripts/build-deps.sh
build=${TAMREL_BUILD_DIR:-build-run}
mkdir -p "$build"
log=$(cd "$build" && pwd)/build.log
failed() {
  echo "Building Tamrel failed while $1. The end of its log:" >&2
  tail -n 40 "$log" >&2
  echo "The whole log: $log" >&2
  exit 1
}
: >"$log"
# Configured once; after that the build runs cmake again itself when a CMakeLists.txt changed.
if [ ! -f "$build/build.ninja" ]; then
  echo "Building Tamrel for the first time: a few minutes (its log: $log)"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAMREL_WERROR=ON \
    >>"$log" 2>&1 || failed "configuring"
fi
cmake --build "$build" --target tamrel tamrel-trash-helper >>"$log" 2>&1 || failed "compiling"
# The administrator prompt for moving items outside the home folder to the Trash.
bash scripts/deps.sh --optional "Moving items outside your home folder to the Trash will need it." pkexec
exec "$build/ui/tamrel" "$@"
