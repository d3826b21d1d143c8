// Timing of link expressions over a million links: the filter a user types into the link table
// or passes to vantry-cli select, a text search, and a field calculation over every link.

#include "gridnetwork.h"
#include "query/linkexpression.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace vantry;

namespace {

constexpr std::int64_t kMillion = 1000000;

LinkExpression predicate(const char* text) {
    ExpressionError error;
    std::optional<LinkExpression> parsed = parseLinkPredicate(text, &error);
    if (!parsed)
        std::abort();
    return *parsed;
}

// The grid's links all look alike; spread their attributes so that the branches of the
// predicate go both ways.
std::unique_ptr<Network> variedGrid(std::int64_t linkCount) {
    auto net = buildGrid(linkCount);
    std::int32_t i = 0;
    for (Link* link : net->links()) {
        link->setNumLanes(1 + i % 4);
        link->setFFSpeed(25 + (i * 7) % 50);
        link->setCapacity(1800 * link->numLanes());
        link->setDescription(i % 3 ? "Main St" : "Oak Ave");
        ++i;
    }
    return net;
}

void selectBy(benchmark::State& state, const char* text) {
    const auto net = variedGrid(state.range(0));
    const LinkExpression expression = predicate(text);
    for (auto _ : state)
        benchmark::DoNotOptimize(selectLinks(*net, expression));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SelectSimplePredicate(benchmark::State& state) {
    selectBy(state, "lanes >= 2 and speed < 45");
}
BENCHMARK(BM_SelectSimplePredicate)->Arg(kMillion)->Unit(benchmark::kMillisecond);

void BM_SelectArithmeticAndText(benchmark::State& state) {
    selectBy(state, "capacity / lanes < 1900 and description contains 'oak' or length > drawn");
}
BENCHMARK(BM_SelectArithmeticAndText)->Arg(kMillion)->Unit(benchmark::kMillisecond);

// Parsing and computing the new attributes of every link, without applying them.
void BM_AssignCapacity(benchmark::State& state) {
    const auto net = variedGrid(state.range(0));
    ExpressionError error;
    std::vector<LinkAssignment> assignments;
    assignments.push_back(*parseLinkAssignment("capacity = round(lanes * 1900 * 0.95)", &error));
    std::string why;
    for (auto _ : state)
        benchmark::DoNotOptimize(assignedAttributes(net->links(), assignments, &why));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AssignCapacity)->Arg(kMillion)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
