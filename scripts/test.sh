#!/usr/bin/env bash
# Installs what is missing, checks the source layout, builds with warnings as errors, and runs
# every test; then the same tests built with the sanitizers, and a short run of every fuzz target
# over its corpus.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VANTRY_BUILD_DIR:-$root/build}"

bash "$root/scripts/check-format.sh"
VANTRY_WERROR=ON bash "$root/scripts/build.sh"
(cd "$build" && ctest --output-on-failure --parallel "$(nproc)")
bash "$root/scripts/sanitize.sh"
bash "$root/scripts/fuzz.sh"
