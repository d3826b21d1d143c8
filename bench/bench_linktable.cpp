// Timings of the link table on a large city's network: building its rows, sorting by a column
// and filtering, each over every link.

#include "app/linktablemodel.h"
#include "document/vantrydoc.h"
#include "gridnetwork.h"

#include <benchmark/benchmark.h>

#include <cstdint>

using namespace vantry;

namespace {

constexpr std::int64_t kLargeLinkCount = 100000;

// The table never asks anything while it is only sorted and filtered.
class SilentPrompter : public Prompter {
public:
    void showMessage(const std::string&, Icon) override {}
    bool askYesNo(const std::string&, Icon) override { return false; }
    Answer askYesNoCancel(const std::string&, Icon) override { return Answer::Cancel; }
    std::optional<std::string> chooseOpenPath(const std::string&) override { return {}; }
    std::optional<std::string> chooseSavePath(const std::string&, const std::string&) override {
        return {};
    }
    std::optional<std::uint32_t> pickColour(std::uint32_t) override { return {}; }
};

struct LargeTable {
    LargeTable() : model(prompter) {
        doc.network().readText(gridText(kLargeLinkCount));
        model.setDocument(&doc);
    }
    SilentPrompter prompter;
    CVantryDoc doc;
    LinkTableModel model;
};

void BM_LinkTableSort(benchmark::State& state) {
    LargeTable t;
    bool down = false;
    for (auto _ : state) {
        t.model.sort(LinkTableModel::Capacity, down ? Qt::DescendingOrder : Qt::AscendingOrder);
        down = !down;
    }
    state.counters["rows"] = t.model.rowCount();
}
BENCHMARK(BM_LinkTableSort)->Unit(benchmark::kMillisecond);

void BM_LinkTableFilter(benchmark::State& state) {
    LargeTable t;
    bool byNumber = false;
    for (auto _ : state) {
        t.model.setFilterText(byNumber ? QStringLiteral("4711") : QStringLiteral("street"));
        byNumber = !byNumber;
    }
}
BENCHMARK(BM_LinkTableFilter)->Unit(benchmark::kMillisecond);

void BM_LinkTableRefreshAfterEdit(benchmark::State& state) {
    LargeTable t;
    for (auto _ : state)
        t.model.refresh();
}
BENCHMARK(BM_LinkTableRefreshAfterEdit)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
