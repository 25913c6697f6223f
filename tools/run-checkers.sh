#!/usr/bin/env bash
# Starts an installed checkers (default: the one on the PATH) from a directory of its own,
# as a player would, and checks that it finds its data, draws, and ends on Escape with
# status 0. Needs an X display (run under xvfb-run) with xdotool and ImageMagick.
# Usage: bash tools/run-checkers.sh [path of bin/checkers]
set -euo pipefail
checkers=$(realpath "$(command -v "${1:-checkers}")")
elsewhere=$(mktemp -d)
out=$elsewhere/output
pid=
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  rm -rf "$elsewhere"
}
trap cleanup EXIT
fail() {
  echo "run-checkers: $*" >&2
  [ ! -s "$out" ] || sed 's/^/  | /' "$out" >&2
  exit 1
}

cd "$elsewhere"
"$checkers" >"$out" 2>&1 &
pid=$!
# The title shows the frame rate once frames have been drawn for a second.
window=$(timeout 60 xdotool search --sync --name '^Tessellon - Checkers Demo - [0-9]+ FPS$' | head -n 1) ||
  fail "no window showing frames"

# The program looks for its data in ../Data/ and ../Shader/ from where it runs.
here=$(readlink "/proc/$pid/cwd")
for file in Data/Textures/checkers/Rock.png Data/3D/checkers/pion_rouge.ASE Shader/per_pixel_true_phong.frag; do
  [ -f "$here/../$file" ] || fail "started in $here, without ../$file"
done
! grep -q 'project/' "$out" || fail "fell back on the last data directory"

colours=$(import -window "$window" -format '%k' info:)
[ "$colours" -gt 16 ] || fail "the window shows $colours colours: nothing drawn"

# Keys go to the window under the pointer.
xdotool mousemove --window "$window" 10 10 key Escape
status=0
timeout 30 tail --pid="$pid" -f /dev/null || fail "did not end on Escape"
wait "$pid" || status=$?
pid=
[ "$status" -eq 0 ] || fail "ended with status $status"
echo "run-checkers: $checkers ran from $here, drew $colours colours and ended on Escape"
