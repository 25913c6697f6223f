#!/usr/bin/env bash
# Installs what is missing, builds, and starts the checkers demo in a window.
# Usage: bash tools/play.sh            (from the repository root, in a desktop session)
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j 2 --target checkers

if [ -z "${DISPLAY:-}" ]; then
  echo "play: no X display (DISPLAY is not set). Start the demo from a desktop session," >&2
  echo "      or on a virtual display: xvfb-run -s '-screen 0 1280x1024x24' bash tools/play.sh" >&2
  exit 1
fi
# The demo finds its pictures in ../Data/ relative to where it starts.
cd build/bin
exec ./checkers
