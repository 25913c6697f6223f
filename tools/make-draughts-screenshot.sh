#!/usr/bin/env bash
# Takes the README's picture of the draughts game: starts the built program on a virtual
# display (Xvfb, Mesa's software OpenGL) with a set-up position where White has a king,
# selects the king so that its moves are marked, rests the pointer on one of them, and
# saves the window as docs/draughts.png.
# Needs xdotool, ImageMagick and x11-utils (tools/install-deps.sh installs them).
# Usage: bash tools/make-draughts-screenshot.sh [build dir]     (after a build: default build/)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${TESSELLON_SCREENSHOT_DISPLAY:-}" ]; then
  exec env TESSELLON_SCREENSHOT_DISPLAY=1 LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe \
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$0" "$@"
fi
build=$(realpath "${1:-build}")
out=$PWD/docs/draughts.png
work=$(mktemp -d)
pid=
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A middle game: White's king on 28 may fly along both its diagonals.
cat >"$work/position.pdn" <<'PDN'
[Event "Screenshot"]
[FEN "W:WK28,31,32,34,36,37,39,40,41,43,44,45,47,48,49:B2,4,6,7,11,12,13,15,16,17,18,20,24"]
*
PDN
cd "$work"
"$build/bin/draughts" position.pdn >/dev/null 2>&1 &
pid=$!
window=$(timeout 60 xdotool search --sync --name '^Tessellon - Draughts - [0-9]+ FPS$' | head -n 1)

# The title is rewritten once a second from the main loop: after two rewrites, what was
# sent before has been handled and drawn.
frames_drawn() {
  [ "$({ timeout 30 xprop -id "$window" -spy WM_NAME || true; } | head -n 3 | wc -l)" -eq 3 ]
}

# Window pixels of the centres of squares 28 and 19 in the start-up view.
xdotool mousemove --window "$window" 485 383
frames_drawn
xdotool click 1
frames_drawn
xdotool mousemove --window "$window" 586 311
frames_drawn
import -window "$window" -depth 8 "$out"
# Keys go to the window under the pointer.
xdotool mousemove --window "$window" 10 10 key Escape
wait "$pid"
pid=
echo "make-draughts-screenshot: $out"
