#!/usr/bin/env bash
# Installs, with apt-get, whatever the build and the tests need and this machine lacks;
# with --windows also what the Windows cross-build needs.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  clang libclang-rt-14-dev
  libgtest-dev libgmock-dev
  libcli11-dev nlohmann-json3-dev
  sndfile-programs sox mediainfo
  dpkg-dev file desktop-file-utils appstream librsvg2-bin lintian
  zsh fish  # the completions' test asks the shells themselves
  python3  # the JSON and CSV tests read the outputs back with Python's own readers
  qt6-base-dev fonts-dejavu-core  # the desktop program; a font for its off-screen window tests
)
# The Windows cross-build and its test run under wine (scripts/test-windows.sh).
if [ "${1:-}" = "--windows" ]; then
  packages+=(g++-mingw-w64-x86-64-posix wine wine64 googletest)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
"${sudo[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
