#!/usr/bin/env bash
# Cross-builds the core, tracksieve-cli and their tests for 64-bit Windows with mingw-w64 and
# runs the tests under wine, then packs tracksieve-cli.exe into its ZIP and runs it from a
# fresh folder. GoogleTest is built for Windows from Debian's googletest sources; CLI11 and
# nlohmann-json are header-only and taken from their Debian packages.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=$(realpath -m build-windows)  # where the windows preset builds
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

cmake --preset windows
cmake --build --preset windows -j "$(nproc)"
ctest --preset windows -j "$(nproc)"

# The program as users get it: the ZIP unpacked into a fresh folder, run there on a folder
# whose name is outside ASCII (through wmain), printing what the Linux build prints byte for
# byte (but for the line ends) when that build is there to compare.
(cd "$build_dir" && cpack -G ZIP -B "$build_dir/package" >/dev/null)
archive=$(echo "$build_dir"/package/tracksieve-cli-*-windows-x64.zip)
unpacked=$build_dir/unpacked
rm -rf "$unpacked"
mkdir "$unpacked"
(cd "$unpacked" && cmake -E tar xf "$archive")
program=$(echo "$unpacked"/tracksieve-cli-*/tracksieve-cli.exe)
contents=$(cd "$(dirname "$program")" && ls)
[ "$contents" = "$(printf '%s\n' LICENSE.txt README.md tracksieve-cli.exe)" ] ||
  { echo "The ZIP holds other files than the program, README.md and LICENSE.txt: $contents" >&2; exit 1; }

takes="Szene 3 – Außen"
(
  cd "$build_dir"
  rm -rf takes "$takes"
  wine bin/make-demo-recordings.exe takes >/dev/null
  mv takes "$takes"
  cp "$takes/$(cd "$takes" && ls *.WAV | head -1)" "$takes/Take ü.WAV"
  wine "$program" scan -r "$takes" | tr -d '\r' >scan-windows.txt
)
grep -q '^Found [1-9][0-9]* polyphonic WAV file(s)' "$build_dir/scan-windows.txt"
if [ -x build/bin/tracksieve-cli ]; then
  diff <(build/bin/tracksieve-cli scan -r "$build_dir/$takes") "$build_dir/scan-windows.txt"
fi
echo "$(basename "$archive"), $(du -k "$archive" | cut -f1) KiB; its tracksieve-cli.exe under wine: $(tail -1 "$build_dir/scan-windows.txt")"
