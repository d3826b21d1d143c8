// Timings of the Travona workbook exchange: saving and loading a network as large as the layout
// holds (200 links, 100 nodes). Goal: under 20 ms each, where starting a spreadsheet
// application alone takes seconds. Every benchmark makes its own input: a jittered street grid.

#include "excel/workbooklayout.h"
#include "gridnetwork.h"
#include "model/network.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

using namespace vantry;

namespace {

namespace fs = std::filesystem;

// Where the benchmarks put their workbooks; set up by main().
fs::path gScratchFolder;

// The layout's limits: 200 links between 100 nodes.
constexpr std::int64_t kFullLinkCount = 200;

// Fails the benchmark run loudly instead of timing a save that showed a message.
struct FailingPrompts : WorkbookPrompts {
    benchmark::State* state = nullptr;
    bool askYesNo(const std::string& question) override {
        state->SkipWithError(question.c_str());
        return false;
    }
    void showMessage(const std::string& message) override { state->SkipWithError(message.c_str()); }
    void showWarning(const std::string& message) override { state->SkipWithError(message.c_str()); }
};

std::unique_ptr<Network> fullNetwork() {
    auto net = buildGrid(kFullLinkCount);
    for (Link* l : net->links())
        l->setDescription("link " + std::to_string(l->id()));
    net->setBitmap("maps\\background.bmp", WorldRect{10.0f, -10.0f, -12.0f, 12.0f});
    return net;
}

// Saving into a workbook that holds the network already: the usual File Save.
void BM_SaveIntoExistingWorkbook(benchmark::State& state) {
    const auto net = fullNetwork();
    const std::string path = (gScratchFolder / "save-existing.xls").string();
    FailingPrompts prompts;
    prompts.state = &state;
    SaveToWorkbook(*net, path, prompts);
    for (auto _ : state)
        benchmark::DoNotOptimize(SaveToWorkbook(*net, path, prompts));
}
BENCHMARK(BM_SaveIntoExistingWorkbook)->Unit(benchmark::kMillisecond)->UseRealTime();

// Saving under a new name: the workbook is made and then filled.
void BM_SaveNewWorkbook(benchmark::State& state) {
    const auto net = fullNetwork();
    const std::string path = (gScratchFolder / "save-new.xls").string();
    FailingPrompts prompts;
    prompts.state = &state;
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        fs::remove(path, ec);
        state.ResumeTiming();
        benchmark::DoNotOptimize(SaveToWorkbook(*net, path, prompts));
    }
}
BENCHMARK(BM_SaveNewWorkbook)->Unit(benchmark::kMillisecond)->UseRealTime();

// Loading into a fresh network, its teardown not timed.
void BM_LoadWorkbook(benchmark::State& state) {
    const auto net = fullNetwork();
    const std::string path = (gScratchFolder / "load.xls").string();
    FailingPrompts prompts;
    prompts.state = &state;
    SaveToWorkbook(*net, path, prompts);
    for (auto _ : state) {
        auto loaded = std::make_unique<Network>();
        benchmark::DoNotOptimize(LoadFromWorkbook(*loaded, path, prompts));
        state.PauseTiming();
        if (loaded->links().size() != static_cast<std::size_t>(kFullLinkCount))
            state.SkipWithError("the workbook did not load back whole");
        loaded.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_LoadWorkbook)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    std::error_code ec;
    std::string rootTemplate = (fs::temp_directory_path(ec) / "vantry-bench-excel-XXXXXX").string();
    if (ec || mkdtemp(rootTemplate.data()) == nullptr) {
        std::perror("vantry_bench_excel: cannot make a temporary folder");
        return 1;
    }
    gScratchFolder = rootTemplate;

    int status = 0;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        status = 1;
    } else {
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    fs::remove_all(gScratchFolder, ec);
    return status;
}
