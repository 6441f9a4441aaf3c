#!/usr/bin/env bash
# Builds the Debian package korprog_VERSION_amd64.deb from this tree, in a
# build directory of its own (default build-deb), with Debian's hardening
# flags, and prints its path. Install it with
#   sudo apt install ./build-deb/korprog_VERSION_amd64.deb
# KORPROG_JOBS sets how many compilers run at once (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-deb}
jobs=${KORPROG_JOBS:-$(nproc 2>/dev/null || echo 2)}
# The flags Debian builds its own packages with (stack protector, fortified
# functions, read-only relocations), where dpkg-dev is there to tell them.
cxxflags="" ldflags=""
if command -v dpkg-buildflags >/dev/null; then
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
  ldflags=$(dpkg-buildflags --get LDFLAGS)
fi
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORPROG_TESTS=OFF "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$dir" -j "$jobs" --target korprog korvansim docs completion
rm -f "$dir"/korprog_*.deb
(cd "$dir" && cpack -G DEB >cpack.log 2>&1) || { cat "$dir/cpack.log"; exit 1; }
ls "$dir"/korprog_*_amd64.deb
