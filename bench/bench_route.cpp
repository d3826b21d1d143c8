// Timing of routes over a million links: building the routing graph from the network and the
// fastest route between two far corners of the grid, together (what vantry-cli route does after
// reading the file) and the search alone; and the same on 100,000 links, which the editor does
// again after every edit while a route is shown.

#include "gridnetwork.h"
#include "route/routinggraph.h"

#include <benchmark/benchmark.h>

#include <cstdint>

using namespace vantry;

namespace {

constexpr std::int64_t kMillion = 1000000;

// From the grid's first node to its last: one corner to the opposite one, across every row and
// column.
std::int32_t farCorner(const Network& net) {
    return static_cast<std::int32_t>(net.nodes().size());
}

void BM_RouteGraphAndSearch(benchmark::State& state) {
    const auto net = buildGrid(state.range(0));
    const std::int32_t to = farCorner(*net);
    for (auto _ : state) {
        const RoutingGraph graph(*net);
        const auto route = fastestRoute(graph, 1, to);
        if (!route) {
            state.SkipWithError("the grid has no route between its corners");
            break;
        }
        benchmark::DoNotOptimize(route);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RouteGraphAndSearch)->Arg(kMillion)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_RouteSearch(benchmark::State& state) {
    const auto net = buildGrid(state.range(0));
    const RoutingGraph graph(*net);
    const std::int32_t to = farCorner(*net);
    for (auto _ : state) {
        const auto route = fastestRoute(graph, 1, to);
        if (!route) {
            state.SkipWithError("the grid has no route between its corners");
            break;
        }
        benchmark::DoNotOptimize(route);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RouteSearch)->Arg(kMillion)->Unit(benchmark::kMillisecond);

// The search again over the same tree, as the detour search and the editor's route repeat it.
void BM_RouteSearchReused(benchmark::State& state) {
    const auto net = buildGrid(state.range(0));
    const RoutingGraph graph(*net);
    const std::int32_t to = farCorner(*net);
    ShortestPathTree tree(graph);
    for (auto _ : state) {
        tree.grow(1, to);
        if (!tree.reaches(to)) {
            state.SkipWithError("the grid has no route between its corners");
            break;
        }
        benchmark::DoNotOptimize(tree.routeTo(to));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_RouteSearchReused)->Arg(kMillion)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
