#!/usr/bin/env bash
# Starts an installed draughts (default: the one on the PATH) from a directory of its own,
# as a player would: its usage and a bad option first, then the game, which must find its
# data, draw, save a game there on 's' and end on Escape with status 0. Needs an X display
# (run under xvfb-run) with xdotool and ImageMagick.
# Usage: bash tools/run-draughts.sh [path of bin/draughts]
set -euo pipefail
draughts=$(realpath "$(command -v "${1:-draughts}")")
name=run-draughts
source "$(dirname "$0")/installed-program.sh"

cd "$elsewhere"
usage=$("$draughts" --help) || fail "--help failed"
grep -q '^Usage: draughts' <<<"$usage" || fail "--help printed no usage"
status=0
"$draughts" --level 11 2>"$out" || status=$?
[ "$status" -eq 2 ] && [ "$(wc -l <"$out")" -eq 1 ] || fail "a bad option gave status $status"

"$draughts" >"$out" 2>&1 &
pid=$!
# The title shows the frame rate once a second, frames drawn or not.
window=$(timeout 60 xdotool search --sync --name '^Tessellon - Draughts - [0-9]+ FPS$' | head -n 1) ||
  fail "no window"
grep -q 'tessellon/checkers/Data/3D/checkers/pion_rouge.ASE" loaded' "$out" || fail "did not find the installed data"
expect_drawn "$window"

# Keys go to the window under the pointer.
xdotool mousemove --window "$window" 10 10 key s
timeout 30 sh -c 'until ls draughts-*.pdn >/dev/null 2>&1; do sleep 0.1; done' || fail "no game saved on 's'"
expect_end_on_escape "$window"
echo "run-draughts: $draughts ran from $elsewhere, drew $colours colours, saved a game and ended on Escape"
