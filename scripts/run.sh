#!/usr/bin/env bash
# Installs what is missing, builds, and runs Vantry on the bundled sample network.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VANTRY_BUILD_DIR:-$root/build}"

bash "$root/scripts/build.sh"
sample="$root/examples/corridor-work-zone.txt"
echo "Sample network $sample:"
"$build/src/app/vantry-cli" info "$sample"
