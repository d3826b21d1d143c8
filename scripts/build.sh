#!/usr/bin/env bash
# Configures and builds Vantry in build/ (or in $VANTRY_BUILD_DIR): every target, or only the
# targets named.
#
#     bash scripts/build.sh [TARGET...]
#
# Warnings are errors in every build the scripts make, so that the editor scripts/run.sh builds
# and the tests scripts/test.sh builds afterwards share every object (VANTRY_WERROR=OFF builds
# without). VANTRY_BUILD_BENCH=ON adds the benchmarks, =OFF leaves them out; unset, the folder
# keeps what it has (none in a new folder).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# ccache keys on paths relative to the checkout, so every clone and work tree of the project
# (CI builds in a fresh clone) shares one cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
build="${VANTRY_BUILD_DIR:-$root/build}"
source "$root/scripts/configure.sh"

bash "$root/scripts/install-deps.sh"
settings=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTRY_WERROR="${VANTRY_WERROR:-ON}"
    -DVANTRY_BUILD_TESTS=ON)
if [ -n "${VANTRY_BUILD_BENCH:-}" ]; then
    settings+=(-DVANTRY_BUILD_BENCH="$VANTRY_BUILD_BENCH")
fi
configure_tree "$build" "$root" "${settings[@]}"
targets=()
for t in "$@"; do targets+=(--target "$t"); done
cmake --build "$build" "${targets[@]}" --parallel "$(nproc)"
