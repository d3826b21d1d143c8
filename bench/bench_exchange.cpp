// Timing of exchanges with GIS programs and travel models: a city-size network of a million links
// exported to a GeoPackage and imported back (which bench/export_vs_ogr2ogr.sh compares with
// GDAL's own copying of the same features) and exported to a GMNS folder.

#include "exchange/networkexport.h"
#include "exchange/networkimport.h"
#include "gridnetwork.h"
#include "model/network.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <memory>
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

// Placed, as a populated city is: every node goes through the projection to longitude and
// latitude.
std::unique_ptr<Network> placedGrid(std::int64_t links) {
    auto net = buildGrid(links);
    net->setGeoreference({"EPSG:2263", 988000.0, 215000.0});
    return net;
}

void exportEach(benchmark::State& state, ExchangeFormat format, const char* name) {
    const auto net = placedGrid(state.range(0));
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

// Everything File > Import does after the file is chosen: the first look that chooses the field
// mapping, then the network made from the rows.
void BM_ImportGeoPackage(benchmark::State& state) {
    BenchFolder folder;
    const std::string path = folder.file("grid.gpkg");
    {
        const auto net = placedGrid(state.range(0));
        ExportResult exported;
        std::string why;
        if (!exportNetwork(*net, path, ExchangeFormat::GeoPackage, exported, why)) {
            state.SkipWithError(why.c_str());
            return;
        }
    }
    for (auto _ : state) {
        ImportSource source;
        Network back;
        ImportResult result;
        std::string why;
        if (!inspectImport(path, source, why) ||
            !importNetwork(source, {source.mapping, source.lengthUnit, source.speedUnit}, back,
                           result, why)) {
            state.SkipWithError(why.c_str());
            break;
        }
        if (result.links != static_cast<std::size_t>(state.range(0))) {
            state.SkipWithError("the import made another number of links");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ImportGeoPackage)->Arg(kLinkCount)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
