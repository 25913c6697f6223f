#!/usr/bin/env bash
# Checks Tessellon as programmers and players get it, from a finished plain build:
# installs it into a temporary prefix; compiles every installed header on its own; builds
# the installed examples outside the source tree against that prefix, once through
# find_package and once through pkg-config, and runs the minimal one for a few frames;
# starts the installed checkers and draughts from another directory; then builds the Debian
# package (build/tessellon_<version>_<arch>.deb) and checks its files and declared
# dependencies.
# Usage: bash tools/check-install.sh [build dir]     (needs an X display: run under xvfb-run)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() {
  echo "check-install: $*" >&2
  exit 1
}

echo "-- Install into $prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
# The library's own parts stay out; an installed header that includes one of them fails the
# compilation of each header on its own below. Every other header is installed.
internal=(core/MessageText.h reader/ASEScanner.h reader/GLTFReader.h reader/InputFile.h reader/MeshBuilder.h
  reader/OBJReader.h rendering/DrawableRegistry.h rendering/FrameClock.h rendering/Input.h
  rendering/MaterialTexture.h rendering/Picker.h rendering/Registry.h rendering/Window.h)
for header in core/*.h math/*.h reader/*.h rendering/*.h; do
  if [[ " ${internal[*]} " == *" $header "* ]]; then
    [ ! -e "$prefix/include/Tessellon/$header" ] || fail "internal header $header is installed"
  else
    [ -e "$prefix/include/Tessellon/$header" ] || fail "$header is neither installed nor listed as internal"
  fi
done

echo "-- Every installed header compiles on its own (and twice in a row)"
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
(cd "$prefix/include/Tessellon" && find . -name '*.h' -printf '%P\n') |
  xargs -P 2 -I{} sh -c 'printf "#include \"{}\"\n#include \"{}\"\n" |
    c++ -std=c++17 -fsyntax-only -Wall -Wextra -Werror $(pkg-config --cflags tessellon) -x c++ - ||
    { echo "check-install: {} does not compile on its own" >&2; exit 1; }'

echo "-- The examples, through find_package and through pkg-config"
examples=$prefix/share/doc/tessellon/examples
cmake -S "$examples" -B "$work/find_package" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake -S "$examples" -B "$work/pkg-config" -DUSE_PKG_CONFIG=ON >/dev/null
for way in find_package pkg-config; do
  cmake --build "$work/$way" -j 2 >/dev/null
  # grep -q reads the whole text: it would end early and fail ldd on a broken pipe.
  libraries=$(ldd "$work/$way/board_game")
  grep -q "$prefix/lib/libTessellon.so" <<<"$libraries" || fail "$way: board_game links another libTessellon"
  out=$(TESSELLON_FRAMES=5 "$work/$way/board_game") || fail "$way: board_game failed: $out"
  grep -q "Initializing OpenGL :  OK" <<<"$out" || fail "$way: board_game drew nothing: $out"
  for model in checkers/pion_rouge.ASE samples/king.glb samples/rook.obj; do
    out=$(TESSELLON_FRAMES=5 "$work/$way/model_viewer" "$build/Data/3D/$model") ||
      fail "$way: model_viewer failed on $model: $out"
    grep -q "Initializing OpenGL :  OK" <<<"$out" || fail "$way: model_viewer drew nothing of $model: $out"
    grep -q "Mesh File : \".*\" loaded." <<<"$out" || fail "$way: model_viewer did not load $model: $out"
  done
done

echo "-- The installed checkers, started from another directory"
bash tools/run-checkers.sh "$prefix/bin/checkers"

echo "-- The installed draughts, started from another directory"
bash tools/run-draughts.sh "$prefix/bin/draughts"

echo "-- The installed draughts_engine, through the Hub start-up and a search"
out=$(printf 'hub\ninit\nlevel depth=2\ngo think\nping\n' | timeout 60 "$prefix/bin/draughts_engine") ||
  fail "draughts_engine failed: $out"
for line in '^id name=' '^wait$' '^ready$' '^done move=' '^pong$'; do
  grep -q "$line" <<<"$out" || fail "draughts_engine did not answer $line: $out"
done

echo "-- The Debian package"
rm -f "$build"/tessellon_*.deb
(cd "$build" && cpack -G DEB -B "$build" >/dev/null)
deb=$(echo "$build"/tessellon_*.deb)
[ -f "$deb" ] || fail "no package made"
# The package holds what the installation holds, under /usr.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/packaged"
(cd "$prefix" && find . ! -type d | sed 's|^\./|./usr/|' | sort) >"$work/installed"
diff "$work/installed" "$work/packaged" || fail "the package's files differ from the installation's"
depends=$(dpkg-deb -f "$deb" Depends)
names=$(tr ',|' '\n\n' <<<"$depends" | awk '{ print $1 }')
for package in libglut3.12 libglew2.2 libpng16-16 libjpeg62-turbo libglu1-mesa libx11-6 libstdc++6 \
  libgl-dev libglu1-mesa-dev libpng-dev libjpeg-dev; do
  grep -Fqx "$package" <<<"$names" || fail "the package does not depend on $package: $depends"
done
echo "check-install: $(basename "$deb") holds $(wc -l <"$work/packaged") files; it depends on $depends"
