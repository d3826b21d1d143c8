#!/usr/bin/env bash
# Times `vantry-cli export` of the benchmarks' street grid to a GeoPackage, and `vantry-cli import`
# of that GeoPackage back into a network file, against GDAL's own `ogr2ogr` copying the same
# features (links and nodes, each with its spatial index) from one GeoPackage to another, and
# prints the times and their ratios. The import's time includes writing the network file.
#   bash bench/export_vs_ogr2ogr.sh [BUILD_DIR] [LINKS] [RUNS]
# Each tool runs RUNS times (default 3); the fastest run of each counts, which keeps other work on
# the machine out of the comparison as far as it can be kept out. The export's time includes
# opening the network file; `vantry-cli info` of the same file says how much of it that is.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
links="${2:-1000000}"
runs="${3:-3}"
cli="$build/src/cli/vantry-cli"
county_files="$build/bench/vantry_county_files"
for tool in "$cli" "$county_files"; do
    [ -x "$tool" ] || { echo "missing $tool: build first" >&2; exit 1; }
done
command -v ogr2ogr >/dev/null || { echo "missing ogr2ogr (Debian package gdal-bin)" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/vantry-export-vs-ogr2ogr-XXXXXX")"
trap 'rm -rf "$work"' EXIT
# The settings of whoever runs this stay untouched.
export XDG_CONFIG_HOME="$work/config"
export XDG_DATA_HOME="$work/data"
"$county_files" "$work/grid.txt" "$work/lines.geojson" "$links"
rm -f "$work/lines.geojson"
# The features ogr2ogr copies: the export's own, so that both write the same rows and fields.
"$cli" export "$work/grid.txt" "$work/source.gpkg" >/dev/null

# Milliseconds of the fastest of $runs runs of the command.
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

open_ms=$(fastest "$cli" info "$work/grid.txt")
export_ms=$(fastest sh -c "rm -f '$work/out.gpkg' && '$cli' export '$work/grid.txt' '$work/out.gpkg'")
ogr_ms=$(fastest sh -c "rm -f '$work/copy.gpkg' && ogr2ogr -f GPKG '$work/copy.gpkg' '$work/source.gpkg'")
import_ms=$(fastest "$cli" import "$work/source.gpkg" "$work/back.txt")
"$cli" export "$work/grid.txt" "$work/out.gpkg"
echo "vantry-cli export:          $export_ms ms (of which opening the network: $open_ms ms)"
echo "ogr2ogr -f GPKG (GPKG copy): $ogr_ms ms"
echo "vantry-cli import:          $import_ms ms"
awk -v a="$export_ms" -v b="$ogr_ms" 'BEGIN { printf "ratio export/ogr2ogr:       %.2f\n", a / b }'
awk -v a="$import_ms" -v b="$ogr_ms" 'BEGIN { printf "ratio import/ogr2ogr:       %.2f\n", a / b }'
