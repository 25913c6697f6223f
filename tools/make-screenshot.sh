#!/usr/bin/env bash
# Takes the README's picture of the checkers demo: starts the built demo on a virtual
# display (Xvfb, Mesa's software OpenGL), selects player 1's piece on square 22 so that its
# moves show, rests the pointer on one of them, and saves the window as docs/checkers.png.
# Needs xdotool, ImageMagick and x11-utils (tools/install-deps.sh installs them).
# Usage: bash tools/make-screenshot.sh [build dir]       (after a build: default build/)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${TESSELLON_SCREENSHOT_DISPLAY:-}" ]; then
  exec env TESSELLON_SCREENSHOT_DISPLAY=1 LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe \
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$0" "$@"
fi
build=$(realpath "${1:-build}")
out=$PWD/docs/checkers.png

cd "$build/bin"
./checkers >/dev/null 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT
window=$(timeout 60 xdotool search --sync --name '^Tessellon - Checkers Demo - [0-9]+ FPS$' | head -n 1)

# The demo rewrites its title once a second from inside a frame: after two rewrites,
# frames were drawn since the pointer moved.
frames_drawn() {
  [ "$({ timeout 30 xprop -id "$window" -spy WM_NAME || true; } | head -n 3 | wc -l)" -eq 3 ]
}

# Window pixels of the centres of squares 22 and 33 in the start-up view.
# The pick pass must have seen the pointer over the piece before the click.
xdotool mousemove --window "$window" 364 468
frames_drawn
xdotool click 1
frames_drawn
xdotool mousemove --window "$window" 427 423
frames_drawn
import -window "$window" -depth 8 "$out"
xdotool key --window "$window" Escape
wait "$pid"
trap - EXIT
echo "make-screenshot: $out"
