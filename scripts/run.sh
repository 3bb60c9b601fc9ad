#!/usr/bin/env bash
# Sets up a fresh machine, builds tracksieve-cli, writes a folder of demo recordings and scans it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j "$(nproc)" --target tracksieve-cli make-demo-recordings

rm -rf demo-recordings
build/bin/make-demo-recordings demo-recordings
build/bin/tracksieve-cli scan -r demo-recordings
