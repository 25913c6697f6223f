# Shared by the scripts that start an installed program as a player would (sourced, with
# `name` set to the script's name for its messages): a directory of its own to run in,
# removed at the end with the program stopped if still running, and the checks every
# program passes.
elsewhere=$(mktemp -d)
out=$elsewhere/output
pid=
cleanup() {
  [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
  rm -rf "$elsewhere"
}
trap cleanup EXIT
fail() {
  echo "$name: $*" >&2
  [ ! -s "$out" ] || sed 's/^/  | /' "$out" >&2
  exit 1
}

# Fails unless the window shows more than a few colours; sets `colours`.
expect_drawn() {
  colours=$(import -window "$1" -format '%k' info:)
  [ "$colours" -gt 16 ] || fail "the window shows $colours colours: nothing drawn"
}

# Presses Escape in the window (keys go to the window under the pointer) and fails unless
# the program ends with status 0.
expect_end_on_escape() {
  xdotool mousemove --window "$1" 10 10 key Escape
  local status=0
  timeout 30 tail --pid="$pid" -f /dev/null || fail "did not end on Escape"
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq 0 ] || fail "ended with status $status"
}
