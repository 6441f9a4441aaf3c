#!/usr/bin/env bash
# Builds the program and starts it; arguments are passed to korprog.
# While the user's config.ini names no COM port, a simulated unit (korvansim
# on a pseudo-terminal) stands in for one, for this run only: the port is
# handed over through KORPROG_COMPORT and never written into config.ini, so
# a port the user chooses in Opties takes over from the next run on.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target korprog korvansim

# The program's own directory, as the program finds it.
data_home=${KORPROG_DATA_DIR:-${XDG_DATA_HOME:-${HOME:-}/.local/share}}
config="$data_home/Ombrix/Korvan Tools/Programmer/config.ini"
port=""
if [ -f "$config" ]; then
  port=$(sed -n 's/^comport=//p' "$config" | head -n 1 | tr -d '\r')
fi
if [ -n "$port" ] || [ -n "${KORPROG_COMPORT:-}" ]; then
  exec build/korprog "$@"
fi

run_dir=$(mktemp -d "${TMPDIR:-/tmp}/korprog-sim.XXXXXX")
link="$run_dir/korvan0"
build/korvansim --link "$link" --persist --adn "$run_dir/unit.adn" --image "$run_dir/image.bin" \
  >"$run_dir/device" 2>"$run_dir/korvansim.log" &
sim=$!
stop_sim() {
  kill "$sim" 2>/dev/null || true
  wait "$sim" 2>/dev/null || true
  rm -rf "$run_dir"
}
trap stop_sim EXIT
for _ in $(seq 200); do
  [ -e "$link" ] && break
  kill -0 "$sim" 2>/dev/null || break
  sleep 0.05
done
if [ ! -e "$link" ]; then
  echo "run.sh: the simulated unit did not start:" >&2
  cat "$run_dir/korvansim.log" >&2
  exit 1
fi
echo "No COM port chosen yet: connected to a simulated unit on $link for this run."
echo "A real unit's port chosen under Opties is kept from then on."
KORPROG_COMPORT="$link" build/korprog "$@"
