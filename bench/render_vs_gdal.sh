#!/usr/bin/env bash
# Times the whole `vantry-cli render` of the benchmarks' 100,000-link grid at 1600x1000 (start-up,
# reading, drawing with grid and numbers, writing the PNG) against GDAL's `gdal_rasterize` burning
# the same lines from a shapefile into a picture of the same size, in one run, and prints both
# and their ratio.
#   bash bench/render_vs_gdal.sh [BUILD_DIR] [LINKS] [RUNS]
# Each tool runs RUNS times (default 7), in turns; the fastest run of each counts, which keeps
# other work on the machine out of the comparison as far as it can be kept out.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
links="${2:-100000}"
runs="${3:-7}"
cli="$build/src/cli/vantry-cli"
files="$build/bench/vantry_county_files"
for tool in "$cli" "$files"; do
    [ -x "$tool" ] || { echo "missing $tool: build first" >&2; exit 1; }
done
for tool in ogr2ogr gdal_rasterize; do
    command -v "$tool" >/dev/null || { echo "missing $tool (Debian package gdal-bin)" >&2; exit 1; }
done

work="$(mktemp -d "${TMPDIR:-/tmp}/vantry-render-vs-gdal-XXXXXX")"
trap 'rm -rf "$work"' EXIT
# The settings of whoever runs this stay untouched.
export XDG_CONFIG_HOME="$work/config"
"$files" "$work/county.txt" "$work/county.geojson" "$links"
ogr2ogr -f "ESRI Shapefile" "$work/county.shp" "$work/county.geojson"

# Milliseconds the command took.
took() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}

best_vantry="" best_gdal=""
for _ in $(seq "$runs"); do
    v=$(took "$cli" render "$work/county.txt" "$work/vantry.png" --size 1600x1000)
    g=$(took gdal_rasterize -q -burn 0 -init 255 -ts 1600 1000 -ot Byte -of GTiff \
        "$work/county.shp" "$work/gdal.tif")
    if [ -z "$best_vantry" ] || [ "$v" -lt "$best_vantry" ]; then best_vantry=$v; fi
    if [ -z "$best_gdal" ] || [ "$g" -lt "$best_gdal" ]; then best_gdal=$g; fi
done
echo "vantry-cli render: $best_vantry ms"
echo "gdal_rasterize:    $best_gdal ms"
awk -v v="$best_vantry" -v g="$best_gdal" \
    'BEGIN { printf "gdal_rasterize / vantry-cli: %.2f\n", (v > 0 ? g / v : 0) }'
