#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang, AddressSanitizer and UndefinedBehaviorSanitizer in
# build-fuzz/ (or $VANTRY_FUZZ_BUILD_DIR) and runs each one over its seed corpus; a crash, a leak,
# undefined behaviour or a broken expectation fails.
#
#     bash scripts/fuzz.sh [SECONDS [TARGET...]]
#
# Each target runs for SECONDS (default 6); naming targets runs only those. What a run finds is
# kept as build-fuzz/fuzz-artifacts/TARGET-crash-... to replay with `TARGET FILE`.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# ccache keys on paths relative to the checkout, so every clone and work tree of the project
# (CI builds in a fresh clone) shares one cache.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
build="${VANTRY_FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${1:-6}"
[ $# -gt 0 ] && shift

bash "$root/scripts/install-deps.sh"
if [ ! -f "$build/build.ninja" ]; then
    CC=clang-14 CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTRY_FUZZ=ON \
        -DVANTRY_BUILD_TESTS=OFF -DVANTRY_BUILD_BENCH=OFF
fi
cmake --build "$build" --target fuzzers --parallel "$(nproc)"

if [ $# -gt 0 ]; then
    targets=("$@")
else
    mapfile -t targets <"$build/fuzz/fuzzers.txt"
fi

export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
failed=()
for t in "${targets[@]}"; do
    # New inputs go to a scratch folder, so the corpus kept in the repository stays as it is.
    work="$build/fuzz-work/$t"
    rm -rf "$work"
    mkdir -p "$work"
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -print_final_stats=1
        -artifact_prefix="$artifacts/$t-")
    if [ -f "$root/fuzz/dict/$t.dict" ]; then
        options+=(-dict="$root/fuzz/dict/$t.dict")
    fi
    log="$build/fuzz-work/$t.log"
    if "$build/fuzz/$t" "${options[@]}" "$work" "$root/fuzz/corpus/$t" >"$log" 2>&1; then
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -n 1)
        echo "$t: ${runs:-?} runs, $coverage"
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
