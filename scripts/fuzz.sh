#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/ (or $VANTRY_FUZZ_BUILD_DIR) and runs each one over its seed corpus; a crash, a leak,
# undefined behaviour or a broken expectation fails.
#
#     bash scripts/fuzz.sh [TARGET...]                  the gate scripts/test.sh runs
#     bash scripts/fuzz.sh --long SECONDS [TARGET...]   a search for new failures
#
# The gate replays each target's corpus and then tries inputs made from it with a fixed seed, up
# to a fixed number of inputs in all (fuzz/CMakeLists.txt sets it for each target;
# $VANTRY_FUZZ_RUNS, when set, for all), so that it passes or fails the same way on every machine
# and every run. --long runs each target for SECONDS with a new seed each time. Naming targets
# runs only those. What a run finds is kept as build-fuzz/fuzz-artifacts/TARGET-crash-... to
# replay with `TARGET FILE`.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# ccache keys on paths relative to the checkout, so every clone and work tree of the project
# (CI builds in a fresh clone) shares one cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
build="${VANTRY_FUZZ_BUILD_DIR:-$root/build-fuzz}"
source "$root/scripts/configure.sh"

long=
if [ "${1:-}" = --long ]; then
    long=${2:-}
    case "$long" in
    '' | *[!0-9]*)
        echo "usage: bash scripts/fuzz.sh --long SECONDS [TARGET...]" >&2
        exit 2
        ;;
    esac
    shift 2
fi

bash "$root/scripts/install-deps.sh"
CC=clang-14 CXX=clang++-14 configure_tree "$build" "$root" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVANTRY_FUZZ=ON -DVANTRY_SANITIZE=OFF -DVANTRY_BUILD_TESTS=OFF -DVANTRY_BUILD_BENCH=OFF
cmake --build "$build" --target fuzzers --parallel "$(nproc)"

# Each line of the list is a target and the number of inputs its gate runs.
declare -A gate_runs
targets=()
while read -r t runs; do
    [ -n "$t" ] || continue
    gate_runs[$t]=${VANTRY_FUZZ_RUNS:-$runs}
    targets+=("$t")
done <"$build/fuzz/fuzzers.txt"
if [ $# -gt 0 ]; then
    targets=("$@")
fi

export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
failed=()
for t in "${targets[@]}"; do
    # New inputs go to a scratch folder, so the corpus kept in the repository stays as it is,
    # and every gate run starts from that corpus alone.
    work="$build/fuzz-work/$t"
    rm -rf "$work"
    mkdir -p "$work"
    options=(-timeout=10 -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$artifacts/$t-")
    if [ -n "$long" ]; then
        options+=(-max_total_time="$long")
    else
        options+=(-seed=1 -runs="${gate_runs[$t]:-${VANTRY_FUZZ_RUNS:-2000}}")
    fi
    if [ -f "$root/fuzz/dict/$t.dict" ]; then
        options+=(-dict="$root/fuzz/dict/$t.dict")
    fi
    log="$build/fuzz-work/$t.log"
    if "$build/fuzz/$t" "${options[@]}" "$work" "$root/fuzz/corpus/$t" >"$log" 2>&1; then
        executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1)
        echo "$t: ${executed:-?} runs, $coverage"
    else
        echo "$t: FAILED, the last lines of $log:" >&2
        tail -n 40 "$log" >&2
        failed+=("$t")
    fi
done

echo "fuzz: $((${#targets[@]} - ${#failed[@]})) passed, ${#failed[@]} failed"
if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzz targets that failed: ${failed[*]}" >&2
    exit 1
fi
