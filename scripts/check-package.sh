#!/usr/bin/env bash
# Packs an existing build (default: build/) as a Debian package, checks it with lintian, installs
# it with apt-get, runs the installed program, builds a small project against the installed
# package config, and removes the package again. Run as root; CI does.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=$(realpath "${1:-build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export DEBIAN_FRONTEND=noninteractive
fail() { echo "check-package: $*" >&2; exit 1; }

(cd "$build_dir" && cpack -G DEB -B "$work/package" >/dev/null)
deb=$(echo "$work"/package/tracksieve_*.deb)
version=$(dpkg-deb --field "$deb" Version)
echo "$(basename "$deb"): $(du -k "$deb" | cut -f1) KiB, installed $(dpkg-deb --field "$deb" Installed-Size) KiB"
echo "Depends: $(dpkg-deb --field "$deb" Depends)"

# Any error or warning fails.
lintian --fail-on error,warning "$deb" || fail "lintian finds fault with the package"

apt-get install -y --no-install-recommends "$deb" >/dev/null

[ "$(/usr/bin/tracksieve-cli --version)" = "tracksieve-cli $version" ] || fail "--version does not say $version"
for path in /usr/share/man/man1/tracksieve-cli.1.gz /usr/share/doc/tracksieve/copyright \
  /usr/share/doc/tracksieve/changelog.gz /usr/share/bash-completion/completions/tracksieve-cli \
  /usr/share/zsh/vendor-completions/_tracksieve-cli /usr/share/fish/vendor_completions.d/tracksieve-cli.fish; do
  [ -f "$path" ] || fail "$path is missing"
done
HOME=$work fish -c 'complete -C "tracksieve-cli sl"' | grep -q '^slim' || fail "fish does not find the completion"

if dpkg -L tracksieve | grep -qx /usr/bin/tracksieve; then
  app_id=io.github.tracksieve.Tracksieve
  desktop-file-validate "/usr/share/applications/$app_id.desktop"
  appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml" >/dev/null
  [ -f "/usr/share/icons/hicolor/scalable/apps/$app_id.svg" ] || fail "no SVG icon"
  [ -f /usr/share/man/man1/tracksieve.1.gz ] || fail "no man page for tracksieve"
  file "/usr/share/icons/hicolor/256x256/apps/$app_id.png" | grep -q '256 x 256' || fail "no 256 px icon"
fi

"$build_dir/bin/make-demo-recordings" "$work/takes" >/dev/null
scan=$(/usr/bin/tracksieve-cli scan -r "$work/takes")
found=$(sed -n 's/^Found \([0-9]*\) polyphonic WAV file(s);.*/\1/p' <<<"$scan")
[ -n "$found" ] && [ "$found" -gt 0 ] || fail "the installed program found no recordings: $scan"

cmake -S tests/package/consumer -B "$work/consumer" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/consumer" >/dev/null
[ "$("$work/consumer/count-poly-wavs" "$work/takes")" = "$version $found" ] || fail "the consumer project disagrees"

apt-get remove -y tracksieve >/dev/null
for path in /usr/bin/tracksieve /usr/bin/tracksieve-cli /usr/lib/cmake/Tracksieve /usr/include/tracksieve \
  /usr/share/bash-completion/completions/tracksieve-cli; do
  [ ! -e "$path" ] || fail "$path is left after the removal"
done
echo "Package installed, checked and removed."
