// Timings of TIGER/Line work on a county-sized file pair: loading it (and, to put that against,
// GDAL reading it), and populating a network from all of it with one rectangle. The county is
// generated into a temporary folder: 50,000 complete chains on a jittered street grid (the type 1
// records) and 100,000 shape records (type 2), written as the Census Bureau writes them, fixed
// columns with CRLF line ends.
//
// Times are wall-clock time per call; setup done between PauseTiming and ResumeTiming (throwing
// away the previous result) is not part of them.

#include "model/editing.h"
#include "model/network.h"
#include "tiger/autopopulate.h"
#include "tiger/tigerstore.h"
#include "view/renderer.h"

#include <QGuiApplication>
#include <QImage>

#include <benchmark/benchmark.h>
#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace vantry;

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kChainCount = 50000;
constexpr std::size_t kShapeRecordCount = 100000;
// Intersections per side of the street grid: enough for kChainCount blocks between them.
constexpr int kGridSide = 159;

fs::path gCountyPath; // the record type 1 file; set up by main()

// A blank line of the given record type and length with text laid at 1-based columns.
class Record {
public:
    Record(char type, std::size_t length) : text_(length, ' ') {
        text_[0] = type;
        at(2, "0000");
    }
    Record& at(std::size_t column, std::string_view text) {
        std::copy(text.begin(), text.end(),
                  text_.begin() + static_cast<std::ptrdiff_t>(column - 1));
        return *this;
    }
    Record& number(std::size_t column, const char* format, long value) {
        char buf[32];
        std::snprintf(buf, sizeof buf, format, value);
        return at(column, buf);
    }
    const std::string& str() const { return text_; }

private:
    std::string text_;
};

struct GridChain {
    TigerPoint start;
    TigerPoint end;
};

// The blocks of a street grid near 34.7 N, 86.6 W, about 0.2 miles apart, each intersection
// moved a little so that no two streets are quite straight.
std::vector<GridChain> streetGrid() {
    std::mt19937 random(565);
    std::uniform_int_distribution<int> jitter(-300, 300);
    std::vector<TigerPoint> corners;
    for (int row = 0; row < kGridSide; ++row)
        for (int col = 0; col < kGridSide; ++col)
            corners.push_back(
                {34600000 + row * 2900 + jitter(random), -86700000 + col * 3500 + jitter(random)});
    const auto at = [&](int row, int col) { return corners[row * kGridSide + col]; };
    std::vector<GridChain> chains;
    for (int row = 0; row < kGridSide && chains.size() < kChainCount; ++row) {
        for (int col = 0; col < kGridSide && chains.size() < kChainCount; ++col) {
            if (col + 1 < kGridSide)
                chains.push_back({at(row, col), at(row, col + 1)});
            if (row + 1 < kGridSide && chains.size() < kChainCount)
                chains.push_back({at(row, col), at(row + 1, col)});
        }
    }
    return chains;
}

// Mostly local streets, with some arterials, a freeway, ramps and creeks among them.
const char* featureClass(std::size_t i) {
    switch (i % 100) {
    case 0:
        return "A15";
    case 1:
        return "A63";
    case 2:
        return "H11";
    case 3:
    case 4:
        return "A31";
    case 5:
        return "A21";
    default:
        return "A41";
    }
}

bool writeText(const fs::path& path, const std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

// Writes the county's file pair; false when a file could not be written.
bool writeCounty(const fs::path& type1Path) {
    const std::vector<GridChain> grid = streetGrid();
    std::mt19937 random(1990);
    std::uniform_int_distribution<int> bend(-150, 150);
    std::uniform_int_distribution<int> lastRecordPoints(1, 10);

    std::string type1, type2;
    type1.reserve(grid.size() * 230);
    type2.reserve(kShapeRecordCount * 210);
    std::size_t shapeRecords = 0;
    for (std::size_t i = 0; i < grid.size(); ++i) {
        // TLIDs rise with gaps, and the file is not in TLID order: blocks of 64 run backwards.
        const std::size_t order = (i / 64) * 64 + (63 - i % 64);
        const long tlid = 60000000 + static_cast<long>(order) * 3 + static_cast<long>(i % 3);
        const GridChain& c = grid[i];
        type1 += Record('1', 228)
                     .number(6, "%10ld", tlid)
                     .at(17, "O")
                     .at(20, "Elm")
                     .at(50, "St")
                     .at(56, featureClass(i))
                     .at(59, "   1200       1298       1201       1299")
                     .at(107, "3580135801")
                     .at(171, "00110000110020172018")
                     .number(191, "%+010ld", c.start.longitude)
                     .number(201, "%+09ld", c.start.latitude)
                     .number(210, "%+010ld", c.end.longitude)
                     .number(220, "%+09ld", c.end.latitude)
                     .str();
        type1 += "\r\n";

        // Chains carry 0 to 4 shape records, 2 on average; all but the last are full.
        const int records = static_cast<int>(i % 5);
        for (int r = 0; r < records; ++r) {
            Record record('2', 208);
            record.number(6, "%10ld", tlid).number(16, "%3ld", r + 1);
            const int points = r + 1 < records ? 10 : lastRecordPoints(random);
            for (int k = 0; k < 10; ++k) {
                const std::size_t column = 19 + 19 * static_cast<std::size_t>(k);
                const double t = (r * 10 + k + 1) / (records * 10.0 + 1.0);
                long lon = 0, lat = 0;
                if (k < points) {
                    lon = c.start.longitude +
                          static_cast<long>(t * (c.end.longitude - c.start.longitude)) +
                          bend(random);
                    lat = c.start.latitude +
                          static_cast<long>(t * (c.end.latitude - c.start.latitude)) + bend(random);
                }
                record.number(column, "%+010ld", lon).number(column + 10, "%+09ld", lat);
            }
            type2 += record.str();
            type2 += "\r\n";
            ++shapeRecords;
        }
    }
    if (grid.size() != kChainCount || shapeRecords != kShapeRecordCount)
        return false;
    fs::path type2Path = type1Path;
    type2Path.replace_extension(".RT2");
    return writeText(type1Path, type1) && writeText(type2Path, type2);
}

bool hasCounty(const TigerData& data) {
    return data.store().chains().size() == kChainCount;
}

// A rectangle a mile larger than everything loaded on every side.
std::pair<WorldPoint, WorldPoint> aroundEverything(const TigerData& data) {
    WorldRect r = data.tigerExtent();
    r.inflate(1.0f);
    return {{r.left, r.bottom}, {r.right, r.top}};
}

const TigerData* loadedCounty() {
    static const std::unique_ptr<TigerData> data = [] {
        auto d = std::make_unique<TigerData>();
        if (!d->load(gCountyPath.string()) || !hasCounty(*d))
            d.reset();
        return d;
    }();
    return data.get();
}

const LinkDefaults kDefaults;
constexpr float kScale = 100.0f;

// What some work cost this process: its page faults, and its user, system and wall-clock time.
struct Cost {
    double faults = 0;
    double user = 0;
    double system = 0;
    double wall = 0;

    Cost& operator+=(const Cost& other) {
        faults += other.faults;
        user += other.user;
        system += other.system;
        wall += other.wall;
        return *this;
    }
    static Cost now() {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        timespec clock{};
        clock_gettime(CLOCK_MONOTONIC, &clock);
        return {static_cast<double>(usage.ru_minflt + usage.ru_majflt), seconds(usage.ru_utime),
                seconds(usage.ru_stime),
                static_cast<double>(clock.tv_sec) + static_cast<double>(clock.tv_nsec) * 1e-9};
    }
    Cost since(const Cost& start) const {
        return {faults - start.faults, user - start.user, system - start.system, wall - start.wall};
    }
    // The totals of all iterations as counters per iteration.
    void report(benchmark::State& state) const {
        const auto average = benchmark::Counter::kAvgIterations;
        state.counters["pageFaults"] = benchmark::Counter(faults, average);
        state.counters["userMs"] = benchmark::Counter(user * 1000, average);
        state.counters["systemMs"] = benchmark::Counter(system * 1000, average);
    }

private:
    static double seconds(const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
    }
};

// ---- Loading ----------------------------------------------------------------------------------

// Besides the time, what a load costs the system: its page faults and system time.
void BM_LoadCounty(benchmark::State& state) {
    std::optional<TigerData> data;
    Cost total;
    for (auto _ : state) {
        state.PauseTiming();
        data.emplace();
        state.ResumeTiming();
        const Cost start = Cost::now();
        if (!data->load(gCountyPath.string())) {
            state.SkipWithError("the county could not be loaded");
            return;
        }
        total += Cost::now().since(start);
    }
    if (!hasCounty(*data)) {
        state.SkipWithError("the loaded county does not have the expected chains");
        return;
    }
    std::size_t points = 0;
    for (const auto& [tlid, chain] : data->store().chains())
        points += chain.shapePoints.size();
    state.counters["chains"] = static_cast<double>(data->store().chains().size());
    state.counters["shapePoints"] = static_cast<double>(points);
    total.report(state);
}
BENCHMARK(BM_LoadCounty)->Unit(benchmark::kMillisecond)->UseRealTime();

// The first load in a process, as a user's load is. Loading again in the same process reuses
// memory the allocator already holds; here every page the load touches is new to the process and
// costs a fault. Each load runs in a child process of its own, which measures it and reports.
void BM_LoadCountyInNewProcess(benchmark::State& state) {
    Cost total;
    for (auto _ : state) {
        int channel[2];
        if (pipe(channel) != 0) {
            state.SkipWithError("cannot make a pipe");
            return;
        }
        const pid_t child = fork();
        if (child < 0) {
            state.SkipWithError("cannot start a process");
            return;
        }
        if (child == 0) {
            close(channel[0]);
            const Cost start = Cost::now();
            // Left for the end of the process to free, as in a user's session.
            auto* data = new TigerData;
            const bool loaded = data->load(gCountyPath.string()) && hasCounty(*data);
            const Cost cost = Cost::now().since(start);
            const bool sent = write(channel[1], &cost, sizeof cost) == sizeof cost;
            _exit(loaded && sent ? 0 : 1);
        }
        close(channel[1]);
        Cost cost;
        const bool received = read(channel[0], &cost, sizeof cost) == sizeof cost;
        close(channel[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (!received || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the county could not be loaded");
            return;
        }
        state.SetIterationTime(cost.wall);
        total += cost;
    }
    total.report(state);
}
BENCHMARK(BM_LoadCountyInNewProcess)->Unit(benchmark::kMillisecond)->UseManualTime();

// The same pair read by GDAL's own TIGER/Line driver, every chain with its attributes and its
// shape, to put the load's time against.
void BM_GdalReadCounty(benchmark::State& state) {
    std::size_t chains = 0, points = 0;
    for (auto _ : state) {
        const GDALDatasetUniquePtr dataset(
            GDALDataset::Open(gCountyPath.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
        OGRLayer* layer = dataset ? dataset->GetLayerByName("CompleteChain") : nullptr;
        if (!layer) {
            state.SkipWithError("GDAL cannot read the county");
            return;
        }
        chains = points = 0;
        for (const auto& feature : *layer) {
            const OGRGeometry* geometry = feature->GetGeometryRef();
            if (geometry && wkbFlatten(geometry->getGeometryType()) == wkbLineString)
                points += static_cast<std::size_t>(geometry->toLineString()->getNumPoints());
            ++chains;
        }
    }
    state.counters["chains"] = static_cast<double>(chains);
    state.counters["points"] = static_cast<double>(points);
}
BENCHMARK(BM_GdalReadCounty)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Auto-Populate ----------------------------------------------------------------------------

void BM_PopulateCountyIntoEmptyNetwork(benchmark::State& state) {
    const TigerData* data = loadedCounty();
    if (!data) {
        state.SkipWithError("the county could not be loaded");
        return;
    }
    const auto [from, to] = aroundEverything(*data);
    std::unique_ptr<Network> net;
    for (auto _ : state) {
        state.PauseTiming();
        net = std::make_unique<Network>();
        state.ResumeTiming();
        if (!AutoPopulateAt(*net, data->store(), data->tigerOrigin(), from, to, kScale,
                            kDefaults)) {
            state.SkipWithError("populating the county changed nothing");
            return;
        }
    }
    state.counters["nodes"] = static_cast<double>(net->nodes().size());
    state.counters["links"] = static_cast<double>(net->links().size());
}
BENCHMARK(BM_PopulateCountyIntoEmptyNetwork)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same rectangle over a network that already holds the whole county: every chain end finds
// its node and every link exists.
void BM_PopulateCountyAgain(benchmark::State& state) {
    const TigerData* data = loadedCounty();
    if (!data) {
        state.SkipWithError("the county could not be loaded");
        return;
    }
    const auto [from, to] = aroundEverything(*data);
    Network net;
    AutoPopulateAt(net, data->store(), data->tigerOrigin(), from, to, kScale, kDefaults);
    for (auto _ : state) {
        if (AutoPopulateAt(net, data->store(), data->tigerOrigin(), from, to, kScale, kDefaults)) {
            state.SkipWithError("populating the county a second time added something");
            return;
        }
    }
}
BENCHMARK(BM_PopulateCountyAgain)->Unit(benchmark::kMillisecond)->UseRealTime();

// A click on the road with the highest TLID of a populated county: the search walks every
// chain before it.
void BM_ClickLastRoad(benchmark::State& state) {
    const TigerData* data = loadedCounty();
    if (!data) {
        state.SkipWithError("the county could not be loaded");
        return;
    }
    const auto [from, to] = aroundEverything(*data);
    Network net;
    AutoPopulateAt(net, data->store(), data->tigerOrigin(), from, to, kScale, kDefaults);
    const TigerChain* last = nullptr;
    for (const auto& [tlid, chain] : data->store().chains())
        if (chain.cfcc[0] == 'A')
            last = &chain;
    const WorldPoint a = data->TigerToWorld(last->start);
    const WorldPoint b = data->TigerToWorld(last->end);
    const WorldPoint middle{(a.x + b.x) / 2, (a.y + b.y) / 2};
    for (auto _ : state)
        benchmark::DoNotOptimize(AutoPopulateAt(net, data->store(), data->tigerOrigin(), middle,
                                                middle, kScale, kDefaults));
}
BENCHMARK(BM_ClickLastRoad)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---- Drawing ----------------------------------------------------------------------------------

// The whole county in a 1600 x 1000 window, drawn behind an empty network as a view draws it.
void BM_DrawCounty(benchmark::State& state) {
    const TigerData* data = loadedCounty();
    if (!data) {
        state.SkipWithError("the county did not load");
        return;
    }
    ViewTransform transform;
    transform.setClientSize(1600, 1000, 1.0);
    transform.ShowEntireNetwork(data->tigerExtent());
    RenderOptions options;
    options.tiger = data;
    const Network empty;
    for (auto _ : state)
        benchmark::DoNotOptimize(renderToImage(empty, transform, options, nullptr));
}
BENCHMARK(BM_DrawCounty)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    // Drawing needs the toolkit's application object for fonts; no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    GDALAllRegister();
    std::error_code ec;
    std::string rootTemplate = (fs::temp_directory_path(ec) / "vantry-bench-tiger-XXXXXX").string();
    if (ec || mkdtemp(rootTemplate.data()) == nullptr) {
        std::perror("vantry_bench_tiger: cannot make a temporary folder");
        return 1;
    }
    const fs::path root = rootTemplate;
    gCountyPath = root / "TGR01089.RT1";
    if (!writeCounty(gCountyPath)) {
        std::fprintf(stderr, "vantry_bench_tiger: cannot write the county into %s\n", root.c_str());
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
