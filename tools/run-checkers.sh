#!/usr/bin/env bash
# Starts an installed checkers (default: the one on the PATH) from a directory of its own,
# as a player would, and checks that it finds its data, draws, and ends on Escape with
# status 0. Needs an X display (run under xvfb-run) with xdotool and ImageMagick.
# Usage: bash tools/run-checkers.sh [path of bin/checkers]
set -euo pipefail
checkers=$(realpath "$(command -v "${1:-checkers}")")
name=run-checkers
source "$(dirname "$0")/installed-program.sh"

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

expect_drawn "$window"
expect_end_on_escape "$window"
echo "run-checkers: $checkers ran from $here, drew $colours colours and ended on Escape"
