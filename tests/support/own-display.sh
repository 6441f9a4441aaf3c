#!/bin/sh
# Runs one window test on an X display of its own.
#
# Tests running side by side on one display disturb each other: with no
# window manager the keyboard focus follows the pointer, so a window mapped
# or a pointer moved by one test takes the focus from another's window in the
# middle of its keys. Each test here gets a fresh Xvfb, which goes when the
# test ends (or when this script is killed). Without a display to begin with,
# or without Xvfb, the test runs as it is.
[ -n "${DISPLAY:-}" ] && command -v Xvfb >/dev/null 2>&1 || exec "$@"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/korprog-display.XXXXXX") || exec "$@"
# -displayfd: the server picks a free display and says which once it listens.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$tmp/display" >/dev/null 2>&1 &
xvfb=$!
# A test killed for its time-out takes this script with it, not the server:
# a watcher ends the server when this script is gone.
self=$$
(while kill -0 "$self" 2>/dev/null; do sleep 1; done; kill "$xvfb" 2>/dev/null) >/dev/null 2>&1 &
watcher=$!
finish() {
  kill "$xvfb" "$watcher" 2>/dev/null
  wait "$xvfb" 2>/dev/null
  rm -rf "$tmp"
}
trap 'finish; exit 143' TERM INT HUP

i=0
while [ ! -s "$tmp/display" ] && kill -0 "$xvfb" 2>/dev/null && [ $i -lt 500 ]; do
  sleep 0.02
  i=$((i + 1))
done
if [ ! -s "$tmp/display" ]; then
  echo "own-display.sh: Xvfb did not start; the test runs on $DISPLAY" >&2
  finish
  exec "$@"
fi
DISPLAY=":$(head -n 1 "$tmp/display")"
export DISPLAY
"$@"
rc=$?
finish
exit $rc
