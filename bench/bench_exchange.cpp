// Timing of exports for GIS programs and travel models: a city-size network of a million links
// to a GeoPackage (which bench/export_vs_ogr2ogr.sh compares with GDAL's own copying of the same
// features) and to a GMNS folder.

#include "exchange/networkexport.h"
#include "gridnetwork.h"
#include "model/network.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>

using namespace vantry;

namespace {

constexpr std::int64_t kLinkCount = 1000000;

// A folder of the run's own, removed with what it holds at the end.
class BenchFolder {
public:
    BenchFolder()
        : path_(std::filesystem::temp_directory_path() /
                ("vantry-bench-exchange-" + std::to_string(std::random_device{}()))) {
        std::filesystem::create_directories(path_);
    }
    ~BenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::string file(const char* name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

void exportEach(benchmark::State& state, ExchangeFormat format, const char* name) {
    const auto net = buildGrid(state.range(0));
    // Placed, as a populated city is: every node goes through the projection to longitude and
    // latitude.
    net->setGeoreference({"EPSG:2263", 988000.0, 215000.0});
    BenchFolder folder;
    for (auto _ : state) {
        ExportResult result;
        std::string why;
        if (!exportNetwork(*net, folder.file(name), format, result, why)) {
            state.SkipWithError(why.c_str());
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ExportGeoPackage(benchmark::State& state) {
    exportEach(state, ExchangeFormat::GeoPackage, "grid.gpkg");
}
BENCHMARK(BM_ExportGeoPackage)->Arg(kLinkCount)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ExportGmns(benchmark::State& state) {
    exportEach(state, ExchangeFormat::Gmns, "gmns");
}
BENCHMARK(BM_ExportGmns)->Arg(kLinkCount)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
