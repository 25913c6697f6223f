#!/usr/bin/env bash
# Installs what is missing, builds, and starts the checkers demo in a window, or the
# draughts game against the computer (its options follow, see `draughts --help`).
# Usage: bash tools/play.sh                          (from the repository root, in a desktop session)
#        bash tools/play.sh draughts [OPTIONS] [FILE.pdn]
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
program=checkers
if [ "${1:-}" = draughts ]; then
  program=draughts
  shift
fi
cmake --build build -j 2 --target "$program"
if [ "$program" = draughts ]; then
  # The computer's endgame table: solved once (about a minute), then kept in build/.
  cmake --build build -j 2 --target draughts_endgames_table
fi

if [ -z "${DISPLAY:-}" ]; then
  echo "play: no X display (DISPLAY is not set). Start the demo from a desktop session," >&2
  echo "      or on a virtual display: xvfb-run -s '-screen 0 1280x1024x24' bash tools/play.sh" >&2
  exit 1
fi
if [ "$program" = draughts ]; then
  # It finds its pictures beside itself and saves games in the directory it starts in.
  exec build/bin/draughts "$@"
fi
# The demo finds its pictures in ../Data/ relative to where it starts.
cd build/bin
exec ./checkers
