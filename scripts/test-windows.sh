#!/usr/bin/env bash
# Cross-builds the core, tracksieve-cli and their tests for 64-bit Windows with mingw-w64 and
# runs the tests under wine. GoogleTest is built for Windows from Debian's googletest sources;
# CLI11 and nlohmann-json are header-only and taken from their Debian packages.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=$(realpath -m build-windows)
deps=$build_dir/deps
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake

scripts/install-deps.sh --windows

# Wine keeps its prefix out of the home folder and stays quiet; no display is needed.
export WINEPREFIX=${WINEPREFIX:-$build_dir/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
# Wine's server and services start here, detached from the output of the build and the tests:
# whoever starts them would otherwise wait for them to exit.
mkdir -p "$WINEPREFIX"
wineserver --persistent
trap 'wineserver --kill' EXIT
wineboot --init >/dev/null 2>&1

if [ ! -f "$deps/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$build_dir/googletest" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" >/dev/null
  cmake --build "$build_dir/googletest" -j "$(nproc)"
  cmake --install "$build_dir/googletest" >/dev/null
fi
mkdir -p "$deps/include" "$deps/share/cmake"
ln -sfn /usr/include/CLI "$deps/include/CLI"
ln -sfn /usr/include/nlohmann "$deps/include/nlohmann"
cp -r /usr/share/cmake/CLI11 /usr/share/cmake/nlohmann_json "$deps/share/cmake/"

cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DTRACKSIEVE_BUILD_BENCH=OFF -DTRACKSIEVE_BUILD_TOOLS=ON -DTRACKSIEVE_BUILD_DESKTOP=OFF \
  -DGTest_DIR="$deps/lib/cmake/GTest" -DCLI11_DIR="$deps/share/cmake/CLI11" \
  -Dnlohmann_json_DIR="$deps/share/cmake/nlohmann_json"
cmake --build "$build_dir" -j "$(nproc)"
ctest --test-dir "$build_dir" --output-on-failure -j "$(nproc)"

# The program itself: a folder name outside ASCII through wmain, and output the Linux build
# prints byte for byte (but for the line ends) when that build is there to compare.
takes="Szene 3 – Außen"
(
  cd "$build_dir"
  rm -rf takes "$takes"
  wine bin/make-demo-recordings.exe takes >/dev/null
  mv takes "$takes"
  cp "$takes/$(cd "$takes" && ls *.WAV | head -1)" "$takes/Take ü.WAV"
  wine bin/tracksieve-cli.exe scan -r "$takes" | tr -d '\r' >scan-windows.txt
)
grep -q '^Found [1-9][0-9]* polyphonic WAV file(s)' "$build_dir/scan-windows.txt"
if [ -x build/bin/tracksieve-cli ]; then
  diff <(build/bin/tracksieve-cli scan -r "$build_dir/$takes") "$build_dir/scan-windows.txt"
fi
echo "tracksieve-cli.exe under wine: $(tail -1 "$build_dir/scan-windows.txt")"
