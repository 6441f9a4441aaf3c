#!/usr/bin/env bash
# Runs the benchmarks against a build and writes bench/RESULTS.md.
#   bench/run.sh [--build DIR] [--quick] [--paced-runs N] [--only transfer,readback,packs,upgrade,paced,idle,window,line,net]
# Build first (cmake -S . -B build && cmake --build build -j2); the paced
# upgrade takes about two minutes a run.
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 bench/bench.py "$@"
