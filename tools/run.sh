#!/usr/bin/env bash
# Builds the program and starts it; arguments are passed to korprog.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target korprog
exec build/korprog "$@"
