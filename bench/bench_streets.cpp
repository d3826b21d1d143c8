// Timings of street data: a county-sized TIGER/Line EDGES shapefile (about 50,000 edges with the
// full attribute table), a city's OpenStreetMap XML file and a county's OpenStreetMap PBF file,
// all generated into a temporary folder. Each is read into chains, and read, added to a
// document's data and populated into a network from all of it, as the Populate All command does.
//
//   vantry_bench_streets --write-osm=FOLDER
// writes the city and county OpenStreetMap files into FOLDER and ends, for timing other programs
// on the same data.

#include "edgesfile.h"
#include "model/network.h"
#include "streets/streetreader.h"
#include "tiger/autopopulate.h"

#include <osmium/builder/attr.hpp>
#include <osmium/io/header.hpp>
#include <osmium/io/pbf_output.hpp>
#include <osmium/io/writer.hpp>
#include <osmium/io/xml_output.hpp>
#include <osmium/memory/buffer.hpp>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <memory>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

using namespace vantry;

namespace {

namespace fs = std::filesystem;

constexpr int kEdgeCount = 50000;
std::string gEdgesPath; // set up by main()
std::string gCityPath;
std::string gCountyPath;

// ---- Generated OpenStreetMap data --------------------------------------------------------------

// A town laid out as a street grid, as an OpenStreetMap file holds it: nodes in no order of their
// ids (ids are handed out over years of editing), ways that each run some blocks along a street,
// and, for the realism of a county extract, buildings that are not roads.
struct OsmTown {
    int side = 0;         // intersections along each side of the grid
    int bends = 0;        // nodes between two intersections, for the bends of the street
    int blocksPerWay = 0; // blocks one way runs along its street before the next way begins
    int buildings = 0;    // closed ways of four corners, tagged building=yes

    std::int64_t nodes() const {
        const std::int64_t blocks = 2LL * side * (side - 1);
        return std::int64_t{side} * side + blocks * bends + 4LL * buildings;
    }
};

// A city: 300 streets each way crossing at 90,000 nodes, with no bends and no buildings, in
// 6,000 ways.
constexpr OsmTown kCity{300, 0, 30, 0};
// A county of about a million nodes: 220 streets each way with five bends in every block (about
// 96,000 blocks), and as many nodes again in buildings.
constexpr OsmTown kCounty{220, 5, 8, 117'450};

using Tags = std::vector<std::pair<std::string, std::string>>;

// The tags of the street along row or column `street`: mostly residential, every fifth a
// secondary and every twenty-fifth a primary road, some streets one-way either way, and speeds
// and lanes where a mapper would have given them.
Tags streetTags(bool column, int street) {
    Tags tags;
    if (street % 25 == 0) {
        tags = {{"highway", "primary"}, {"lanes", "4"}, {"maxspeed", "45 mph"}};
    } else if (street % 5 == 0) {
        tags = {{"highway", "secondary"}, {"lanes", "2"}};
        if (street % 2 == 0)
            tags.emplace_back("maxspeed", "35 mph");
    } else {
        tags = {{"highway", "residential"}};
        if (street % 9 == 4)
            tags.emplace_back("oneway", "yes");
        else if (street % 13 == 6)
            tags.emplace_back("oneway", "-1");
        if (street % 4 == 1)
            tags.emplace_back("maxspeed", "25 mph");
    }
    tags.emplace_back("name", std::to_string(street + 1) + (column ? " Avenue" : " Street"));
    return tags;
}

// Writes the town near 40 N, 75 W (blocks about 100 m by 100 m) to path, in the encoding its name
// asks for (.osm or .osm.pbf). False, with why, when it cannot be written.
bool writeOsmTown(const std::string& path, const OsmTown& town, std::string& why) {
    namespace attr = osmium::builder::attr;
    using Id = osmium::object_id_type;
    const int side = town.side;
    const std::int64_t nodeCount = town.nodes();
    std::mt19937 random(2024);

    // Node i gets id ids[i]: every id from 1 up, in shuffled order.
    std::vector<Id> ids(static_cast<std::size_t>(nodeCount));
    std::iota(ids.begin(), ids.end(), Id{1});
    std::shuffle(ids.begin(), ids.end(), random);

    // Node numbers: the intersections row by row, then the bends of the blocks along the rows,
    // then those of the blocks along the columns, then the buildings' corners.
    const auto corner = [&](int row, int col) { return std::int64_t{row} * side + col; };
    const std::int64_t rowBends = std::int64_t{side} * side;
    const std::int64_t columnBends = rowBends + std::int64_t{side} * (side - 1) * town.bends;
    const auto bend = [&](bool column, int street, int block, int k) {
        const std::int64_t blockIndex = std::int64_t{street} * (side - 1) + block;
        return (column ? columnBends : rowBends) + blockIndex * town.bends + k;
    };
    const std::int64_t firstBuildingNode =
        columnBends + std::int64_t{side} * (side - 1) * town.bends;

    constexpr double kLat = 40.0, kLon = -75.0, kStepLat = 0.0009, kStepLon = 0.00118;
    std::uniform_real_distribution<double> jitter(-0.00012, 0.00012);
    std::vector<osmium::Location> at(static_cast<std::size_t>(nodeCount));
    for (int row = 0; row < side; ++row)
        for (int col = 0; col < side; ++col)
            at[static_cast<std::size_t>(corner(row, col))] = osmium::Location(
                kLon + col * kStepLon + jitter(random), kLat + row * kStepLat + jitter(random));
    std::uniform_real_distribution<double> sway(-0.00003, 0.00003);
    for (const bool column : {false, true})
        for (int street = 0; street < side; ++street)
            for (int block = 0; block + 1 < side; ++block) {
                const osmium::Location from = at[static_cast<std::size_t>(
                    column ? corner(block, street) : corner(street, block))];
                const osmium::Location to = at[static_cast<std::size_t>(
                    column ? corner(block + 1, street) : corner(street, block + 1))];
                for (int k = 0; k < town.bends; ++k) {
                    const double t = (k + 1.0) / (town.bends + 1.0);
                    at[static_cast<std::size_t>(bend(column, street, block, k))] =
                        osmium::Location(from.lon() + t * (to.lon() - from.lon()) + sway(random),
                                         from.lat() + t * (to.lat() - from.lat()) + sway(random));
                }
            }
    // Buildings stand in the blocks, a few to a block, about 15 m across.
    const std::int64_t blocks = std::int64_t{side - 1} * (side - 1);
    for (int b = 0; b < town.buildings; ++b) {
        const std::int64_t block = b % blocks;
        const int slot = static_cast<int>(b / blocks);
        const double lon = kLon + static_cast<double>(block % (side - 1)) * kStepLon +
                           kStepLon * (0.25 + 0.15 * (slot % 4));
        const double lat = kLat + static_cast<double>(block / (side - 1)) * kStepLat +
                           kStepLat * (0.25 + 0.15 * (slot / 4 % 4));
        const double dLon = 0.00018, dLat = 0.00014;
        const std::int64_t first = firstBuildingNode + 4LL * b;
        at[static_cast<std::size_t>(first)] = osmium::Location(lon, lat);
        at[static_cast<std::size_t>(first + 1)] = osmium::Location(lon + dLon, lat);
        at[static_cast<std::size_t>(first + 2)] = osmium::Location(lon + dLon, lat + dLat);
        at[static_cast<std::size_t>(first + 3)] = osmium::Location(lon, lat + dLat);
    }

    try {
        osmium::io::Header header;
        header.set("generator", "vantry_bench_streets");
        osmium::io::Writer writer(path, header, osmium::io::overwrite::allow);
        constexpr std::size_t kBufferBytes = std::size_t{4} << 20;
        osmium::memory::Buffer buffer(kBufferBytes, osmium::memory::Buffer::auto_grow::yes);
        const auto flushIfFull = [&] {
            if (buffer.committed() > kBufferBytes - 65536) {
                writer(std::move(buffer));
                buffer =
                    osmium::memory::Buffer(kBufferBytes, osmium::memory::Buffer::auto_grow::yes);
            }
        };
        // Nodes go out street by street, so that their ids come in no order at all.
        for (std::int64_t i = 0; i < nodeCount; ++i) {
            osmium::builder::add_node(buffer, attr::_id(ids[static_cast<std::size_t>(i)]),
                                      attr::_version(1), attr::_timestamp(std::time_t{1700000000}),
                                      attr::_location(at[static_cast<std::size_t>(i)]));
            flushIfFull();
        }
        Id wayId = 1;
        std::vector<Id> wayNodes;
        for (const bool column : {false, true})
            for (int street = 0; street < side; ++street) {
                const Tags tags = streetTags(column, street);
                for (int firstBlock = 0; firstBlock + 1 < side; firstBlock += town.blocksPerWay) {
                    const int lastBlock = std::min(firstBlock + town.blocksPerWay, side - 1);
                    const auto node = [&](int i) {
                        return ids[static_cast<std::size_t>(column ? corner(i, street)
                                                                   : corner(street, i))];
                    };
                    wayNodes.assign(1, node(firstBlock));
                    for (int block = firstBlock; block < lastBlock; ++block) {
                        for (int k = 0; k < town.bends; ++k)
                            wayNodes.push_back(
                                ids[static_cast<std::size_t>(bend(column, street, block, k))]);
                        wayNodes.push_back(node(block + 1));
                    }
                    osmium::builder::add_way(buffer, attr::_id(wayId++), attr::_version(1),
                                             attr::_timestamp(std::time_t{1700000000}),
                                             attr::_nodes(wayNodes), attr::_tags(tags));
                    flushIfFull();
                }
            }
        for (int b = 0; b < town.buildings; ++b) {
            const std::int64_t first = firstBuildingNode + 4LL * b;
            const auto id = [&](int k) { return ids[static_cast<std::size_t>(first + k)]; };
            osmium::builder::add_way(buffer, attr::_id(wayId++), attr::_version(1),
                                     attr::_timestamp(std::time_t{1700000000}),
                                     attr::_nodes({id(0), id(1), id(2), id(3), id(0)}),
                                     attr::_tag("building", "yes"));
            flushIfFull();
        }
        writer(std::move(buffer));
        writer.close();
    } catch (const std::exception& e) {
        why = "cannot write " + path + ": " + e.what();
        return false;
    }
    return true;
}

// What reading and populating a file made.
struct Populated {
    std::size_t chains = 0;
    std::size_t nodes = 0;
    std::size_t links = 0;
};

// Reads the file's street chains, adds them to a document's data and populates all of them into
// an empty network, as the Populate All command does after Load Street Data. The data and the
// network are kept in `tiger` and `net` so that freeing them is no part of the time.
bool readAndPopulate(const std::string& path, std::optional<TigerData>& tiger,
                     std::unique_ptr<Network>& net, Populated& made, std::string& why) {
    StreetRead read;
    if (!readStreetChains(path, "", StreetReadOptions{}, read, why))
        return false;
    made.chains = read.chains.size();
    tiger.emplace();
    if (!tiger->add(std::move(read.chains), &why))
        return false;
    net = std::make_unique<Network>();
    AutoPopulateAll(*net, tiger->store(), tiger->tigerOrigin(), PopulateOptions{});
    made.nodes = net->nodes().size();
    made.links = net->links().size();
    return true;
}

double processSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The time (wall clock, and the processor time of all threads) of reading and populating the
// OpenStreetMap file at path. A limit above zero is the most processor time one read and
// populate may take; the result is marked failed beyond it.
void readAndPopulateOsm(benchmark::State& state, const std::string& path, double cpuLimit) {
    std::optional<TigerData> tiger;
    std::unique_ptr<Network> net;
    Populated made;
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        tiger.reset();
        net.reset();
        state.ResumeTiming();
        const double start = processSeconds();
        std::string why;
        if (!readAndPopulate(path, tiger, net, made, why)) {
            state.SkipWithError(why.c_str());
            return;
        }
        cpu += processSeconds() - start;
    }
    state.counters["chains"] = static_cast<double>(made.chains);
    state.counters["nodes"] = static_cast<double>(made.nodes);
    state.counters["links"] = static_cast<double>(made.links);
    const double perRead = cpu / static_cast<double>(state.iterations());
    if (cpuLimit > 0 && perRead > cpuLimit) {
        const std::string message = "took " + std::to_string(perRead) + " s of processor time, " +
                                    "more than the " + std::to_string(cpuLimit) + " s allowed";
        state.SkipWithError(message.c_str());
    }
}

void BM_ReadEdges(benchmark::State& state) {
    for (auto _ : state) {
        StreetRead read;
        std::string why;
        if (!readStreetChains(gEdgesPath, "", {}, read, why))
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
        if (!readStreetChains(gEdgesPath, "", {}, read, why))
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

// A city's OpenStreetMap XML file: 90,000 nodes, 6,000 ways, 179,400 blocks.
void BM_PopulateOsmCity(benchmark::State& state) {
    readAndPopulateOsm(state, gCityPath, 0);
}
BENCHMARK(BM_PopulateOsmCity)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// A county's OpenStreetMap PBF file: a million nodes, about 96,000 blocks of streets among
// 117,000 buildings. Opening a county must take less than two seconds of processor time.
void BM_PopulateOsmCounty(benchmark::State& state) {
    readAndPopulateOsm(state, gCountyPath, 2.0);
}
BENCHMARK(BM_PopulateOsmCounty)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

// Writes the city and the county, into folder, under the names the benchmarks use.
bool writeOsmTowns(const fs::path& folder, std::string& why) {
    gCityPath = (folder / "city.osm").string();
    gCountyPath = (folder / "county.osm.pbf").string();
    return writeOsmTown(gCityPath, kCity, why) && writeOsmTown(gCountyPath, kCounty, why);
}

} // namespace

int main(int argc, char** argv) {
    constexpr std::string_view kWriteOsm = "--write-osm=";
    if (argc == 2 && std::string_view(argv[1]).starts_with(kWriteOsm)) {
        const fs::path folder(std::string_view(argv[1]).substr(kWriteOsm.size()));
        std::string why;
        if (!writeOsmTowns(folder, why)) {
            std::fprintf(stderr, "vantry_bench_streets: %s\n", why.c_str());
            return 1;
        }
        std::printf("%s\n%s\n", gCityPath.c_str(), gCountyPath.c_str());
        return 0;
    }
    std::error_code ec;
    std::string root = (fs::temp_directory_path(ec) / "vantry-bench-streets-XXXXXX").string();
    if (ec || mkdtemp(root.data()) == nullptr) {
        std::perror("vantry_bench_streets: cannot make a temporary folder");
        return 1;
    }
    gEdgesPath = (fs::path(root) / "tl_2023_01073_edges.shp").string();
    std::string why;
    if (!writeEdgesShapefile(gEdgesPath, kEdgeCount, why) || !writeOsmTowns(root, why)) {
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
