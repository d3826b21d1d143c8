#include "streetfiles.h"
#include "streets/linekinds.h"
#include "streets/linesplitter.h"
#include "streets/streetreader.h"
#include "streets/streetrules.h"
#include "streets/trafficfields.h"
#include "support/testdir.h"
#include "tiger/autopopulate.h"
#include "tiger/tiger_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cpl_conv.h>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include <sys/stat.h>

namespace vantry {

namespace {

using street_test::at;
using street_test::LineFeature;
using street_test::OsmFile;
using street_test::pointsOf;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using Tags = std::vector<std::pair<std::string, std::string>>;

const LinkDefaults kDefaults{3, 1500, 40, 200};

StreetRead readAll(const std::string& path, const std::string& layer = "", bool railways = false) {
    StreetReadOptions options;
    options.railways = railways;
    StreetRead read;
    std::string why;
    EXPECT_TRUE(readStreetChains(path, layer, options, read, why)) << why;
    return read;
}

// Why a read fails; a failed read gives no chains and was not cancelled.
std::string refusal(const std::string& path, const std::string& layer = "") {
    StreetRead read;
    std::string why;
    EXPECT_FALSE(readStreetChains(path, layer, {}, read, why));
    EXPECT_TRUE(read.chains.empty());
    EXPECT_FALSE(read.cancelled);
    return why;
}

// The chains of one source feature, in the order they were cut.
std::vector<const TigerChain*> chainsOf(const StreetRead& read, std::int64_t id) {
    std::vector<const TigerChain*> out;
    for (const TigerChain& c : read.chains)
        if (c.sourceId == id)
            out.push_back(&c);
    return out;
}

// ---- OpenStreetMap ----------------------------------------------------------------------------

TEST(OsmStreets, WaysAreCutWhereTheyShareANodeWithAnotherRoadOnly) {
    TestDir dir;
    const std::map<long long, std::pair<double, double>> nodes = {
        {1, {-84.400, 33.750}}, {2, {-84.399, 33.750}}, {3, {-84.398, 33.750}},
        {8, {-84.397, 33.750}}, {4, {-84.399, 33.751}}, {5, {-84.399, 33.749}},
        {6, {-84.398, 33.751}}};
    OsmFile osm;
    for (const auto& [id, p] : nodes)
        osm.node(id, p.first, p.second);
    osm.way(10, {1, 2, 3, 8}, {{"highway", "residential"}, {"name", "Elm St"}})
        .way(11, {4, 2, 5}, {{"highway", "primary"}, {"ref", "US 19"}})
        .way(12, {6, 3}, {{"highway", "footway"}});
    osm.write(dir.file("town.osm"));
    const StreetRead read = readAll(dir.file("town.osm"));
    EXPECT_EQ(read.schema, StreetSchema::OpenStreetMap);
    EXPECT_EQ(read.features, 3u);
    const auto p = [&](long long id) { return at(nodes.at(id).first, nodes.at(id).second); };

    // Cut at node 2, which the primary road shares; not at node 3, where only a footway meets it.
    const auto elm = chainsOf(read, 10);
    ASSERT_EQ(elm.size(), 2u);
    EXPECT_EQ(pointsOf(*elm[0]), (std::vector<TigerPoint>{p(1), p(2)}));
    EXPECT_EQ(pointsOf(*elm[1]), (std::vector<TigerPoint>{p(2), p(3), p(8)}));
    EXPECT_EQ(elm[1]->description, "Elm St");
    const auto main = chainsOf(read, 11);
    ASSERT_EQ(main.size(), 2u);
    EXPECT_EQ(pointsOf(*main[0]), (std::vector<TigerPoint>{p(4), p(2)}));
    EXPECT_EQ(pointsOf(*main[1]), (std::vector<TigerPoint>{p(2), p(5)}));
    EXPECT_EQ(main[0]->description, "US 19") << "the ref stands in for a missing name";
    const auto path = chainsOf(read, 12);
    ASSERT_EQ(path.size(), 1u);
    EXPECT_EQ(path[0]->traffic, ChainTraffic::None);
}

// Each way on its own, from the file through its chain to its links: the traffic rule, and the
// lanes, speed and name of the link each way (east as drawn, west against it). Lanes and speeds
// the tags do not give, capacity and jam density come from the road's class (a speed of 0 here).
TEST(OsmStreets, TagsGiveEachWayItsLinksLanesSpeedsAndName) {
    struct Case {
        const char* tags; // key=value,key=value
        ChainTraffic traffic;
        std::int32_t lanesEast, lanesWest, speedEast = 0, speedWest = 0;
        std::string name = "";
    };
    const ChainTraffic two = ChainTraffic::TwoWay, fwd = ChainTraffic::Forward,
                       back = ChainTraffic::Backward, none = ChainTraffic::None;
    const std::vector<Case> cases = {
        {"highway=residential", two, 1, 1},
        {"highway=residential,oneway=yes", fwd, 1, 0},
        {"highway=residential,oneway=true", fwd, 1, 0},
        {"highway=residential,oneway=1", fwd, 1, 0},
        {"highway=residential,oneway=-1", back, 0, 1},
        {"highway=residential,oneway=reverse", back, 0, 1},
        {"highway=motorway", fwd, 2, 0},
        {"highway=motorway,oneway=no", two, 2, 2},
        {"highway=motorway_link", fwd, 1, 0},
        {"highway=trunk_link", two, 1, 1},
        {"highway=tertiary,junction=roundabout", fwd, 1, 0},
        {"highway=tertiary,junction=roundabout,oneway=no", two, 1, 1},
        {"highway=trunk", two, 2, 2},
        {"highway=primary", two, 2, 2},
        {"highway=secondary", two, 1, 1},
        {"highway=secondary,lanes=4", two, 2, 2},
        {"highway=secondary,lanes=5", two, 3, 2},
        {"highway=primary,lanes=1", two, 1, 1},
        {"highway=primary,lanes=3,oneway=yes", fwd, 3, 0},
        {"highway=primary,lanes=2,oneway=-1", back, 0, 2},
        {"highway=secondary,lanes:forward=2,lanes:backward=1", two, 2, 1},
        {"highway=secondary,lanes=3,lanes:forward=2", two, 2, 1},
        {"highway=primary,lanes=3,lanes:backward=2", two, 1, 2},
        {"highway=secondary,lanes=2;3", two, 1, 1},
        {"highway=motorway,lanes=4", fwd, 4, 0},
        {"highway=primary,maxspeed=45 mph,name=Peachtree", two, 2, 2, 45, 45, "Peachtree"},
        {"highway=primary,maxspeed=50,ref=SR 9", two, 2, 2, 31, 31, "SR 9"},
        {"highway=primary,maxspeed=signals", two, 2, 2},
        {"highway=secondary,maxspeed=DE:urban", two, 1, 1, 31, 31},
        {"highway=motorway,maxspeed=none", fwd, 2, 0},
        {"highway=primary,maxspeed:forward=45 mph,maxspeed:backward=35 mph", two, 2, 2, 45, 35},
        {"highway=primary,maxspeed=40 mph,maxspeed:backward=30 mph", two, 2, 2, 40, 30},
        {"highway=service,access=private", none, 0, 0},
        {"highway=residential,motor_vehicle=no", none, 0, 0},
        {"highway=residential,access=no,motor_vehicle=yes", two, 1, 1},
        {"highway=residential,access=destination", two, 1, 1},
        {"highway=construction", none, 0, 0},
        {"highway=residential,area=yes", none, 0, 0},
    };
    TestDir dir;
    OsmFile osm;
    // Each way a thousandth of a degree north of the one before, so that none meets another.
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const double lat = 33.70 + 0.001 * static_cast<double>(i);
        osm.node(2 * i + 1, -84.40, lat).node(2 * i + 2, -84.39, lat);
        osm.way(100 + i, {static_cast<long long>(2 * i + 1), static_cast<long long>(2 * i + 2)},
                cases[i].tags);
    }
    osm.write(dir.file("rules.osm"));
    const StreetRead read = readAll(dir.file("rules.osm"));
    ASSERT_EQ(read.chains.size(), cases.size());
    TigerData tiger;
    ASSERT_TRUE(tiger.add(read.chains));
    Network net;
    ASSERT_TRUE(AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), kDefaults));

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.tags);
        const auto chains = chainsOf(read, static_cast<std::int64_t>(100 + i));
        ASSERT_EQ(chains.size(), 1u);
        EXPECT_EQ(chains[0]->traffic, c.traffic);
        const std::string tags = c.tags; // highway=... first
        const RoadClassInfo* cls = findRoadClass(tags.substr(8, tags.find(',') - 8));
        const float y = tiger.TigerToWorld(chains[0]->start).y;
        std::int32_t lanes[2] = {0, 0}; // east, west
        for (const Link* l : net.links()) {
            if (l->fromNode()->y() != y)
                continue;
            const bool east = l->toNode()->x() > l->fromNode()->x();
            lanes[east ? 0 : 1] = l->numLanes();
            ASSERT_NE(cls, nullptr);
            const std::int32_t speed = east ? c.speedEast : c.speedWest;
            EXPECT_EQ(l->ffSpeed(), speed ? speed : cls->defaults.speed) << east;
            EXPECT_EQ(l->description(), c.name);
            EXPECT_EQ(l->capacity(), cls->defaults.capacity);
            EXPECT_EQ(l->jamDensity(), cls->defaults.jamDensity);
        }
        EXPECT_EQ(lanes[0], c.lanesEast);
        EXPECT_EQ(lanes[1], c.lanesWest);
    }
}

TEST(OsmStreets, MaxspeedTextsTurnIntoWholeMilesPerHour) {
    const std::tuple<const char*, std::int32_t> cases[] = {
        {"45 mph", 45},  {"45mph", 45}, {"50", 31},      {"100", 62},      {"30 km/h", 19},
        {"80 kmh", 50},  {"none", 0},   {"walk", 5},     {"", 0},          {"RU:urban", 37},
        {"XX:urban", 0}, {"-20", 0},    {"20 knots", 0}, {"DE:rural", 62}, {"GB:nsl_single", 60},
        {"50;30", 31}};
    for (const auto& [text, mph] : cases)
        EXPECT_EQ(speedFromMaxspeed(text), mph) << text;
}

TEST(OsmStreets, OnlyStreetsAndWaterAreReadAndRailwaysWhenAskedFor) {
    TestDir dir;
    OsmFile osm;
    const std::vector<const char*> drawn = {"highway=footway", "highway=cycleway", "highway=path",
                                            "highway=track",   "highway=steps",    "waterway=river",
                                            "natural=water",   "natural=coastline"};
    // Lines that are neither streets nor water: never read, however far they reach.
    const std::vector<const char*> others = {
        "power=line",   "barrier=wall",      "barrier=fence",     "highway=proposed",
        "waterway=dam", "man_made=pipeline", "railway=abandoned", "railway=rail"};
    long long id = 0;
    const auto add = [&](const std::vector<const char*>& ways, double lon) {
        for (const char* tags : ways) {
            const double lat = 33.70 + 0.001 * static_cast<double>(id);
            osm.node(2 * id + 1, lon, lat).node(2 * id + 2, lon + 0.01, lat);
            osm.way(id + 1, {2 * id + 1, 2 * id + 2}, tags);
            ++id;
        }
    };
    add(drawn, -84.40);
    add(others, -85.40);
    osm.write(dir.file("others.osm"));
    const StreetRead read = readAll(dir.file("others.osm"));
    EXPECT_EQ(read.skipped, others.size());
    EXPECT_EQ(read.others, others.size());
    ASSERT_EQ(read.chains.size(), drawn.size());
    for (const TigerChain& c : read.chains)
        EXPECT_EQ(c.traffic, ChainTraffic::None) << c.sourceClass;
    EXPECT_EQ(read.chains.back().cfcc, "H11") << "natural water is drawn as water";
    TigerData tiger;
    ASSERT_TRUE(tiger.add(read.chains));
    EXPECT_LT(tiger.tigerExtent().width(), 1.0f) << "the lines a degree away are not drawn";
    Network net;
    EXPECT_FALSE(AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), kDefaults));
    EXPECT_TRUE(net.nodes().empty());

    // Asked for, railway tracks are drawn, but never become links; a railway long gone is not.
    const StreetRead withRails = readAll(dir.file("others.osm"), "", true);
    ASSERT_EQ(withRails.chains.size(), drawn.size() + 1);
    EXPECT_EQ(withRails.chains.back().cfcc, "B11");
    EXPECT_EQ(withRails.chains.back().traffic, ChainTraffic::None);
    EXPECT_EQ(withRails.chains.back().sourceClass, "railway=rail");

    // A file of nothing else says so.
    OsmFile fences;
    fences.node(1, -84.40, 33.70).node(2, -84.39, 33.70).way(1, {1, 2}, "power=line");
    fences.write(dir.file("fences.osm"));
    EXPECT_THAT(refusal(dir.file("fences.osm")), HasSubstr("street or water"));
}

TEST(OsmStreets, AWayClosingOnItselfIsCutSoThatItCanBecomeLinks) {
    TestDir dir;
    OsmFile osm;
    osm.node(1, -84.400, 33.750).node(2, -84.399, 33.750).node(3, -84.399, 33.751);
    osm.node(4, -84.400, 33.751);
    osm.way(7, {1, 2, 3, 4, 1}, "highway=tertiary,junction=roundabout");
    osm.write(dir.file("loop.osm"));
    TigerData tiger;
    ASSERT_TRUE(tiger.add(readAll(dir.file("loop.osm")).chains));
    EXPECT_EQ(tiger.store().chains().size(), 2u);
    Network net;
    ASSERT_TRUE(AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), kDefaults));
    EXPECT_EQ(net.nodes().size(), 2u);
    EXPECT_EQ(net.links().size(), 2u) << "one each way round, as the roundabout runs";
}

TEST(OsmStreets, ProgressRisesToTheEndAndAReadStopsWhenItIsCancelled) {
    TestDir dir;
    OsmFile osm;
    osm.node(1, -84.40, 33.75).node(2, -84.39, 33.75);
    osm.way(1, {1, 2}, {{"highway", "residential"}});
    osm.write(dir.file("one.osm"));
    std::vector<double> reported;
    const auto record = [&](double f) {
        reported.push_back(f);
        return true;
    };
    StreetRead read;
    std::string why;
    ASSERT_TRUE(readStreetChains(dir.file("one.osm"), "", {}, read, why, record)) << why;
    ASSERT_FALSE(reported.empty());
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    EXPECT_EQ(reported.back(), 1.0);

    // Cancelled at the first report.
    EXPECT_FALSE(
        readStreetChains(dir.file("one.osm"), "", {}, read, why, [](double) { return false; }));
    EXPECT_TRUE(read.cancelled);
    EXPECT_TRUE(read.chains.empty());
    EXPECT_THAT(why, HasSubstr("cancelled"));
}

// A small town: Elm St crossed by a one-way primary road and a secondary one, a footway, a
// building and a railway, with the ids the file gives its nodes and ways.
OsmFile town(const std::function<long long(long long)>& nodeId,
             const std::function<long long(long long)>& wayId) {
    const std::pair<double, double> places[] = {
        {-84.400, 33.750},   {-84.399, 33.750},   {-84.398, 33.750},   {-84.397, 33.750},
        {-84.399, 33.751},   {-84.399, 33.749},   {-84.398, 33.752},   {-84.398, 33.749},
        {-84.3975, 33.7485}, {-84.3970, 33.7480}, {-84.4005, 33.7505}, {-84.4004, 33.7505},
        {-84.4004, 33.7506}, {-84.401, 33.748},   {-84.396, 33.748}};
    OsmFile osm;
    for (long long n = 1; n <= 15; ++n)
        osm.node(nodeId(n), places[n - 1].first, places[n - 1].second);
    const auto way = [&](long long id, std::vector<long long> refs, const Tags& tags) {
        for (long long& r : refs)
            r = nodeId(r);
        osm.way(wayId(id), refs, tags);
    };
    way(10, {1, 2, 3, 4}, {{"highway", "residential"}, {"name", "Elm St"}});
    way(11, {5, 2, 6}, {{"highway", "primary"}, {"oneway", "yes"}});
    way(12, {7, 3, 8, 9}, {{"highway", "secondary"}, {"maxspeed", "30 mph"}});
    way(13, {9, 10}, {{"highway", "footway"}});
    way(14, {11, 12, 13, 11}, {{"building", "yes"}});
    way(15, {14, 15}, {{"railway", "rail"}});
    return osm;
}

long long same(long long id) {
    return id;
}

// Each chain in words (its points, traffic, lanes, speed and name), to compare reads of one
// network from different files; the source ids are compared on their own.
std::vector<std::string> described(const StreetRead& read) {
    std::vector<std::string> out;
    for (const TigerChain& c : read.chains) {
        std::string text;
        for (const TigerPoint& p : pointsOf(c))
            text += std::to_string(p.latitude) + "," + std::to_string(p.longitude) + " ";
        text += std::to_string(static_cast<int>(c.traffic)) + " " + std::to_string(c.lanesForward) +
                "/" + std::to_string(c.lanesBackward) + " " + std::to_string(c.speedForward) + " " +
                c.description;
        out.push_back(text);
    }
    return out;
}

std::vector<std::int64_t> sourceIds(const StreetRead& read) {
    std::vector<std::int64_t> ids;
    for (const TigerChain& c : read.chains)
        ids.push_back(c.sourceId);
    return ids;
}

TEST(OsmStreets, NodesInAnyIdOrderBeforeOrAfterTheWaysAndIdsOfAnySignReadTheSame) {
    TestDir dir;
    town(same, same).write(dir.file("town.osm"));
    const StreetRead base = readAll(dir.file("town.osm"));
    EXPECT_EQ(base.layer, "lines");
    EXPECT_EQ(base.features, 6u);
    EXPECT_EQ(base.lines, 4u);
    EXPECT_EQ(base.skipped, 2u) << "the building, and the railway nobody asked for";
    EXPECT_EQ(sourceIds(base), (std::vector<std::int64_t>{10, 10, 10, 11, 11, 12, 12, 13}));

    // Ids beyond 32 bits with gaps between them, as a download has them; everything new,
    // numbered -1, -2, ... as an editor saves it; new ways over a mix of new nodes and uploaded
    // ones.
    using Id = std::function<long long(long long)>;
    const Id big = [](long long n) { return 4'000'000'000 + 37 * n; };
    const Id negated = [](long long n) { return -n; };
    const Id mixed = [](long long n) { return n % 2 ? -n : n; };
    using Order = street_test::OsmOrder;
    const struct {
        Id nodeId, wayId;
        street_test::OsmLayout layout;
    } cases[] = {{big, same, {Order::Ascending, false}}, {big, same, {Order::Descending, false}},
                 {big, same, {Order::Shuffled, false}},  {big, same, {Order::Ascending, true}},
                 {big, same, {Order::Shuffled, true}},   {negated, negated, {Order::Descending}},
                 {mixed, negated, {Order::Descending}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "node " << c.nodeId(1) << ", way " << c.wayId(10)
                                          << ", order " << static_cast<int>(c.layout.nodes)
                                          << (c.layout.waysFirst ? ", ways first" : ""));
        town(c.nodeId, c.wayId).write(dir.file("other.osm"), c.layout);
        const StreetRead read = readAll(dir.file("other.osm"));
        EXPECT_EQ(described(read), described(base));
        std::vector<std::int64_t> ids = sourceIds(base);
        for (std::int64_t& id : ids)
            id = c.wayId(id);
        EXPECT_EQ(sourceIds(read), ids);
    }
}

TEST(OsmStreets, PbfCompressedAndUnnamedFilesReadAsTheXmlTheyHold) {
    TestDir dir;
    town(same, same).write(dir.file("town.osm"), {street_test::OsmOrder::Shuffled, true});
    const std::vector<std::string> expected = described(readAll(dir.file("town.osm")));
    street_test::convertOsm(dir.file("town.osm"), dir.file("town.osm.pbf"));
    street_test::convertOsm(dir.file("town.osm"), dir.file("town.osm.bz2"));
    street_test::convertOsm(dir.file("town.osm"), dir.file("town.osm.gz"));
    std::filesystem::copy_file(dir.file("town.osm.pbf"), dir.file("TOWN.PBF"));
    // Downloads saved under the name of the service, known by their first bytes.
    std::filesystem::copy_file(dir.file("town.osm"), dir.file("interpreter"));
    std::filesystem::copy_file(dir.file("town.osm.pbf"), dir.file("extract"));
    for (const char* name :
         {"town.osm.pbf", "town.osm.bz2", "town.osm.gz", "TOWN.PBF", "interpreter", "extract"}) {
        SCOPED_TRACE(name);
        std::vector<std::string> layers;
        std::string why;
        ASSERT_TRUE(listStreetLayers(dir.file(name), layers, why)) << why;
        EXPECT_EQ(layers, std::vector<std::string>{"lines"});
        const StreetRead read = readAll(dir.file(name), "lines");
        EXPECT_EQ(read.schema, StreetSchema::OpenStreetMap);
        EXPECT_EQ(described(read), expected);
    }

    // Other XML, such as a GPS track, stays with the layer reader.
    spit(dir.file("walk.gpx"), R"(<?xml version="1.0"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1"><trk><trkseg>
<trkpt lat="33.75" lon="-84.40"/><trkpt lat="33.76" lon="-84.39"/></trkseg></trk></gpx>
)");
    std::vector<std::string> layers;
    std::string why;
    ASSERT_TRUE(listStreetLayers(dir.file("walk.gpx"), layers, why)) << why;
    EXPECT_NE(std::find(layers.begin(), layers.end(), "tracks"), layers.end());
    EXPECT_EQ(readAll(dir.file("walk.gpx"), "tracks").schema, StreetSchema::Lines);
}

TEST(OsmStreets, DamagedFilesSayWhichFileAndWhatIsWrong) {
    TestDir dir;
    const std::string xml = town(same, same).text();
    town(same, same).write(dir.file("town.osm"));
    street_test::convertOsm(dir.file("town.osm"), dir.file("town.osm.pbf"));
    const std::string pbf = slurp(dir.file("town.osm.pbf"));
    std::string garbage(400, '\0');
    std::mt19937 random(7);
    for (char& c : garbage)
        c = static_cast<char>(random());
    spit(dir.file("cut.osm"), xml.substr(0, xml.size() / 2));
    spit(dir.file("cut.osm.pbf"), pbf.substr(0, pbf.size() / 2));
    spit(dir.file("garbage.osm.pbf"), garbage);
    spit(dir.file("garbage.osm.bz2"), "BZh9" + garbage);
    spit(dir.file("header.osm.pbf"), pbf.substr(0, 15) + garbage);
    spit(dir.file("gpx.osm"), "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\"></gpx>\n");
    for (const char* name : {"cut.osm", "cut.osm.pbf", "garbage.osm.pbf", "garbage.osm.bz2",
                             "header.osm.pbf", "gpx.osm"}) {
        SCOPED_TRACE(name);
        EXPECT_THAT(
            refusal(dir.file(name)),
            AllOf(HasSubstr("Cannot read \"" + dir.file(name) + "\""), HasSubstr("damaged")));
    }
    // Listing reads only the start of the file, which is enough to refuse most.
    std::vector<std::string> layers;
    std::string why;
    EXPECT_FALSE(listStreetLayers(dir.file("garbage.osm.pbf"), layers, why));
    EXPECT_THAT(why, HasSubstr("garbage.osm.pbf\""));
}

TEST(OsmStreets, AWayCutAtTheEdgeOfAnExtractKeepsTheNodesTheFileHolds) {
    TestDir dir;
    OsmFile osm;
    osm.node(1, -84.400, 33.750).node(2, -84.399, 33.750).node(3, -84.398, 33.750);
    osm.node(4, -84.3970004, 33.7500006).node(5, -84.399, 33.751).node(6, -84.399, 33.749);
    // Node 7 lies where node 3 does, on a bridge: a road from it meets nothing.
    osm.node(7, -84.398, 33.750).node(8, -84.398, 33.752);
    // Nodes 90 to 99 lie beyond the extract.
    osm.way(1, {1, 99, 2, 3, 4}, {{"highway", "residential"}})
        .way(2, {5, 2, 6}, {{"highway", "residential"}})
        .way(3, {7, 7, 8}, {{"highway", "residential"}})
        .way(4, {98, 97}, {{"highway", "residential"}})
        .way(5, {4, 96}, {{"highway", "residential"}})
        .way(6, {1, 2, 3, 1}, {{"building", "yes"}})
        .way(7, {5, 5}, {{"highway", "residential"}});
    osm.write(dir.file("extract.osm"));
    const StreetRead read = readAll(dir.file("extract.osm"));
    EXPECT_EQ(read.features, 7u);
    EXPECT_EQ(read.lines, 3u);
    EXPECT_EQ(read.skipped, 4u);
    EXPECT_EQ(read.broken, 2u) << "the ways left short by missing nodes only";
    const TigerPoint p1 = at(-84.400, 33.750), p2 = at(-84.399, 33.750), p3 = at(-84.398, 33.750),
                     p4 = at(-84.3970004, 33.7500006), p8 = at(-84.398, 33.752);
    // Cut where the crossing road shares the node after the missing one, and not on the bridge.
    const auto first = chainsOf(read, 1);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(pointsOf(*first[0]), (std::vector<TigerPoint>{p1, p2}));
    EXPECT_EQ(pointsOf(*first[1]), (std::vector<TigerPoint>{p2, p3, p4}));
    const auto bridge = chainsOf(read, 3);
    ASSERT_EQ(bridge.size(), 1u);
    EXPECT_EQ(pointsOf(*bridge[0]), (std::vector<TigerPoint>{p3, p8})) << "node 7 once";
}

// ---- TIGER/Line shapefiles and other layers ---------------------------------------------------

TEST(ShapefileStreets, MtfccDecidesWhatIsARoadItsLanesAndItsDirection) {
    struct Case {
        const char* mtfcc;
        ChainTraffic traffic;
        const char* roadClass;
        const char* serviceKind;
    };
    const ChainTraffic two = ChainTraffic::TwoWay, none = ChainTraffic::None;
    // The last two are left out: rail (unless asked for) and a boundary.
    const Case cases[] = {{"S1100", two, "motorway", ""},
                          {"S1200", two, "primary", ""},
                          {"S1400", two, "residential", ""},
                          {"S1630", ChainTraffic::Forward, "motorway_link", ""},
                          {"S1640", two, "service", ""},
                          {"S1730", two, "service", "alley"},
                          {"S1780", two, "service", "parking_aisle"},
                          {"S1500", none, "", ""},
                          {"S1710", none, "", ""},
                          {"S1720", none, "", ""},
                          {"S1740", none, "", ""},
                          {"S1820", none, "", ""},
                          {"S1830", none, "", ""},
                          {"H3010", none, "", ""},
                          {"R1011", none, "", ""},
                          {"L4010", none, "", ""}};
    const std::size_t kept = std::size(cases) - 2;
    std::vector<LineFeature> features;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const double lat = 33.70 + 0.001 * static_cast<double>(i);
        features.push_back({{{-84.40, lat}, {-84.395, lat + 0.0002}, {-84.39, lat}},
                            {{"TLID", std::to_string(5000 + i)},
                             {"MTFCC", cases[i].mtfcc},
                             {"FULLNAME", "Road " + std::to_string(i)}}});
    }
    TestDir dir;
    street_test::writeShapefile(dir.file("tl_2023_13121_edges.shp"), 4269,
                                {"TLID", "MTFCC", "FULLNAME"}, features);
    const StreetRead read = readAll(dir.file("tl_2023_13121_edges.shp"));
    EXPECT_EQ(read.schema, StreetSchema::TigerLine);
    EXPECT_EQ(read.others, 2u);
    ASSERT_EQ(read.chains.size(), kept);
    EXPECT_EQ(read.chains.back().cfcc, "H11");
    const StreetRead withRails = readAll(dir.file("tl_2023_13121_edges.shp"), "", true);
    ASSERT_EQ(withRails.chains.size(), kept + 1);
    EXPECT_EQ(withRails.chains.back().cfcc, "B11");
    for (std::size_t i = 0; i < kept; ++i) {
        const TigerChain& c = read.chains[i];
        SCOPED_TRACE(cases[i].mtfcc);
        EXPECT_EQ(c.sourceId, static_cast<std::int64_t>(5000 + i));
        EXPECT_EQ(c.sourceClass, cases[i].mtfcc);
        EXPECT_EQ(c.traffic, cases[i].traffic);
        EXPECT_EQ(c.roadClass, cases[i].roadClass);
        EXPECT_EQ(c.serviceKind, cases[i].serviceKind);
        EXPECT_EQ(c.description, "Road " + std::to_string(i));
        EXPECT_EQ(c.shapePoints.size(), 1u);
    }
}

TEST(ShapefileStreets, AProjectedLayerLandsWhereItsLongitudeLatitudeTwinLands) {
    const std::vector<std::pair<double, double>> lonLat = {
        {-84.40, 33.75}, {-84.3912345, 33.7587654}, {-84.38, 33.77}};
    std::vector<std::pair<double, double>> utm;
    for (const auto& [lon, lat] : lonLat)
        utm.push_back(street_test::projected(32616, lon, lat));
    TestDir dir;
    street_test::writeShapefile(dir.file("geographic.shp"), 4326, {"MTFCC"},
                                {{lonLat, {{"MTFCC", "S1400"}}}});
    street_test::writeShapefile(dir.file("utm.shp"), 32616, {"MTFCC"},
                                {{utm, {{"MTFCC", "S1400"}}}});
    street_test::writeShapefile(dir.file("unnamed.shp"), 0, {"MTFCC"},
                                {{lonLat, {{"MTFCC", "S1400"}}}});
    TigerData a, b, c;
    ASSERT_TRUE(a.add(readAll(dir.file("geographic.shp")).chains));
    ASSERT_TRUE(b.add(readAll(dir.file("utm.shp")).chains));
    ASSERT_TRUE(c.add(readAll(dir.file("unnamed.shp")).chains));
    ASSERT_EQ(a.worldPoints().size(), 3u);
    ASSERT_EQ(b.worldPoints().size(), 3u);
    EXPECT_EQ(a.tigerOrigin(), at(-84.40, 33.75));
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(a.worldPoints()[i].x, b.worldPoints()[i].x, 0.0002) << i;
        EXPECT_NEAR(a.worldPoints()[i].y, b.worldPoints()[i].y, 0.0002) << i;
        EXPECT_EQ(a.worldPoints()[i], c.worldPoints()[i]) << "no system: longitude and latitude";
    }
}

TEST(ShapefileStreets, CoordinatesWithoutASystemThatCannotBeDegreesAreRefused) {
    TestDir dir;
    const std::string path = dir.file("meters.shp");
    street_test::writeShapefile(path, 0, {"MTFCC"},
                                {{{{741000, 3738000}, {742000, 3739000}}, {{"MTFCC", "S1400"}}}});
    EXPECT_THAT(refusal(path), AllOf(HasSubstr(path), HasSubstr("no coordinate system")));
}

TEST(LayerStreets, AnyLineLayerGivesLanesDirectionSpeedAndNameFromItsFields) {
    TestDir dir;
    const std::string path = dir.file("county.geojson");
    spit(path, R"({"type":"FeatureCollection","features":[
{"type":"Feature","properties":{"LANES":"4","OneWay":"no","MaxSpeed":"35 mph","FULLNAME":"Ponce de Leon Ave"},
 "geometry":{"type":"LineString","coordinates":[[-84.40,33.77],[-84.39,33.77]]}},
{"type":"Feature","properties":{"LANES":"2","OneWay":"yes","MaxSpeed":"60","FULLNAME":"Ramp"},
 "geometry":{"type":"MultiLineString","coordinates":[[[-84.40,33.78],[-84.39,33.78]],[[-84.38,33.78],[-84.37,33.78]]]}},
{"type":"Feature","properties":{"FULLNAME":"Point"},"geometry":{"type":"Point","coordinates":[-84.4,33.7]}}
]})");
    const StreetRead read = readAll(path);
    EXPECT_EQ(read.schema, StreetSchema::Lines);
    EXPECT_EQ(read.features, 3u);
    EXPECT_EQ(read.skipped, 1u) << "the point";
    ASSERT_EQ(read.chains.size(), 3u) << "each part of a multi-line is a line";
    EXPECT_EQ(read.chains[0].traffic, ChainTraffic::TwoWay);
    EXPECT_EQ(read.chains[0].lanesForward, 2);
    EXPECT_EQ(read.chains[0].lanesBackward, 2);
    EXPECT_EQ(read.chains[0].speedForward, 35);
    EXPECT_EQ(read.chains[0].description, "Ponce de Leon Ave");
    for (int i : {1, 2}) {
        EXPECT_EQ(read.chains[i].traffic, ChainTraffic::Forward);
        EXPECT_EQ(read.chains[i].lanesForward, 2);
        EXPECT_EQ(read.chains[i].speedForward, 60) << "a layer not from OpenStreetMap: mph";
    }
}

TEST(LayerStreets, AFileWithSeveralLineLayersNamesThemAndReadsTheOneAskedFor) {
    TestDir dir;
    const std::string path = dir.file("city.gpkg");
    {
        street_test::Dataset ds = street_test::createDataset("GPKG", path);
        ASSERT_NE(ds, nullptr);
        street_test::addLineLayer(*ds, "streets", 4326, {"name"},
                                  {{{{-84.40, 33.75}, {-84.39, 33.75}}, {{"name", "Elm"}}}});
        const std::vector<LineFeature> rails = {
            {{{-84.40, 33.76}, {-84.39, 33.76}}, {{"name", "Belt"}}},
            {{{-84.40, 33.77}, {-84.39, 33.77}}, {{"name", "Loop"}}}};
        street_test::addLineLayer(*ds, "rails", 4326, {"name"}, rails);
        OGRSpatialReference srs;
        srs.SetWellKnownGeogCS("WGS84");
        ASSERT_NE(ds->CreateLayer("stops", &srs, wkbPoint, nullptr), nullptr);
    }
    std::vector<std::string> layers;
    std::string why;
    ASSERT_TRUE(listStreetLayers(path, layers, why)) << why;
    EXPECT_EQ(layers, (std::vector<std::string>{"streets", "rails"}));

    EXPECT_THAT(refusal(path), HasSubstr("streets, rails"));
    EXPECT_THAT(refusal(path, "stops"), HasSubstr(path));
    EXPECT_EQ(readAll(path, "rails").chains.size(), 2u);
    EXPECT_EQ(readAll(path, "streets").chains.at(0).description, "Elm");
}

TEST(LayerStreets, FilesThatHoldNoStreetsSayWhichFileAndWhy) {
    TestDir dir;
    spit(dir.file("empty.osm"), "");
    spit(dir.file("garbage.shp"), std::string(300, '\x07'));
    spit(dir.file("nodes.osm"), OsmFile().node(1, -84.4, 33.7).text());
    std::filesystem::create_directories(dir.file("folder.gpkg"));
    // {file, what the message says of it}
    const std::pair<const char*, const char*> cases[] = {{"missing.osm", "no such file"},
                                                         {"empty.osm", "the file is empty"},
                                                         {"garbage.shp", "as street data"},
                                                         {"nodes.osm", "holds no lines"},
                                                         {"folder.gpkg", "a folder, not a file"}};
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        EXPECT_THAT(refusal(dir.file(name)),
                    AllOf(HasSubstr("\"" + dir.file(name) + "\""), HasSubstr(reason)));
    }
    // GDAL reads record files too, but they are the record reader's.
    const std::string rt2 = std::string(VANTRY_TEST_DATA) + "/tiger/TGR99001.RT2";
    EXPECT_THAT(refusal(rt2), HasSubstr(rt2 + "\" is a TIGER/Line record file"));
}

// OpenStreetMap data as GIS programs convert it: a highway field empty on every line that is
// not a highway, and a power line and garden walls a mile from the streets.
TEST(LayerStreets, OpenStreetMapLinesOfALayerKeepTheirStreetsAndWaterOnly) {
    TestDir dir;
    std::string features;
    const auto feature = [&](const std::string& properties, double lon, double lat) {
        features += std::string(features.empty() ? "" : ",\n") +
                    R"({"type":"Feature","properties":{)" + properties +
                    R"(},"geometry":{"type":"LineString","coordinates":[[)" + std::to_string(lon) +
                    "," + std::to_string(lat) + "],[" + std::to_string(lon + 0.005) + "," +
                    std::to_string(lat) + "]]}}";
    };
    feature(R"("osm_id":"1","highway":"residential","name":"Elm St")", -84.400, 33.750);
    feature(R"("osm_id":"2","highway":"footway")", -84.400, 33.751);
    feature(R"("osm_id":"3","highway":null,"waterway":"stream")", -84.400, 33.752);
    feature(R"("osm_id":"4","highway":null,"other_tags":"\"power\"=>\"line\"")", -84.380, 33.700);
    for (int i = 0; i < 13; ++i)
        feature(R"("osm_id":")" + std::to_string(10 + i) + R"(","highway":null,"barrier":"wall")",
                -84.42, 33.73 + 0.001 * i);
    feature(R"("osm_id":"30","highway":null,"railway":"rail")", -84.400, 33.753);
    spit(dir.file("lines.geojson"),
         "{\"type\":\"FeatureCollection\",\"features\":[\n" + features + "]}");

    const StreetRead read = readAll(dir.file("lines.geojson"));
    std::vector<std::string> classes;
    for (const TigerChain& c : read.chains)
        classes.push_back(c.cfcc + " " + c.sourceClass);
    EXPECT_EQ(classes,
              (std::vector<std::string>{"A41 residential", "A71 footway", "H11 waterway=stream"}));
    EXPECT_EQ(read.others, 15u);
    EXPECT_EQ(read.chains[0].traffic, ChainTraffic::TwoWay);
    TigerData tiger;
    ASSERT_TRUE(tiger.add(read.chains));
    const WorldRect e = tiger.tigerExtent();
    EXPECT_LT(e.width(), 0.3f) << "the extent is the streets' and the stream's";
    EXPECT_LT(e.height(), 0.2f);

    EXPECT_EQ(readAll(dir.file("lines.geojson"), "", true).chains.back().cfcc, "B11");
}

// A county's own layer names its classes in words of its own: those lines are still drawn (and
// never populated), while its power lines and fences are not read.
TEST(LayerStreets, ALayerWithClassWordsOfItsOwnIsDrawnButItsNonRoadsAreNot) {
    TestDir dir;
    const auto line = [](const char* cls, double lat) {
        return std::string(R"({"type":"Feature","properties":{"class":")") + cls +
               R"("},"geometry":{"type":"LineString","coordinates":[[-84.40,)" +
               std::to_string(lat) + "],[-84.39," + std::to_string(lat) + "]]}}";
    };
    spit(dir.file("county.geojson"), "{\"type\":\"FeatureCollection\",\"features\":[" +
                                         line("Arterial", 33.75) + "," +
                                         line("residential", 33.76) + "," + line("Fence", 33.77) +
                                         "," + line("power", 33.78) + "]}");
    const StreetRead read = readAll(dir.file("county.geojson"));
    std::vector<std::string> kinds;
    for (const TigerChain& c : read.chains)
        kinds.push_back(c.cfcc + (c.traffic == ChainTraffic::None ? " drawn" : " populated"));
    EXPECT_EQ(kinds, (std::vector<std::string>{"A71 drawn", "A41 populated"}));
    EXPECT_EQ(read.others, 2u);
}

TEST(LayerStreets, SidecarFilesNoRealOneCouldBeAreRefusedBeforeTheyAreRead) {
    TestDir dir;
    const std::vector<LineFeature> roads = {
        {{{-84.40, 33.75}, {-84.39, 33.75}}, {{"name", "Elm"}}}};
    // {file beside the shapefile, its size, what the message names}
    const std::tuple<const char*, std::size_t, const char*> cases[] = {
        {"prj", 2u << 20, "coordinate system file"},
        {"PRJ", 2u << 20, "coordinate system file"},
        {"cpg", 1u << 20, "code page file"},
        {"shx", 1u << 20, "index file"}};
    for (const auto& [ext, size, what] : cases) {
        SCOPED_TRACE(ext);
        const std::string shp = dir.file(std::string("roads_") + ext + ".shp");
        street_test::writeShapefile(shp, 4326, {"name"}, roads);
        const std::string side = shp.substr(0, shp.size() - 3) + ext;
        std::filesystem::remove(shp.substr(0, shp.size() - 3) + "prj");
        std::string text(size, ' ');
        text.replace(0, 7, "GEOGCS[");
        spit(side, text);
        for (const bool listing : {true, false}) {
            std::vector<std::string> layers;
            StreetRead read;
            std::string why;
            EXPECT_FALSE(listing ? listStreetLayers(shp, layers, why)
                                 : readStreetChains(shp, "", {}, read, why));
            EXPECT_THAT(why, AllOf(HasSubstr("Cannot read \"" + shp + "\""),
                                   HasSubstr(std::string(what) + " \"" + side + "\""),
                                   HasSubstr("more than any real one")));
        }
    }
    // A pipe or a folder in a sidecar's place would keep the reader waiting or failing.
    const std::string shp = dir.file("piped.shp");
    street_test::writeShapefile(shp, 4326, {"name"}, roads);
    std::filesystem::remove(dir.file("piped.dbf"));
    ASSERT_EQ(mkfifo(dir.file("piped.dbf").c_str(), 0600), 0);
    EXPECT_THAT(refusal(shp), AllOf(HasSubstr("attribute table \"" + dir.file("piped.dbf") + "\""),
                                    HasSubstr("pipe")));
    // A GeoPackage's journal is opened beside it.
    {
        street_test::Dataset ds = street_test::createDataset("GPKG", dir.file("city.gpkg"));
        ASSERT_NE(ds, nullptr);
        street_test::addLineLayer(*ds, "streets", 4326, {"name"}, roads);
    }
    ASSERT_EQ(mkfifo(dir.file("city.gpkg-wal").c_str(), 0600), 0);
    EXPECT_THAT(refusal(dir.file("city.gpkg")),
                HasSubstr("journal \"" + dir.file("city.gpkg-wal") + "\""));
    // And the street data itself.
    ASSERT_EQ(mkfifo(dir.file("piped.osm").c_str(), 0600), 0);
    EXPECT_THAT(refusal(dir.file("piped.osm")), HasSubstr("pipe"));
}

// GDAL refuses some files for their size and says why first, and then that it failed; the
// reason is the one worth telling.
TEST(LayerStreets, ALibrarysOwnSizeLimitIsTheReasonGiven) {
    TestDir dir;
    const std::string path = dir.file("large.geojson");
    spit(path,
         R"({"type":"FeatureCollection","features":[{"type":"Feature","properties":{"name":")" +
             std::string(3u << 20, 'x') +
             R"("},"geometry":{"type":"LineString","coordinates":[[0,0],[1,1]]}}]})");
    CPLSetConfigOption("OGR_GEOJSON_MAX_OBJ_SIZE", "1");
    const std::string why = refusal(path);
    CPLSetConfigOption("OGR_GEOJSON_MAX_OBJ_SIZE", nullptr);
    EXPECT_THAT(
        why, AllOf(HasSubstr(path), HasSubstr("OGR_GEOJSON_MAX_OBJ_SIZE"), Not(HasSubstr("\n"))));
}

// ---- Adding street chains to a document's TIGER/Line data -------------------------------------

TEST(StreetData, AddedChainsFollowTheHeldOnesAndKeepTheFirstOrigin) {
    TigerChain first;
    first.cfcc = "A41";
    first.start = at(-84.40, 33.75);
    first.end = at(-84.39, 33.76);
    TigerChain second = first;
    second.start = at(-84.50, 33.70);
    TigerData tiger;
    ASSERT_TRUE(tiger.add({first}));
    EXPECT_EQ(tiger.tigerOrigin(), at(-84.40, 33.75));
    ASSERT_TRUE(tiger.add({second, second}));
    EXPECT_EQ(tiger.tigerOrigin(), at(-84.40, 33.75));
    std::vector<std::int32_t> ids;
    for (const auto& [tlid, chain] : tiger.store().chains())
        ids.push_back(chain.tlid);
    EXPECT_EQ(ids, (std::vector<std::int32_t>{1, 2, 3}));
    EXPECT_LT(tiger.tigerExtent().left, 0.0f) << "the extent covers the later chains";

    // The origin comes from the roads, not from a power line miles away drawn before them.
    TigerChain power;
    power.cfcc = "A71";
    power.traffic = ChainTraffic::None;
    power.start = at(-84.55, 33.60);
    power.end = at(-84.54, 33.61);
    TigerData powered;
    ASSERT_TRUE(powered.add({power, first}));
    EXPECT_EQ(powered.tigerOrigin(), at(-84.40, 33.75));

    // A record file may hold the largest TLID there is; nothing can follow it.
    TestDir dir;
    spit(dir.file("TGR13121.RT1"),
         tiger_test::chainRecord(std::numeric_limits<std::int32_t>::max(), "A41", at(-84.40, 33.75),
                                 at(-84.39, 33.76)) +
             "\n");
    TigerData top;
    ASSERT_TRUE(top.load(dir.file("TGR13121.RT1")));
    std::string why;
    EXPECT_FALSE(top.add({first}, &why));
    EXPECT_THAT(why, HasSubstr("too few ids"));
    EXPECT_EQ(top.store().chains().size(), 1u);
}

// A degree of longitude shrinks toward the poles: a box of degrees placed at one latitude holds
// neither the chains far from it nor the shape points beyond their ends.
TEST(StreetData, TheExtentHoldsEveryPointDrawnNearThePolesAndSouthOfTheEquator) {
    TigerChain road;
    road.cfcc = "A41";
    road.traffic = ChainTraffic::TwoWay;
    road.lanesForward = road.lanesBackward = 1;
    TigerChain river;
    river.cfcc = "H11";
    river.traffic = ChainTraffic::None;
    for (const auto& [lat, lon] : {std::pair{-34.0, 151.0}, std::pair{-78.0, 166.0},
                                   std::pair{80.0, 16.0}, std::pair{33.7, -84.4}}) {
        SCOPED_TRACE(lat);
        road.start = at(lon, lat);
        road.end = at(lon + 0.1, lat + 0.1);
        river.start = at(lon + 0.05, lat);
        river.shapePoints = {at(lon + 0.2, lat + 0.3), at(lon - 0.1, lat - 0.05)};
        river.end = at(lon + 0.1, lat + 0.01);
        TigerData tiger;
        ASSERT_TRUE(tiger.add({road, river}));
        const WorldRect e = tiger.tigerExtent();
        WorldRect points{};
        for (std::size_t i = 0; i < tiger.worldPoints().size(); ++i) {
            const WorldPoint p = tiger.worldPoints()[i];
            EXPECT_TRUE(e.contains(p)) << i;
            if (i == 0)
                points = WorldRect{p.y, p.y, p.x, p.x};
            else
                points.extendTo(p);
        }
        EXPECT_EQ(e, points) << "and no more";
        Network byRectangle;
        EXPECT_TRUE(AutoPopulateAt(byRectangle, tiger.store(), tiger.tigerOrigin(),
                                   {e.left, e.bottom}, {e.right, e.top}, 100.0f, kDefaults));
        EXPECT_EQ(byRectangle.links().size(), 2u);
    }
}

// A road 22 m long across the 180th meridian, in Fiji, and the roads either side of it.
TEST(StreetData, ARoadAcrossThe180thMeridianMeasuresWhatItIs) {
    TestDir dir;
    OsmFile osm;
    osm.node(1, 179.9990, -16.80)
        .node(2, 179.9999, -16.80)
        .node(3, -179.9999, -16.80)
        .node(4, -179.9990, -16.80);
    osm.way(1, {1, 2}, {{"highway", "residential"}});
    osm.way(2, {2, 3}, {{"highway", "residential"}});
    osm.way(3, {3, 4}, {{"highway", "residential"}});
    osm.way(4, {1, 2, 3, 4}, {{"waterway", "stream"}});
    osm.write(dir.file("fiji.osm"));
    TigerData tiger;
    ASSERT_TRUE(tiger.add(readAll(dir.file("fiji.osm")).chains));
    const double metre = 1 / 1609.344;
    EXPECT_NEAR(tiger.tigerExtent().width(), 2 * 0.0010 * 69 * std::cos(16.8 * M_PI / 180), metre);
    EXPECT_LT(tiger.tigerExtent().height(), metre);
    Network net;
    ASSERT_TRUE(AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), kDefaults));
    EXPECT_EQ(net.nodes().size(), 4u);
    ASSERT_EQ(net.links().size(), 6u);
    std::vector<double> lengths;
    for (const Link* l : net.links())
        lengths.push_back(l->effectiveLength() / metre);
    std::sort(lengths.begin(), lengths.end());
    EXPECT_NEAR(lengths[0], 21.3, 0.5) << "the road across";
    EXPECT_NEAR(lengths[1], 21.3, 0.5);
    EXPECT_NEAR(lengths[5], 95.9, 1.0) << "the roads either side";

    // Loaded after, a road on the other side lies beside the first, not a world away.
    TigerChain west;
    west.cfcc = "A41";
    west.traffic = ChainTraffic::TwoWay;
    west.start = at(-179.9980, -16.80);
    west.end = at(-179.9970, -16.80);
    ASSERT_TRUE(tiger.add({west}));
    EXPECT_LT(tiger.tigerExtent().width(), 0.3f);
}

} // namespace

} // namespace vantry
