#!/usr/bin/env bash
# Runs a build's tests in two streams at once: the end-to-end tests, one at a time on a
# virtual display of their own (they move the pointer and read the screen, so no other
# window may open there), and all the others on the current display, as many at once as
# asked. The end-to-end tests mostly wait for frames, so the others fit beside them.
# Usage: bash tools/run-tests.sh BUILD_DIR [CTEST_ARGS...]   (on an X display)
set -uo pipefail
dir=$1
shift
jobs=${TESSELLON_TEST_JOBS:-2}

# A private Xvfb that picks a free display number itself and writes it on our pipe.
exec 3< <(exec Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null' EXIT
if ! read -r -t 60 -u 3 display_number; then
  echo "run-tests: no virtual display for the end-to-end tests" >&2
  exit 1
fi

e2e_log=$(mktemp)
trap 'kill "$xvfb_pid" 2>/dev/null; rm -f "$e2e_log"' EXIT
DISPLAY=":$display_number" ctest --test-dir "$dir" --output-on-failure -L '^e2e$' "$@" > "$e2e_log" 2>&1 &
e2e=$!
ctest --test-dir "$dir" --output-on-failure -j "$jobs" -LE '^e2e$' "$@"
others_status=$?
wait "$e2e"
e2e_status=$?
echo "-- End-to-end tests:"
cat "$e2e_log"
[ "$others_status" -eq 0 ] && [ "$e2e_status" -eq 0 ]
