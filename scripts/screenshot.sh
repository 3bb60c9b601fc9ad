#!/usr/bin/env bash
# Retakes docs/screenshot.png (the desktop window after scanning the demo recordings) and
# docs/confirmation.png (the question before removing empty tracks from all of them), drawn
# under a virtual X server (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
if ! command -v xvfb-run >/dev/null; then
  sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends xvfb xauth
fi
cmake --preset release
cmake --build build -j "$(nproc)" --target tracksieve-screenshot make-demo-recordings

rm -rf demo-recordings
build/bin/make-demo-recordings demo-recordings
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x800x24" build/bin/tracksieve-screenshot demo-recordings docs/screenshot.png \
  docs/confirmation.png
echo "wrote docs/screenshot.png and docs/confirmation.png"
