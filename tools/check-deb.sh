#!/usr/bin/env bash
# Installs the Debian package made by tools/check-install.sh on this machine, as a user
# would, then: plays the installed checkers from another directory on a virtual display,
# builds the installed examples against the system's Tessellon (CMake package and
# pkg-config) and runs the minimal one; last, removes the package. Needs root; changes the
# system, so it is not part of tools/check.sh.
# Usage: bash tools/check-deb.sh [package]          (default: build/tessellon_*.deb)
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$(realpath "${1:-$(echo build/tessellon_*.deb)}")
work=$(mktemp -d)
trap 'rm -rf "$work"; dpkg --purge tessellon >/dev/null 2>&1 || true' EXIT
export LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe
xvfb=(xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp")

echo "-- apt-get install $deb"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
dpkg -s tessellon | grep -E '^(Status|Version)'

echo "-- checkers, as a player starts it"
"${xvfb[@]}" bash tools/run-checkers.sh checkers

echo "-- the installed examples against the installed library"
cmake -S /usr/share/doc/tessellon/examples -B "$work/find_package" >/dev/null
cmake -S /usr/share/doc/tessellon/examples -B "$work/pkg-config" -DUSE_PKG_CONFIG=ON >/dev/null
for way in find_package pkg-config; do
  cmake --build "$work/$way" -j 2 >/dev/null
  out=$(TESSELLON_FRAMES=5 "${xvfb[@]}" "$work/$way/board_game")
  grep -q "Initializing OpenGL :  OK" <<<"$out"
done

echo "-- apt-get remove tessellon"
apt-get remove -y -qq tessellon >/dev/null
[ ! -e /usr/bin/checkers ] && [ ! -e /usr/lib/libTessellon.so ] && [ ! -e /usr/include/Tessellon ]
echo "check-deb: installed, played, built against and removed $(basename "$deb")"
