#!/usr/bin/env bash
# Installs what is missing, builds the editor, and starts it on the bundled sample network.
# Without a display it draws the sample into a picture instead and says where it is.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VANTRY_BUILD_DIR:-$root/build}"

# Only the two programs: the tests and benchmarks wait for scripts/test.sh, which builds them
# in the same folder with the same flags and so compiles nothing twice.
bash "$root/scripts/build.sh" vantry vantry-cli
sample="$root/examples/corridor-work-zone.txt"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$build/src/app/vantry" "$sample"
fi

picture="$build/corridor-work-zone.png"
echo "There is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the editor cannot"
echo "open a window. Drawing the sample network as the editor would show it instead:"
"$build/src/cli/vantry-cli" info "$sample"
"$build/src/cli/vantry-cli" render "$sample" "$picture" --size 1200x800 >/dev/null
echo "The picture is $picture"
