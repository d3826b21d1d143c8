#!/usr/bin/env bash
# Configures and builds Vantry in build/ (or in $VANTRY_BUILD_DIR).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# ccache keys on paths relative to the checkout, so every clone and work tree of the project
# (CI builds in a fresh clone) shares one cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
build="${VANTRY_BUILD_DIR:-$root/build}"

bash "$root/scripts/install-deps.sh"
# VANTRY_WERROR=ON (as scripts/test.sh sets it) makes every warning an error.
werror="${VANTRY_WERROR:-OFF}"
if [ ! -f "$build/build.ninja" ] ||
    ! grep -q "^VANTRY_WERROR:BOOL=$werror\$" "$build/CMakeCache.txt" 2>/dev/null; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DVANTRY_WERROR="$werror"
fi
cmake --build "$build" --parallel "$(nproc)"
