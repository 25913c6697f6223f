#!/usr/bin/env bash
# Runs a build's tests in two streams at once: those that need no display, and those that
# draw (label "gl"), which share the display among themselves and leave it to the
# end-to-end tests alone (they move the pointer and read the screen). The end-to-end tests
# mostly wait for frames, so the other stream's work fits beside them.
# Usage: bash tools/run-tests.sh BUILD_DIR [CTEST_ARGS...]   (on an X display)
set -uo pipefail
dir=$1
shift
jobs=${TESSELLON_TEST_JOBS:-2}

plain_log=$(mktemp)
trap 'rm -f "$plain_log"' EXIT
ctest --test-dir "$dir" --output-on-failure -LE '^gl$' "$@" > "$plain_log" 2>&1 &
plain=$!
ctest --test-dir "$dir" --output-on-failure -j "$jobs" -L '^gl$' "$@"
drawing_status=$?
wait "$plain"
plain_status=$?
echo "-- Tests without a display:"
cat "$plain_log"
[ "$drawing_status" -eq 0 ] && [ "$plain_status" -eq 0 ]
