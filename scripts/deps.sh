#!/usr/bin/env bash
# Installs those of the Debian packages named as arguments that are not installed yet, running
# apt-get as root or through sudo.
#   deps.sh PACKAGE...                   the packages are needed: without them, exit 1
#   deps.sh --optional "WHY" PACKAGE...  they are not: where they cannot be installed (no root,
#                                        no sudo, or apt-get failed), say once what goes
#                                        without them ("WHY") and exit 0
set -euo pipefail
optional=""
if [ "${1:-}" = "--optional" ]; then
  optional=$2
  shift 2
fi
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

cannot() {
  if [ -n "$optional" ]; then
    echo "Not installed: ${missing[*]} ($1). $optional" >&2
    exit 0
  fi
  echo "Missing: ${missing[*]} ($1). Install them as root: apt-get install ${missing[*]}" >&2
  exit 1
}

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || cannot "installing needs root or sudo"
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq || cannot "apt-get update failed"
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
  "${missing[@]}" || cannot "apt-get install failed"
