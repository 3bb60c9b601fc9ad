#!/usr/bin/env bash
# Sets up a fresh machine, builds the desktop program, writes a folder of demo recordings and
# opens the program with that folder in its path field. Without a display it scans the folder
# with tracksieve-cli instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset release
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  cmake --build build -j "$(nproc)" --target tracksieve make-demo-recordings
else
  cmake --build build -j "$(nproc)" --target tracksieve-cli make-demo-recordings
fi

rm -rf demo-recordings
build/bin/make-demo-recordings demo-recordings
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec build/bin/tracksieve "$PWD/demo-recordings"
fi
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set), so instead of opening the desktop program:"
echo "build/bin/tracksieve-cli scan -r demo-recordings"
build/bin/tracksieve-cli scan -r demo-recordings
