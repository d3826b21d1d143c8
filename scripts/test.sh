#!/usr/bin/env bash
# Installs what is missing, checks the source layout, builds with warnings as errors (the
# benchmarks too), and runs every test, each benchmark once among them; then the same tests
# built with the sanitizers, and the fuzz targets over their corpora with a fixed seed.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VANTRY_BUILD_DIR:-$root/build}"

bash "$root/scripts/check-format.sh"
VANTRY_BUILD_BENCH=ON bash "$root/scripts/build.sh"
(cd "$build" && ctest --output-on-failure --parallel "$(nproc)")
bash "$root/scripts/sanitize.sh"
bash "$root/scripts/fuzz.sh"
