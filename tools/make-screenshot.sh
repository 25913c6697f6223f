#!/usr/bin/env bash
# Takes the README's pictures on a virtual display (Xvfb, Mesa's software OpenGL) and
# saves the window in docs/:
# - checkers (docs/checkers.png): the demo with player 1's piece on square 22 selected, so
#   that its moves show, and the pointer resting on one of them;
# - draughts (docs/draughts.png): a set-up middle game where White has a king, the king
#   selected so that its moves are marked, the pointer resting on one of them.
# Needs xdotool, ImageMagick and x11-utils (tools/install-deps.sh installs them).
# Usage: bash tools/make-screenshot.sh [build dir] [checkers|draughts]
#        (after a build: default build/ and checkers)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${TESSELLON_SCREENSHOT_DISPLAY:-}" ]; then
  exec env TESSELLON_SCREENSHOT_DISPLAY=1 LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=llvmpipe \
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$0" "$@"
fi
build=$(realpath "${1:-build}")
game=${2:-checkers}
out=$PWD/docs/$game.png
work=$(mktemp -d)
pid=
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

case $game in
checkers)
  cd "$build/bin"
  ./checkers >/dev/null 2>&1 &
  title='^Tessellon - Checkers Demo - [0-9]+ FPS$'
  # Window pixels of the centres of squares 22 and 33 in the start-up view.
  piece=(364 468) target=(427 423)
  ;;
draughts)
  # A middle game: White's king on 28 may fly along both its diagonals.
  cat >"$work/position.pdn" <<'PDN'
[Event "Screenshot"]
[FEN "W:WK28,31,32,34,36,37,39,40,41,43,44,45,47,48,49:B2,4,6,7,11,12,13,15,16,17,18,20,24"]
*
PDN
  cd "$work"
  "$build/bin/draughts" position.pdn >/dev/null 2>&1 &
  title='^Tessellon - Draughts - [0-9]+ FPS$'
  # Window pixels of the centres of squares 28 and 19 in the start-up view.
  piece=(485 383) target=(586 311)
  ;;
*)
  echo "make-screenshot: no picture of '$game' (checkers or draughts)" >&2
  exit 2
  ;;
esac
pid=$!
window=$(timeout 60 xdotool search --sync --name "$title" | head -n 1)

# The title is rewritten once a second from inside a frame: after two rewrites, what was
# sent before has been handled and drawn.
frames_drawn() {
  [ "$({ timeout 30 xprop -id "$window" -spy WM_NAME || true; } | head -n 3 | wc -l)" -eq 3 ]
}

# The pick pass must have seen the pointer over the piece before the click.
xdotool mousemove --window "$window" "${piece[@]}"
frames_drawn
xdotool click 1
frames_drawn
xdotool mousemove --window "$window" "${target[@]}"
frames_drawn
import -window "$window" -depth 8 "$out"
# Keys go to the window under the pointer.
xdotool mousemove --window "$window" 10 10 key Escape
wait "$pid"
pid=
echo "make-screenshot: $out"
