// Timings of street data on a county-sized TIGER/Line EDGES shapefile (about 50,000 edges with the
// full attribute table, generated into a temporary folder): reading it into chains, and reading
// it, adding it to a document's data and populating a network from all of it.

#include "edgesfile.h"
#include "model/network.h"
#include "streets/streetreader.h"
#include "tiger/autopopulate.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr int kEdgeCount = 50000;
std::string gEdgesPath; // set up by main()

void BM_ReadEdges(benchmark::State& state) {
    for (auto _ : state) {
        StreetRead read;
        std::string why;
        if (!readStreetChains(gEdgesPath, "", read, why))
            state.SkipWithError(why.c_str());
        benchmark::DoNotOptimize(read.chains.data());
    }
}
BENCHMARK(BM_ReadEdges)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PopulateEdges(benchmark::State& state) {
    const LinkDefaults defaults;
    std::size_t links = 0;
    for (auto _ : state) {
        StreetRead read;
        std::string why;
        if (!readStreetChains(gEdgesPath, "", read, why))
            state.SkipWithError(why.c_str());
        TigerData tiger;
        tiger.add(std::move(read.chains));
        Network net;
        AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), defaults);
        links = net.links().size();
    }
    state.counters["links"] = static_cast<double>(links);
}
BENCHMARK(BM_PopulateEdges)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    std::error_code ec;
    std::string root = (fs::temp_directory_path(ec) / "vantry-bench-streets-XXXXXX").string();
    if (ec || mkdtemp(root.data()) == nullptr) {
        std::perror("vantry_bench_streets: cannot make a temporary folder");
        return 1;
    }
    gEdgesPath = (fs::path(root) / "tl_2023_01073_edges.shp").string();
    std::string why;
    if (!writeEdgesShapefile(gEdgesPath, kEdgeCount, why)) {
        std::fprintf(stderr, "vantry_bench_streets: %s\n", why.c_str());
        fs::remove_all(root, ec);
        return 1;
    }
    int status = 0;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        status = 1;
    } else {
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    fs::remove_all(root, ec);
    return status;
}
