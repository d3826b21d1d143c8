// Timings of the operations whose cost grows with the size of the network: the text format,
// opening and saving, the undo history (snapshots, Undo and its memory), deleting a large
// selection and drawing a link. Every benchmark makes its own input: a jittered street grid in
// miles.
//
// Unless a benchmark says otherwise, its time is wall-clock time per call, and setup done between
// PauseTiming and ResumeTiming (building or throwing away networks) is not part of it.

#include "document/vantrydoc.h"
#include "gridnetwork.h"
#include "model/editing.h"
#include "model/network.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "support/scriptedprompter.h"
#include "support/solidbmp.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace vantry;

namespace {

namespace fs = std::filesystem;

// The size of a large city's network: 50,000 nodes and 100,000 links.
constexpr std::int64_t kLargeLinkCount = 100000;

// Where the benchmarks put their files; set up by main().
fs::path gScratchFolder;

std::unique_ptr<Network> loadNetwork(const std::string& text) {
    auto net = std::make_unique<Network>();
    if (!net->readText(text))
        return nullptr;
    return net;
}

bool hasGridSize(const Network* net, std::int64_t linkCount) {
    return net && static_cast<std::int64_t>(net->links().size()) == linkCount &&
           static_cast<std::int64_t>(net->nodes().size()) == linkCount / 2;
}

// Loads the large grid, or marks the benchmark as failed.
std::unique_ptr<Network> largeGrid(benchmark::State& state) {
    auto net = loadNetwork(gridText(kLargeLinkCount));
    if (!hasGridSize(net.get(), kLargeLinkCount)) {
        state.SkipWithError("the generated network does not have the expected size");
        return nullptr;
    }
    return net;
}

std::vector<Link*> everyOtherLink(const Network& net) {
    std::vector<Link*> chosen;
    chosen.reserve(net.links().size() / 2 + 1);
    for (std::size_t i = 0; i < net.links().size(); i += 2)
        chosen.push_back(net.links()[i]);
    return chosen;
}

void removeLinksFrom(Network& net, std::size_t firstIndex) {
    const std::vector<Link*> added(net.links().begin() + static_cast<std::ptrdiff_t>(firstIndex),
                                   net.links().end());
    net.removeLinks(added);
}

// ---- Text format ------------------------------------------------------------------------------

void BM_ToText(benchmark::State& state) {
    const auto net = largeGrid(state);
    if (!net)
        return;
    if (net->toText() != gridText(kLargeLinkCount)) {
        state.SkipWithError("the network text does not read back to the same text");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string text = net->toText();
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_ToText)->Unit(benchmark::kMillisecond)->UseRealTime();

// Includes making the string stream.
void BM_WriteToStream(benchmark::State& state) {
    const auto net = largeGrid(state);
    if (!net)
        return;
    std::size_t bytes = 0;
    for (auto _ : state) {
        std::ostringstream out;
        if (!net->write(out)) {
            state.SkipWithError("writing to the string stream failed");
            break;
        }
        bytes = static_cast<std::size_t>(out.tellp());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_WriteToStream)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading only: the empty network is made, and the previous result destroyed, outside the timing.
void BM_ReadText(benchmark::State& state) {
    const std::string& text = gridText(kLargeLinkCount);
    std::unique_ptr<Network> net;
    for (auto _ : state) {
        state.PauseTiming();
        net.reset();
        net = std::make_unique<Network>();
        state.ResumeTiming();
        if (!net->readText(text)) {
            state.SkipWithError("the network text did not read back");
            break;
        }
    }
    if (net && !hasGridSize(net.get(), kLargeLinkCount))
        state.SkipWithError("the network read back with the wrong size");
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReadText)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same, with making the network and destroying the result both inside the timing.
void BM_ReadTextIncludingTeardown(benchmark::State& state) {
    const std::string& text = gridText(kLargeLinkCount);
    for (auto _ : state) {
        Network net;
        if (!net.readText(text)) {
            state.SkipWithError("the network text did not read back");
            break;
        }
        benchmark::DoNotOptimize(net.links().data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReadTextIncludingTeardown)->Unit(benchmark::kMillisecond)->UseRealTime();

// Writing the network out and reading it into an empty network: the work of one snapshot plus
// one restore. Making the empty network and destroying the copy are outside the timing.
void BM_WriteAndRead(benchmark::State& state) {
    const auto source = largeGrid(state);
    if (!source)
        return;
    std::unique_ptr<Network> copy;
    for (auto _ : state) {
        state.PauseTiming();
        copy.reset();
        copy = std::make_unique<Network>();
        state.ResumeTiming();
        const std::string text = source->toText();
        if (!copy->readText(text)) {
            state.SkipWithError("the network text did not read back");
            break;
        }
    }
    if (copy && !hasGridSize(copy.get(), kLargeLinkCount))
        state.SkipWithError("the network read back with the wrong size");
}
BENCHMARK(BM_WriteAndRead)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Files ------------------------------------------------------------------------------------

void BM_SaveDocument(benchmark::State& state) {
    CVantryDoc doc;
    if (!doc.network().readText(gridText(kLargeLinkCount))) {
        state.SkipWithError("the network text did not read back");
        return;
    }
    const std::string path = (gScratchFolder / "save-bench.txt").string();
    for (auto _ : state) {
        if (!doc.OnSaveDocument(path)) {
            state.SkipWithError(doc.lastError().c_str());
            break;
        }
    }
    std::error_code ec;
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(fs::file_size(path, ec)));
    fs::remove(path, ec);
}
BENCHMARK(BM_SaveDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

// Opening into a new document each time; making it and closing the previous one are outside
// the timing.
void BM_OpenDocument(benchmark::State& state) {
    const std::string path = (gScratchFolder / "open-bench.txt").string();
    {
        CVantryDoc writer;
        if (!writer.network().readText(gridText(kLargeLinkCount)) || !writer.OnSaveDocument(path)) {
            state.SkipWithError("could not write the file to open");
            return;
        }
    }
    std::unique_ptr<CVantryDoc> doc;
    for (auto _ : state) {
        state.PauseTiming();
        doc.reset();
        doc = std::make_unique<CVantryDoc>();
        state.ResumeTiming();
        if (!doc->OnOpenDocument(path)) {
            state.SkipWithError(doc->lastError().c_str());
            break;
        }
    }
    if (doc && !hasGridSize(&doc->network(), kLargeLinkCount))
        state.SkipWithError("the file opened with the wrong size");
    std::error_code ec;
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(fs::file_size(path, ec)));
    fs::remove(path, ec);
}
BENCHMARK(BM_OpenDocument)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Undo -------------------------------------------------------------------------------------

// The snapshot every edit takes first. It is withdrawn again outside the timing so that the
// history does not grow by a whole network per iteration.
void BM_TakeSnapshot(benchmark::State& state) {
    CVantryDoc doc;
    if (!doc.network().readText(gridText(kLargeLinkCount))) {
        state.SkipWithError("the network text did not read back");
        return;
    }
    for (auto _ : state) {
        doc.takeSnapshot();
        state.PauseTiming();
        doc.cancelSnapshot();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_TakeSnapshot)->Unit(benchmark::kMillisecond)->UseRealTime();

// One Undo: the snapshot is rebuilt into a network of its own, the current network becomes the
// redo snapshot, and the two are swapped. The snapshot it undoes is taken outside the timing.
void BM_Undo(benchmark::State& state) {
    CVantryDoc doc;
    if (!doc.network().readText(gridText(kLargeLinkCount))) {
        state.SkipWithError("the network text did not read back");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        doc.takeSnapshot();
        state.ResumeTiming();
        doc.OnEditUndo();
    }
    if (doc.canUndo() || !hasGridSize(&doc.network(), kLargeLinkCount))
        state.SkipWithError("undo did not restore the snapshot");
}
BENCHMARK(BM_Undo)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Background pictures ---------------------------------------------------------------------

// Two 4000 x 3000 pictures (36 MB of pixels each) loaded one after the other with Load Bitmap.
// Undo and Redo then flip between them: with the decoded pictures kept, a flip costs a snapshot
// restore, not a decode. BM_LoadBitmapFirstTime is the decode itself, for comparison: it loads a
// picture whose file was just rewritten, so nothing kept can stand in for it.
class PictureBench {
public:
    explicit PictureBench(benchmark::State& state) {
        for (const char* name : {"first.bmp", "second.bmp"}) {
            const std::string path = (gScratchFolder / name).string();
            std::ofstream(path, std::ios::binary)
                << solidBmp(4000, 3000, name[0] == 'f' ? 200 : 30, 30, 30);
            paths.push_back(path);
        }
        prompter.paths.push_back((gScratchFolder / "pictures.txt").string());
        if (!doc.DoSave(std::nullopt))
            state.SkipWithError(doc.lastError().c_str());
    }
    bool load(const std::string& path) {
        PictureChoice choice;
        choice.path = path;
        choice.worldWidth = 4.0f;
        choice.ratio = 1000;
        choice.width = 4000;
        choice.height = 3000;
        prompter.bitmaps.push_back(choice);
        doc.OnLoadBitmap();
        return doc.background().loaded();
    }

    ScriptedPrompter prompter;
    CVantryDoc doc{&prompter};
    std::vector<std::string> paths;
};

void BM_UndoRedoFlipsPictures(benchmark::State& state) {
    PictureBench bench(state);
    if (!bench.load(bench.paths[0]) || !bench.load(bench.paths[1])) {
        state.SkipWithError("the pictures did not load");
        return;
    }
    for (auto _ : state) {
        bench.doc.OnEditUndo();
        bench.doc.OnEditRedo();
    }
    if (bench.doc.background().pixels.empty() || bench.doc.canRedo())
        state.SkipWithError("Redo did not bring the second picture back");
}
BENCHMARK(BM_UndoRedoFlipsPictures)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadBitmapFirstTime(benchmark::State& state) {
    PictureBench bench(state);
    int shade = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // Another file with the same name: kept pictures are known by the file's times and size
        // as well, so this one is read anew.
        std::ofstream(bench.paths[0], std::ios::binary)
            << solidBmp(4000, 3000, static_cast<std::uint8_t>(++shade), 30, 30);
        state.ResumeTiming();
        if (!bench.load(bench.paths[0])) {
            state.SkipWithError("the picture did not load");
            break;
        }
    }
}
BENCHMARK(BM_LoadBitmapFirstTime)->Unit(benchmark::kMillisecond)->UseRealTime();

// The memory the history holds after 20 small edits (one node moved each time), reported per
// step in the counter "bytesPerStep"; the time is that of the 20 edits.
void BM_UndoHistoryMemory(benchmark::State& state) {
    double perStep = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CVantryDoc doc;
        if (!doc.network().readText(gridText(kLargeLinkCount))) {
            state.SkipWithError("the network text did not read back");
            return;
        }
        state.ResumeTiming();
        for (int step = 0; step < 20; ++step) {
            doc.takeSnapshot();
            moveNodes({doc.network().nodes()[static_cast<std::size_t>(step) * 97]},
                      WorldPoint{0.01f, 0.0f});
        }
        perStep = static_cast<double>(doc.history().memoryBytes()) / 20.0;
    }
    state.counters["bytesPerStep"] = perStep;
}
BENCHMARK(BM_UndoHistoryMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

// One small edit through the document (a node moved), its Undo and its Redo, over four sizes:
// the whole path of an edit grows no faster than the network.
void BM_EditUndoRedoScaling(benchmark::State& state) {
    const std::int64_t links = state.range(0);
    CVantryDoc doc;
    if (!doc.network().readText(gridText(links)) || !hasGridSize(&doc.network(), links)) {
        state.SkipWithError("the generated network does not have the expected size");
        return;
    }
    std::size_t node = 0;
    for (auto _ : state) {
        node = (node + 97) % doc.network().nodes().size();
        doc.edit("Edit", [&](Network& net) {
            moveNodes({net.nodes()[node]}, WorldPoint{0.01f, 0.0f});
            return true;
        });
        doc.OnEditUndo();
        doc.OnEditRedo();
    }
    state.SetComplexityN(links);
}
BENCHMARK(BM_EditUndoRedoScaling)
    ->Arg(12500)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// ---- Editing ----------------------------------------------------------------------------------

// Deletes every other link of a fresh copy of the grid (no nodes selected; in the grid's order
// that is the link along the row of every node). The copy is loaded,
// and the previous one destroyed, outside the timing.
void deleteHalfTheLinks(benchmark::State& state, std::int64_t linkCount) {
    const std::string& text = gridText(linkCount);
    std::unique_ptr<Network> net;
    std::vector<Link*> selLinks;
    std::vector<Node*> selNodes;
    for (auto _ : state) {
        state.PauseTiming();
        net.reset();
        net = loadNetwork(text);
        if (!hasGridSize(net.get(), linkCount)) {
            state.SkipWithError("the generated network does not have the expected size");
            break;
        }
        selLinks = everyOtherLink(*net);
        selNodes.clear();
        state.ResumeTiming();
        deleteSelection(*net, selLinks, selNodes);
    }
    if (net && static_cast<std::int64_t>(net->links().size()) != linkCount / 2)
        state.SkipWithError("the wrong number of links was deleted");
    state.SetItemsProcessed(state.iterations() * (linkCount / 2));
}

void BM_DeleteHalfTheLinks(benchmark::State& state) {
    deleteHalfTheLinks(state, kLargeLinkCount);
}
BENCHMARK(BM_DeleteHalfTheLinks)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same over four sizes, so that anything worse than linear shows in the fit.
void BM_DeleteHalfTheLinksScaling(benchmark::State& state) {
    deleteHalfTheLinks(state, state.range(0));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DeleteHalfTheLinksScaling)
    ->Arg(12500)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Drawing a new link between two nodes of the large grid that are not yet linked: each node is
// joined to the node two columns east (wrapping round at the end of the row), so no pair is
// linked already. The links made are removed again, outside the timing, every kPairs calls.
void BM_ConnectNodes(benchmark::State& state) {
    const auto net = largeGrid(state);
    if (!net)
        return;
    const bool twoWay = state.range(0) != 0;
    const LinkDefaults defaults = CVantryDoc::linkDefaults();
    const GridShape shape = shapeFor(static_cast<std::int64_t>(net->nodes().size()));

    constexpr std::size_t kPairs = 1000;
    std::vector<std::pair<Node*, Node*>> pairs;
    pairs.reserve(kPairs);
    const std::size_t nodeCount = net->nodes().size();
    for (std::size_t k = 0; k < kPairs; ++k) {
        // A stride prime to the node count spreads the pairs over the network without repeats.
        const std::size_t from = (k * 7919) % nodeCount;
        const auto column = static_cast<std::int64_t>(from) % shape.columns;
        const auto row = static_cast<std::int64_t>(from) / shape.columns;
        const auto to =
            static_cast<std::size_t>(row * shape.columns + (column + 2) % shape.columns);
        pairs.emplace_back(net->nodes()[from], net->nodes()[to]);
    }

    const std::size_t firstAdded = net->links().size();
    std::size_t next = 0;
    for (auto _ : state) {
        const auto& [a, b] = pairs[next];
        benchmark::DoNotOptimize(connectNodes(*net, a, b, twoWay, defaults));
        if (++next == pairs.size()) {
            state.PauseTiming();
            removeLinksFrom(*net, firstAdded);
            next = 0;
            state.ResumeTiming();
        }
    }
    const std::size_t expected = firstAdded + next * (twoWay ? 2 : 1);
    if (net->links().size() != expected)
        state.SkipWithError("connectNodes did not make the expected links");
    removeLinksFrom(*net, firstAdded);
}
BENCHMARK(BM_ConnectNodes)->ArgName("twoWay")->Arg(0)->Arg(1)->UseRealTime();

// Drawing a two-way link where both directions exist already (an outermost block of the grid):
// nothing is made.
void BM_ConnectNodesExisting(benchmark::State& state) {
    const auto net = largeGrid(state);
    if (!net)
        return;
    const LinkDefaults defaults = CVantryDoc::linkDefaults();
    const GridShape shape = shapeFor(static_cast<std::int64_t>(net->nodes().size()));
    Node* a = net->nodes()[static_cast<std::size_t>(shape.columns - 2)];
    Node* b = net->nodes()[static_cast<std::size_t>(shape.columns - 1)];
    if (!net->hasLink(a, b) || !net->hasLink(b, a)) {
        state.SkipWithError("the chosen block is not two-way");
        return;
    }
    const std::size_t linkCount = net->links().size();
    for (auto _ : state)
        benchmark::DoNotOptimize(connectNodes(*net, a, b, true, defaults));
    if (net->links().size() != linkCount)
        state.SkipWithError("connectNodes made a link that existed already");
}
BENCHMARK(BM_ConnectNodesExisting)->UseRealTime();

// Appending nodes one at a time, as drawing them or building a network in code does. Each new
// node costs a pass over all nodes for the bounds, so this grows with the square of the count.
void BM_AppendNodesScaling(benchmark::State& state) {
    const std::int64_t count = state.range(0);
    std::unique_ptr<Network> net;
    for (auto _ : state) {
        state.PauseTiming();
        net.reset();
        net = std::make_unique<Network>();
        state.ResumeTiming();
        for (std::int64_t i = 0; i < count; ++i) {
            const float f = static_cast<float>(i);
            createNodeAt(*net, {f * 0.001f, f * 0.002f});
        }
    }
    state.SetComplexityN(count);
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_AppendNodesScaling)
    ->Arg(3125)
    ->Arg(6250)
    ->Arg(12500)
    ->Arg(25000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // Everything the run writes goes under one temporary folder, the settings store included, so
    // that the user's own preferences are neither read nor rewritten.
    std::error_code ec;
    std::string rootTemplate = (fs::temp_directory_path(ec) / "vantry-bench-XXXXXX").string();
    if (ec || mkdtemp(rootTemplate.data()) == nullptr) {
        std::perror("vantry_bench: cannot make a temporary folder");
        return 1;
    }
    const fs::path root = rootTemplate;
    const fs::path configHome = root / "config";
    gScratchFolder = root / "files";
    fs::create_directories(configHome, ec);
    fs::create_directories(gScratchFolder, ec);
    if (ec || setenv("XDG_CONFIG_HOME", configHome.c_str(), 1) != 0) {
        std::fprintf(stderr, "vantry_bench: cannot prepare %s\n", root.c_str());
        fs::remove_all(root, ec);
        return 1;
    }

    int status = 0;
    {
        SingletonPtr<UserDefinedSettings> settings;
        settings->persistOnExit = false;

        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
            status = 1;
        } else {
            benchmark::RunSpecifiedBenchmarks();
            benchmark::Shutdown();
        }
    }
    fs::remove_all(root, ec);
    return status;
}
