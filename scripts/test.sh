#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VANTRY_BUILD_DIR:-$root/build}"

bash "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)"
