// Timing of the network checker on a large city's network: every rule, and the one whose naive
// form would be quadratic (overlapping nodes) alone, also on a pile of nodes at one point.

#include "check/checker.h"
#include "gridnetwork.h"

#include <benchmark/benchmark.h>

#include <cstdint>

using namespace vantry;

namespace {

constexpr std::int64_t kLargeLinkCount = 100000;

void BM_CheckNetwork(benchmark::State& state) {
    const auto net = buildGrid(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(checkNetwork(*net));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CheckNetwork)->Arg(kLargeLinkCount)->Unit(benchmark::kMillisecond);

void BM_CheckOverlappingNodes(benchmark::State& state) {
    const auto net = buildGrid(state.range(0));
    const CheckRule& rule = *findCheckRule("overlapping-nodes");
    for (auto _ : state)
        benchmark::DoNotOptimize(runCheckRule(rule, *net));
}
BENCHMARK(BM_CheckOverlappingNodes)->Arg(kLargeLinkCount)->Unit(benchmark::kMillisecond);

// A workbook whose links name nodes it never placed puts all of those at 0, 0.
void BM_CheckOverlappingPile(benchmark::State& state) {
    Network net;
    for (std::int64_t i = 0; i < state.range(0); ++i)
        net.addNode(new Node(WorldPoint{0, 0}));
    const CheckRule& rule = *findCheckRule("overlapping-nodes");
    for (auto _ : state)
        benchmark::DoNotOptimize(runCheckRule(rule, net));
}
BENCHMARK(BM_CheckOverlappingPile)->Arg(kLargeLinkCount / 2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
