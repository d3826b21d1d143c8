#!/usr/bin/env bash
# Times `vantry-cli populate` on a generated county-size TIGER/Line EDGES shapefile against GDAL's
# own `ogr2ogr -f GeoJSON` of the same file, in one run, and prints both and their ratio.
#   bash bench/streets_vs_ogr2ogr.sh [BUILD_DIR] [EDGES] [RUNS]
# Each tool runs RUNS times (default 3); the fastest run of each counts, which keeps other work on
# the machine out of the comparison as far as it can be kept out.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
edges="${2:-50000}"
runs="${3:-3}"
cli="$build/src/cli/vantry-cli"
make_edges="$build/bench/vantry_make_edges"
for tool in "$cli" "$make_edges"; do
    [ -x "$tool" ] || { echo "missing $tool: build first" >&2; exit 1; }
done
command -v ogr2ogr >/dev/null || { echo "missing ogr2ogr (Debian package gdal-bin)" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/vantry-streets-vs-ogr2ogr-XXXXXX")"
trap 'rm -rf "$work"' EXIT
# The settings of whoever runs this stay untouched.
export XDG_CONFIG_HOME="$work/config"
shp="$work/tl_2023_01073_edges.shp"
"$make_edges" "$shp" "$edges"

# Seconds, with milliseconds, of the fastest of $runs runs of the command.
fastest() {
    local best="" start end took
    for _ in $(seq "$runs"); do
        start=$(date +%s%N)
        "$@" >/dev/null
        end=$(date +%s%N)
        took=$(((end - start) / 1000000))
        if [ -z "$best" ] || [ "$took" -lt "$best" ]; then best=$took; fi
    done
    echo "$best"
}

populate_ms=$(fastest "$cli" populate "$shp" "$work/county.txt")
ogr_ms=$(fastest sh -c "rm -f '$work/county.geojson' && ogr2ogr -f GeoJSON '$work/county.geojson' '$shp'")
"$cli" info "$work/county.txt" | head -2 | tr '\n' ' '
echo "from $edges edges"
echo "vantry-cli populate:    $populate_ms ms"
echo "ogr2ogr -f GeoJSON:     $ogr_ms ms"
awk -v a="$populate_ms" -v b="$ogr_ms" 'BEGIN { printf "ratio populate/ogr2ogr: %.2f\n", a / b }'
