#include "streetfiles.h"
#include "streets/streetreader.h"
#include "streets/streetrules.h"
#include "support/testdir.h"
#include "tiger/autopopulate.h"
#include "tiger/tiger_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using street_test::at;
using street_test::LineFeature;
using street_test::OsmFile;
using street_test::pointsOf;
using Tags = std::vector<std::pair<std::string, std::string>>;

const LinkDefaults kDefaults{3, 1500, 40, 200};

StreetRead readAll(const std::string& path, const std::string& layer = "") {
    StreetRead read;
    std::string why;
    EXPECT_TRUE(readStreetChains(path, layer, {}, read, why)) << why;
    return read;
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

TEST(OsmStreets, OneWayAndLaneRulesGiveEachWayItsLinks) {
    struct Case {
        Tags tags;
        ChainTraffic traffic;
        std::int32_t forward, backward;
    };
    const ChainTraffic two = ChainTraffic::TwoWay, fwd = ChainTraffic::Forward,
                       back = ChainTraffic::Backward;
    const std::vector<Case> cases = {
        {{{"highway", "residential"}}, two, 1, 1},
        {{{"highway", "residential"}, {"oneway", "yes"}}, fwd, 1, 0},
        {{{"highway", "residential"}, {"oneway", "true"}}, fwd, 1, 0},
        {{{"highway", "residential"}, {"oneway", "1"}}, fwd, 1, 0},
        {{{"highway", "residential"}, {"oneway", "-1"}}, back, 0, 1},
        {{{"highway", "residential"}, {"oneway", "reverse"}}, back, 0, 1},
        {{{"highway", "motorway"}}, fwd, 2, 0},
        {{{"highway", "motorway"}, {"oneway", "no"}}, two, 2, 2},
        {{{"highway", "motorway_link"}}, fwd, 1, 0},
        {{{"highway", "trunk_link"}}, two, 1, 1},
        {{{"highway", "tertiary"}, {"junction", "roundabout"}}, fwd, 1, 0},
        {{{"highway", "tertiary"}, {"junction", "roundabout"}, {"oneway", "no"}}, two, 1, 1},
        {{{"highway", "trunk"}}, two, 2, 2},
        {{{"highway", "primary"}}, two, 2, 2},
        {{{"highway", "secondary"}}, two, 1, 1},
        {{{"highway", "secondary"}, {"lanes", "4"}}, two, 2, 2},
        {{{"highway", "secondary"}, {"lanes", "5"}}, two, 3, 2},
        {{{"highway", "secondary"}, {"lanes", "1"}}, two, 1, 1},
        {{{"highway", "primary"}, {"lanes", "3"}, {"oneway", "yes"}}, fwd, 3, 0},
        {{{"highway", "primary"}, {"lanes", "2"}, {"oneway", "-1"}}, back, 0, 2},
        {{{"highway", "secondary"}, {"lanes:forward", "2"}, {"lanes:backward", "1"}}, two, 2, 1},
        {{{"highway", "secondary"}, {"lanes", "3"}, {"lanes:forward", "2"}}, two, 2, 1},
        {{{"highway", "secondary"}, {"lanes", "2;3"}}, two, 1, 1},
        {{{"highway", "motorway"}, {"lanes", "4"}}, fwd, 4, 0},
    };
    TestDir dir;
    OsmFile osm;
    // Each way on its own, a thousandth of a degree north of the one before.
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
        SCOPED_TRACE(::testing::Message() << "case " << i << ": " << cases[i].tags.back().first
                                          << "=" << cases[i].tags.back().second);
        const auto chains = chainsOf(read, static_cast<std::int64_t>(100 + i));
        ASSERT_EQ(chains.size(), 1u);
        EXPECT_EQ(chains[0]->traffic, cases[i].traffic);
        // The links run west to east for lanes forward, east to west for lanes backward; lanes
        // the tags do not give come from the road's class.
        const float y = tiger.TigerToWorld(chains[0]->start).y;
        std::int32_t east = 0, west = 0;
        for (const Link* l : net.links()) {
            if (l->fromNode()->y() != y)
                continue;
            (l->toNode()->x() > l->fromNode()->x() ? east : west) = l->numLanes();
        }
        EXPECT_EQ(east, cases[i].forward);
        EXPECT_EQ(west, cases[i].backward);
    }
}

TEST(OsmStreets, SpeedsAreMilesPerHourAndNamesDescribeTheLinks) {
    TestDir dir;
    OsmFile osm;
    osm.node(1, -84.40, 33.75).node(2, -84.39, 33.75).node(3, -84.38, 33.75);
    osm.node(4, -84.37, 33.75);
    osm.way(1, {1, 2}, {{"highway", "primary"}, {"maxspeed", "45 mph"}, {"name", "Peachtree"}})
        .way(2, {2, 3}, {{"highway", "primary"}, {"maxspeed", "50"}, {"ref", "SR 9"}})
        .way(3, {3, 4}, {{"highway", "primary"}, {"maxspeed", "signals"}});
    osm.write(dir.file("speeds.osm"));
    TigerData tiger;
    ASSERT_TRUE(tiger.add(readAll(dir.file("speeds.osm")).chains));
    Network net;
    ASSERT_TRUE(AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), kDefaults));
    ASSERT_EQ(net.links().size(), 6u);
    // {speed, description} of the links in the order they were made, each way out and back.
    const std::tuple<std::int32_t, std::string> expected[] = {
        {45, "Peachtree"}, {45, "Peachtree"}, {31, "SR 9"}, {31, "SR 9"}, {45, ""}, {45, ""}};
    // Capacity, jam density and a speed the tags do not give come from the class, not from the
    // defaults of links drawn by hand.
    const RoadClassDefaults primary = findRoadClass("primary")->defaults;
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(net.links()[i]->ffSpeed(), std::get<0>(expected[i])) << i;
        EXPECT_EQ(net.links()[i]->description(), std::get<1>(expected[i])) << i;
        EXPECT_EQ(net.links()[i]->capacity(), primary.capacity);
        EXPECT_EQ(net.links()[i]->jamDensity(), primary.jamDensity);
    }
    EXPECT_EQ(net.nodes().size(), 4u) << "ways meeting end to end share their node";
}

TEST(OsmStreets, MaxspeedTextsTurnIntoWholeMilesPerHour) {
    const std::tuple<const char*, std::int32_t> cases[] = {
        {"45 mph", 45},  {"45mph", 45}, {"50", 31},     {"100", 62}, {"30 km/h", 19},
        {"80 kmh", 50},  {"none", 0},   {"walk", 5},    {"", 0},     {"RU:urban", 37},
        {"XX:urban", 0}, {"-20", 0},    {"20 knots", 0}};
    for (const auto& [text, mph] : cases)
        EXPECT_EQ(speedFromMaxspeed(text), mph) << text;
}

TEST(OsmStreets, FeaturesThatAreNotRoadsAreDrawnButNeverPopulated) {
    TestDir dir;
    OsmFile osm;
    const std::vector<Tags> others = {{{"highway", "footway"}}, {{"highway", "cycleway"}},
                                      {{"highway", "path"}},    {{"highway", "track"}},
                                      {{"highway", "steps"}},   {{"railway", "rail"}},
                                      {{"waterway", "river"}}};
    for (std::size_t i = 0; i < others.size(); ++i) {
        const double lat = 33.70 + 0.001 * static_cast<double>(i);
        osm.node(2 * i + 1, -84.40, lat).node(2 * i + 2, -84.39, lat);
        osm.way(i + 1, {static_cast<long long>(2 * i + 1), static_cast<long long>(2 * i + 2)},
                others[i]);
    }
    // A way that is neither street nor railway nor waterway is not read at all.
    osm.node(100, -84.40, 33.80)
        .node(101, -84.39, 33.80)
        .way(100, {100, 101}, {{"barrier", "fence"}});
    osm.write(dir.file("others.osm"));
    const StreetRead read = readAll(dir.file("others.osm"));
    EXPECT_EQ(read.skipped, 1u);
    ASSERT_EQ(read.chains.size(), others.size());
    for (const TigerChain& c : read.chains)
        EXPECT_EQ(c.traffic, ChainTraffic::None) << c.sourceClass;
    TigerData tiger;
    ASSERT_TRUE(tiger.add(read.chains));
    Network net;
    EXPECT_FALSE(AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), kDefaults));
    EXPECT_TRUE(net.nodes().empty());
}

TEST(OsmStreets, AWayClosingOnItselfIsCutSoThatItCanBecomeLinks) {
    TestDir dir;
    OsmFile osm;
    osm.node(1, -84.400, 33.750).node(2, -84.399, 33.750).node(3, -84.399, 33.751);
    osm.node(4, -84.400, 33.751);
    osm.way(7, {1, 2, 3, 4, 1}, {{"highway", "tertiary"}, {"junction", "roundabout"}});
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
    EXPECT_NE(why.find("cancelled"), std::string::npos) << why;
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

TEST(OsmStreets, NodesInAnyIdOrderBeforeOrAfterTheWaysReadTheSame) {
    TestDir dir;
    // Ids beyond 32 bits with gaps between them, as a download has them.
    const OsmFile osm = town([](long long n) { return 4'000'000'000 + 37 * n; }, same);
    osm.write(dir.file("ascending.osm"));
    const StreetRead ascending = readAll(dir.file("ascending.osm"));
    EXPECT_EQ(ascending.layer, "lines");
    EXPECT_EQ(ascending.features, 6u);
    EXPECT_EQ(ascending.lines, 5u);
    EXPECT_EQ(ascending.skipped, 1u) << "the building";
    EXPECT_EQ(sourceIds(ascending),
              (std::vector<std::int64_t>{10, 10, 10, 11, 11, 12, 12, 13, 15}));
    const std::vector<std::string> expected = described(ascending);

    using Order = street_test::OsmOrder;
    const street_test::OsmLayout layouts[] = {{Order::Descending, false},
                                              {Order::Shuffled, false},
                                              {Order::Ascending, true},
                                              {Order::Shuffled, true}};
    for (const street_test::OsmLayout& layout : layouts) {
        SCOPED_TRACE(::testing::Message() << "order " << static_cast<int>(layout.nodes)
                                          << (layout.waysFirst ? ", ways first" : ""));
        osm.write(dir.file("other.osm"), layout);
        const StreetRead read = readAll(dir.file("other.osm"));
        EXPECT_EQ(described(read), expected);
        EXPECT_EQ(sourceIds(read), sourceIds(ascending));
    }
}

TEST(OsmStreets, NegativeIdsOfObjectsNotYetUploadedRead) {
    TestDir dir;
    town(same, same).write(dir.file("uploaded.osm"));
    const StreetRead uploaded = readAll(dir.file("uploaded.osm"));
    // Everything new, numbered -1, -2, ... as an editor saves it; then new ways over a mix of
    // new nodes and uploaded ones.
    const auto negated = [](long long n) { return -n; };
    const auto mixed = [](long long n) { return n % 2 ? -n : n; };
    for (const auto& [name, nodeId] :
         {std::pair<std::string, std::function<long long(long long)>>{"new.osm", negated},
          {"mixed.osm", mixed}}) {
        SCOPED_TRACE(name);
        town(nodeId, negated).write(dir.file(name), {street_test::OsmOrder::Descending, false});
        const StreetRead read = readAll(dir.file(name));
        EXPECT_EQ(described(read), described(uploaded));
        std::vector<std::int64_t> ids = sourceIds(uploaded);
        for (std::int64_t& id : ids)
            id = -id;
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
        StreetRead read;
        std::string why;
        EXPECT_FALSE(readStreetChains(dir.file(name), "", {}, read, why));
        EXPECT_NE(why.find("Cannot read \"" + dir.file(name) + "\""), std::string::npos) << why;
        EXPECT_NE(why.find("damaged"), std::string::npos) << why;
        EXPECT_TRUE(read.chains.empty());
        EXPECT_FALSE(read.cancelled);
    }
    // Listing reads only the start of the file, which is enough to refuse most.
    std::vector<std::string> layers;
    std::string why;
    EXPECT_FALSE(listStreetLayers(dir.file("garbage.osm.pbf"), layers, why));
    EXPECT_NE(why.find("garbage.osm.pbf\""), std::string::npos) << why;
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
                          {"P0001", none, "", ""}};
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
    ASSERT_EQ(read.chains.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
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
    StreetRead read;
    std::string why;
    EXPECT_FALSE(readStreetChains(path, "", {}, read, why));
    EXPECT_NE(why.find(path), std::string::npos) << why;
    EXPECT_NE(why.find("no coordinate system"), std::string::npos) << why;
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

    StreetRead read;
    EXPECT_FALSE(readStreetChains(path, "", {}, read, why));
    EXPECT_NE(why.find("streets, rails"), std::string::npos) << why;
    EXPECT_FALSE(readStreetChains(path, "stops", {}, read, why));
    EXPECT_NE(why.find(path), std::string::npos) << why;
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
        StreetRead read;
        std::string why;
        EXPECT_FALSE(readStreetChains(dir.file(name), "", {}, read, why));
        EXPECT_NE(why.find("\"" + dir.file(name) + "\""), std::string::npos) << why;
        EXPECT_NE(why.find(reason), std::string::npos) << why;
        EXPECT_TRUE(read.chains.empty());
    }
    // GDAL reads record files too, but they are the record reader's.
    const std::string rt2 = std::string(VANTRY_TEST_DATA) + "/tiger/TGR99001.RT2";
    StreetRead read;
    std::string why;
    EXPECT_FALSE(readStreetChains(rt2, "", {}, read, why));
    EXPECT_NE(why.find(rt2 + "\" is a TIGER/Line record file"), std::string::npos) << why;
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
    EXPECT_NE(why.find("too few ids"), std::string::npos) << why;
    EXPECT_EQ(top.store().chains().size(), 1u);
}

TEST(StreetData, PopulatingEverythingReachesChainsBeyondTheExtentSouthOfTheEquator) {
    // The extent's sides use the cosine of its bottom latitude, the farthest from the equator
    // in the south, so a chain ending at the north-east corner lies beyond its right side.
    TigerChain road;
    road.cfcc = "A41";
    road.traffic = ChainTraffic::TwoWay;
    road.lanesForward = road.lanesBackward = 1;
    road.start = at(151.0, -34.0);
    road.end = at(151.1, -33.9);
    TigerData tiger;
    ASSERT_TRUE(tiger.add({road}));
    const WorldRect e = tiger.tigerExtent();
    Network byRectangle, all;
    EXPECT_FALSE(AutoPopulateAt(byRectangle, tiger.store(), tiger.tigerOrigin(), {e.left, e.bottom},
                                {e.right, e.top}, 100.0f, kDefaults));
    EXPECT_TRUE(AutoPopulateAll(all, tiger.store(), tiger.tigerOrigin(), kDefaults));
    EXPECT_EQ(all.links().size(), 2u);
}

} // namespace
