#!/usr/bin/env bash
# Builds every test with AddressSanitizer (LeakSanitizer included) and UndefinedBehaviorSanitizer
# in build-sanitize/ (or $VANTRY_SANITIZE_BUILD_DIR) and runs them; any report fails the run.
# The end-to-end tests of the editor under X are not built here (tests/CMakeLists.txt): they run
# once, in the normal build.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# ccache keys on paths relative to the checkout, so every clone and work tree of the project
# (CI builds in a fresh clone) shares one cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
build="${VANTRY_SANITIZE_BUILD_DIR:-$root/build-sanitize}"
source "$root/scripts/configure.sh"

bash "$root/scripts/install-deps.sh"
# -O1 keeps the instrumented suite quick to build and to run, with usable stack traces.
configure_tree "$build" "$root" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DVANTRY_SANITIZE=ON -DVANTRY_FUZZ=OFF -DVANTRY_BUILD_TESTS=ON -DVANTRY_BUILD_BENCH=OFF
cmake --build "$build" --parallel "$(nproc)"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)"
