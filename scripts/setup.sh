#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks and creates the isolated Wine prefix.
# Idempotent: when everything is present it only checks and returns.
# Usage: scripts/setup.sh [BUILD_ROOT]   (default: <repo>/build)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build_root=${1:-${TIDVALE_BUILD_ROOT:-$repo/build}}

packages=(
  g++-mingw-w64-x86-64-posix  # cross compiler for the Windows build
  wine64                      # runs and tests the Windows build
  cmake ninja-build           # build
  googletest                  # GoogleTest sources, built for both targets
  nlohmann-json3-dev          # JSON of the headless engine's line protocol (header-only)
  clang libclang-rt-14-dev    # native sanitizers and libFuzzer
  python3 python3-pytest      # client and end-to-end tests
  clang-format
  util-linux                  # flock
  ntfs-3g fuse3               # real NTFS volumes (mkntfs, FUSE mount) for the table engine's tests
  sleuthkit                   # fls and istat: an independent reader of those volumes
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}" >&2
  sudo_cmd=()
  [ "$(id -u)" = 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
fi

"$repo/scripts/wine-prefix.sh" "$build_root/wine"
