#!/usr/bin/env bash
# Sets up a fresh machine, builds everything and runs every test.
# With --sanitize the build uses AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

# The builds are the presets of CMakePresets.json: build/ and build-sanitize/.
preset=release
[ "${1:-}" = "--sanitize" ] && preset=sanitize

scripts/install-deps.sh
cmake --preset "$preset"
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)"
