// What street data turns into: the rules that read tags and fields, the cutting of lines into
// chains where roads join, and the links populating makes of them.

#include "streetfiles.h"
#include "streets/linekinds.h"
#include "streets/linesplitter.h"
#include "streets/streetreader.h"
#include "streets/streetrules.h"
#include "streets/trafficfields.h"
#include "support/testdir.h"
#include "tiger/autopopulate.h"

#include <osmium/geom/haversine.hpp>
#include <osmium/handler.hpp>
#include <osmium/handler/node_locations_for_ways.hpp>
#include <osmium/index/map/sparse_mem_array.hpp>
#include <osmium/io/any_input.hpp>
#include <osmium/visitor.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace vantry {

namespace {

using street_test::at;
using street_test::pointsOf;
using Tags = std::vector<std::pair<std::string, std::string>>;

TigerChain osmChain(const Tags& tags) {
    OsmTags t;
    for (const auto& [k, v] : tags)
        setOsmTag(t, k, v);
    TigerChain chain;
    applyOsmTags(t, chain);
    return chain;
}

// ---- Classes ----------------------------------------------------------------------------------

TEST(StreetRules, ServiceRoadsComeOnlyWhenAskedAndPrivateKindsOnlyByName) {
    const TigerChain alley = osmChain({{"highway", "service"}, {"service", "alley"}});
    const TigerChain aisle = osmChain({{"highway", "service"}, {"service", "parking_aisle"}});
    const TigerChain street = osmChain({{"highway", "residential"}});
    const TigerChain ramp = osmChain({{"highway", "motorway_link"}});
    const PopulateOptions byDefault;
    EXPECT_TRUE(ChainIsPopulated(street, byDefault));
    EXPECT_TRUE(ChainIsPopulated(ramp, byDefault));
    EXPECT_FALSE(ChainIsPopulated(alley, byDefault));
    EXPECT_FALSE(ChainIsPopulated(aisle, byDefault));

    PopulateOptions service;
    std::string why;
    ASSERT_TRUE(RoadClassChoice::parse("Residential, service", service.classes, why)) << why;
    EXPECT_TRUE(ChainIsPopulated(alley, service));
    EXPECT_FALSE(ChainIsPopulated(aisle, service)) << "a parking aisle is no through road";
    EXPECT_FALSE(ChainIsPopulated(ramp, service));
    ASSERT_TRUE(RoadClassChoice::parse("service,parking_aisle", service.classes, why)) << why;
    EXPECT_TRUE(ChainIsPopulated(aisle, service));
    ASSERT_TRUE(RoadClassChoice::parse("all", service.classes, why)) << why;
    EXPECT_TRUE(ChainIsPopulated(aisle, service));

    RoadClassChoice unchanged;
    EXPECT_FALSE(RoadClassChoice::parse("residential,speedway", unchanged, why));
    EXPECT_NE(why.find("\"speedway\""), std::string::npos) << why;
    EXPECT_EQ(unchanged, RoadClassChoice());
    EXPECT_FALSE(RoadClassChoice::parse(" , ", unchanged, why));
}

TEST(StreetRules, ClassDefaultsRoundTripAsSettingsTextAndBadEntriesAreNamed) {
    RoadClassDefaultsTable table;
    EXPECT_EQ(table.text(), "") << "the table's own values are not stored";
    table.set("residential", {20, 1, 900, 180});
    RoadClassDefaultsTable back;
    std::string why;
    ASSERT_TRUE(RoadClassDefaultsTable::parse(table.text(), back, why)) << why;
    EXPECT_EQ(back, table);
    EXPECT_EQ(back.of("motorway"), findRoadClass("motorway")->defaults);

    EXPECT_FALSE(
        RoadClassDefaultsTable::parse("residential=20/1/900/180;motorway=0/2/2200/190", back, why));
    EXPECT_NE(why.find("motorway=0/2/2200/190"), std::string::npos) << why;
    EXPECT_EQ(back.of("residential").speed, 20) << "what could be read is kept";
    EXPECT_EQ(back.of("motorway"), findRoadClass("motorway")->defaults);
}

// ---- Layers -----------------------------------------------------------------------------------

// The same four roads in three layouts: plain yes/no one-way words with speeds in mph, the
// OpenStreetMap shapefile layout (fclass, F/T/B, bare km/h), and US road data (FT/TF/N).
TEST(StreetRules, LayersGiveTheSameRoadsWhateverTheirOneWayCodesAndSpeedUnits) {
    TestDir dir;
    const std::vector<std::map<std::string, std::string>> plain = {
        {{"highway", "primary"}, {"oneway", "yes"}, {"maxspeed", "30 mph"}},
        {{"highway", "primary"}, {"oneway", "-1"}, {"maxspeed", "30 mph"}},
        {{"highway", "residential"}, {"oneway", "no"}, {"maxspeed", "25 mph"}},
        {{"highway", "footway"}, {"oneway", "no"}, {"maxspeed", ""}}};
    const std::vector<std::map<std::string, std::string>> osmShape = {
        {{"osm_id", "1"}, {"fclass", "primary"}, {"oneway", "F"}, {"maxspeed", "48"}},
        {{"osm_id", "2"}, {"fclass", "primary"}, {"oneway", "T"}, {"maxspeed", "48"}},
        {{"osm_id", "3"}, {"fclass", "residential"}, {"oneway", "B"}, {"maxspeed", "40"}},
        {{"osm_id", "4"}, {"fclass", "footway"}, {"oneway", "B"}, {"maxspeed", "0"}}};
    const std::vector<std::map<std::string, std::string>> usRoads = {
        {{"class", "primary"}, {"oneway", "FT"}, {"speed", "30"}},
        {{"class", "primary"}, {"oneway", "TF"}, {"speed", "30"}},
        {{"class", "residential"}, {"oneway", "N"}, {"speed", "25"}},
        {{"class", "steps"}, {"oneway", "N"}, {"speed", "0"}}};
    const auto read = [&](const std::string& name,
                          const std::vector<std::map<std::string, std::string>>& fields) {
        std::vector<street_test::LineFeature> features;
        std::vector<std::string> names;
        for (const auto& [k, v] : fields[0])
            names.push_back(k);
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const double west = -84.40 + 0.01 * static_cast<double>(i);
            features.push_back({{{west, 33.77}, {west + 0.01, 33.77}}, fields[i]});
        }
        street_test::writeShapefile(dir.file(name + ".shp"), 4326, names, features);
        StreetRead result;
        std::string why;
        EXPECT_TRUE(readStreetChains(dir.file(name + ".shp"), "", {}, result, why)) << why;
        return result.chains;
    };
    const std::vector<TigerChain> a = read("plain", plain), b = read("osm", osmShape),
                                  c = read("us", usRoads);
    ASSERT_EQ(std::tuple(a.size(), b.size(), c.size()), std::tuple(4u, 4u, 4u));
    const ChainTraffic expected[] = {ChainTraffic::Forward, ChainTraffic::Backward,
                                     ChainTraffic::TwoWay, ChainTraffic::None};
    for (std::size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        for (const std::vector<TigerChain>* layer : {&a, &b, &c}) {
            EXPECT_EQ((*layer)[i].traffic, expected[i]);
            if (i < 3) {
                EXPECT_EQ((*layer)[i].speedForward, a[i].speedForward);
                EXPECT_EQ((*layer)[i].roadClass, a[i].roadClass);
            }
        }
    }
    EXPECT_EQ(a[0].speedForward, 30);

    // Told outright, the unit wins over the guess.
    StreetRead kmh;
    std::string why;
    ASSERT_TRUE(readStreetChains(dir.file("us.shp"), "",
                                 {.speedUnit = SpeedUnit::KilometresPerHour}, kmh, why))
        << why;
    EXPECT_EQ(kmh.chains[0].speedForward, 19);
}

// A class word or MTFCC says whether a line is a road, a way or water to draw, a railway drawn
// when asked for, or nothing; in a layer's class field only the roads get traffic, and their
// other fields.
TEST(StreetRules, ClassWordsSayWhichLinesAreRoadsAndWhichAreOnlyDrawn) {
    const std::pair<std::string, LineKind> classes[] = {
        {"residential", LineKind::Road}, {"Motorway_Link", LineKind::Road},
        {"S1400", LineKind::Road},       {"S1630", LineKind::Road},
        {"footway", LineKind::Way},      {"steps", LineKind::Way},
        {"track_grade2", LineKind::Way}, {"S1710", LineKind::Way},
        {"river", LineKind::Water},      {"coastline", LineKind::Water},
        {"H3010", LineKind::Water},      {"rail", LineKind::Railway},
        {"subway", LineKind::Railway},   {"tram", LineKind::Railway},
        {"R1011", LineKind::Railway},    {"line", LineKind::None},
        {"wall", LineKind::None},        {"fence", LineKind::None},
        {"L4010", LineKind::None},       {"", LineKind::None}};
    for (const auto& [name, kind] : classes) {
        SCOPED_TRACE(name);
        EXPECT_EQ(classLineKind(name), kind);
        LineFields fields;
        fields.roadClass = name;
        fields.lanesForward = "2";
        fields.lanesBackward = "1";
        fields.ref = "SR 9";
        TigerChain chain;
        applyLineFields(fields, true, chain);
        // A layer without a class field has only roads.
        const bool road = kind == LineKind::Road || name.empty();
        EXPECT_EQ(chain.traffic != ChainTraffic::None, road);
        if (road) {
            EXPECT_EQ(chain.description, "SR 9") << "the ref stands in for a missing name";
            EXPECT_EQ(chain.lanesForward, 2);
        }
    }

    const auto osm = [](const Tags& tags) {
        OsmTags t;
        for (const auto& [k, v] : tags)
            setOsmTag(t, k, v);
        return osmLineKind(t);
    };
    EXPECT_EQ(osm({{"highway", "service"}, {"railway", "tram"}}), LineKind::Road);
    EXPECT_EQ(osm({{"highway", "abandoned"}}), LineKind::None);
    EXPECT_EQ(osm({{"highway", "proposed"}, {"waterway", "canal"}}), LineKind::Water);
    EXPECT_EQ(osm({{"natural", "tree_row"}}), LineKind::None);

    RoadClassChoice choice;
    std::string why;
    ASSERT_TRUE(RoadClassChoice::parse(" Residential , RAILWAY", choice, why)) << why;
    EXPECT_TRUE(choice.railways());
    EXPECT_FALSE(choice.wants("railway", "")) << "asked for to be drawn, never populated";
    EXPECT_EQ(choice.text(), "residential,railway");
    ASSERT_TRUE(RoadClassChoice::parse("all", choice, why));
    EXPECT_FALSE(choice.railways()) << "all the road classes, and no railway";
    ASSERT_TRUE(RoadClassChoice::parse(choice.text() + ",railway", choice, why));
    EXPECT_EQ(choice.text(), "all,railway");
    EXPECT_FALSE(RoadClassChoice::parse("railway", choice, why)) << "no road to populate";
    EXPECT_FALSE(RoadClassChoice().railways());
}

// ---- Where lines join ---------------------------------------------------------------------------

StreetLine line(const std::vector<TigerPoint>& points, ChainTraffic traffic,
                const std::vector<std::int64_t>& ids = {}) {
    StreetLine l;
    l.chain.cfcc = "A41";
    l.chain.roadClass = "residential";
    l.chain.traffic = traffic;
    l.points = points;
    l.nodeIds = ids;
    return l;
}

TEST(StreetTopology, ALayerWithALineForEachDirectionJoinsOnlyWhereRoadsMeet) {
    // A road drawn twice, once each way, over five points, and a street crossing it at the
    // middle point; a fourth line ends on the second point.
    std::vector<TigerPoint> p;
    for (int i = 0; i < 5; ++i)
        p.push_back(at(-84.40 + 0.001 * i, 33.75));
    const TigerPoint north = at(-84.398, 33.751), south = at(-84.398, 33.749);
    const TigerPoint spur = at(-84.399, 33.748);
    std::vector<StreetLine> lines = {
        line(p, ChainTraffic::Forward), line({p[4], p[3], p[2], p[1], p[0]}, ChainTraffic::Forward),
        line({north, p[2], south}, ChainTraffic::TwoWay), line({spur, p[1]}, ChainTraffic::TwoWay)};
    std::vector<TigerChain> chains;
    splitIntoChains(lines, chains);
    std::vector<std::vector<TigerPoint>> got;
    for (const TigerChain& c : chains)
        got.push_back(pointsOf(c));
    const std::vector<std::vector<TigerPoint>> expected = {
        {p[0], p[1]}, {p[1], p[2]},  {p[2], p[3], p[4]}, {p[4], p[3], p[2]}, {p[2], p[1]},
        {p[1], p[0]}, {north, p[2]}, {p[2], south},      {spur, p[1]}};
    EXPECT_EQ(got, expected);
}

TEST(StreetTopology, LoopsAndSecondRoadsBetweenTheSameEndsKeepTheirLengthAsLinksOfTheirOwn) {
    // A P-shaped cul-de-sac: in from node 1, round 3-4-5-6 and back to 3.
    const std::vector<TigerPoint> p = {at(-84.400, 33.750), at(-84.399, 33.750),
                                       at(-84.398, 33.750), at(-84.397, 33.751),
                                       at(-84.396, 33.750), at(-84.397, 33.749)};
    std::vector<StreetLine> cul = {line({p[0], p[1], p[2], p[3], p[4], p[5], p[2]},
                                        ChainTraffic::TwoWay, {1, 2, 3, 4, 5, 6, 3})};
    // Two roads between nodes 11 and 12: a straight one and a bent one.
    const TigerPoint a = at(-84.40, 33.76), b = at(-84.39, 33.76), bend = at(-84.395, 33.765);
    cul.push_back(line({a, b}, ChainTraffic::TwoWay, {11, 12}));
    cul.push_back(line({a, bend, b}, ChainTraffic::TwoWay, {11, 13, 12}));
    std::vector<TigerChain> chains;
    splitIntoChains(cul, chains);
    TigerData tiger;
    ASSERT_TRUE(tiger.add(chains));
    Network net;
    ASSERT_TRUE(AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), PopulateOptions()));

    // Every piece of road is there, each way, and no two links join the same nodes.
    double total = 0;
    std::map<std::pair<const Node*, const Node*>, int> pairs;
    for (const Link* l : net.links()) {
        total += l->effectiveLength();
        const int seen = ++pairs[std::make_pair(l->fromNode(), l->toNode())];
        EXPECT_EQ(seen, 1) << "link " << l->id();
    }
    double expected = 0;
    const auto miles = [&](TigerPoint from, TigerPoint to) {
        const WorldPoint u = tiger.TigerToWorld(from), v = tiger.TigerToWorld(to);
        return std::hypot(u.x - v.x, u.y - v.y);
    };
    for (std::size_t i = 0; i + 1 < 6; ++i)
        expected += miles(p[i], p[i + 1]);
    expected += miles(p[5], p[2]) + miles(a, b) + miles(a, bend) + miles(bend, b);
    EXPECT_NEAR(total, 2 * expected, 2 * expected * 0.002);
}

// ---- Populating -------------------------------------------------------------------------------

TEST(StreetPopulate, AWindingRoadMeasuresAlongItsShapeAndAStraightOneStaysAutomatic) {
    TigerChain winding;
    winding.cfcc = "A64";
    winding.roadClass = "residential";
    winding.traffic = ChainTraffic::Forward;
    winding.start = at(-84.400, 33.750);
    winding.shapePoints = {at(-84.400, 33.755), at(-84.395, 33.755), at(-84.395, 33.750)};
    winding.end = at(-84.390, 33.750);
    TigerChain straight = winding;
    straight.start = at(-84.40, 33.74);
    straight.end = at(-84.39, 33.74);
    straight.shapePoints = {at(-84.395, 33.74)};
    TigerData tiger;
    ASSERT_TRUE(tiger.add({winding, straight}));
    Network net;
    ASSERT_TRUE(AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), PopulateOptions()));
    ASSERT_EQ(net.links().size(), 2u);
    const Link* w = net.links()[0];
    const Link* s = net.links()[1];
    EXPECT_FALSE(w->hasAutomaticLength());
    // 0.005 degree of latitude twice is 0.69 mile, and 0.01 degree of longitude at 33.75 N is
    // 0.574 mile.
    EXPECT_NEAR(w->effectiveLength(), 0.69 + 0.574, 0.002);
    EXPECT_NEAR(w->automaticLength(), 0.574, 0.001);
    EXPECT_TRUE(s->hasAutomaticLength()) << s->storedLength();

    // Both keep their meaning through a file.
    Network reopened;
    std::string why;
    ASSERT_TRUE(reopened.readText(net.toText(), &why)) << why;
    EXPECT_FALSE(reopened.links()[0]->hasAutomaticLength());
    EXPECT_NEAR(reopened.links()[0]->effectiveLength(), w->effectiveLength(), 0.0005);
    EXPECT_TRUE(reopened.links()[1]->hasAutomaticLength());
}

// The user's figures for a class stand in for its own, and the defaults of links drawn by hand
// for none; other classes keep their own.
TEST(StreetPopulate, TheUsersClassDefaultsStandInForTheClasssOwn) {
    const auto road = [](const char* cls, double lat) {
        TigerChain c = osmChain({{"highway", cls}});
        c.start = at(-84.40, lat);
        c.end = at(-84.39, lat);
        return c;
    };
    TigerData tiger;
    ASSERT_TRUE(tiger.add({road("motorway", 33.70), road("residential", 33.71)}));
    PopulateOptions options(LinkDefaults{4, 1234, 50, 210});
    options.classDefaults.set("residential", {20, 2, 900, 180});
    Network net;
    ASSERT_TRUE(AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), options));
    ASSERT_EQ(net.links().size(), 3u) << "the motorway one way, the street both";
    const RoadClassDefaults motorway = findRoadClass("motorway")->defaults;
    EXPECT_EQ(std::tuple(net.links()[0]->ffSpeed(), net.links()[0]->numLanes(),
                         net.links()[0]->capacity(), net.links()[0]->jamDensity()),
              std::tuple(motorway.speed, motorway.lanes, motorway.capacity, motorway.jamDensity));
    for (const Link* residential : {net.links()[1], net.links()[2]})
        EXPECT_EQ(std::tuple(residential->ffSpeed(), residential->numLanes(),
                             residential->capacity(), residential->jamDensity()),
                  std::tuple(20, 2, 900, 180));
}

TEST(StreetPopulate, RoadEndsAMetreApartStayApartUnlessTheDataJoinsThem) {
    TigerChain west = osmChain({{"highway", "residential"}});
    west.start = at(-84.400, 33.75);
    west.end = at(-84.390, 33.75);
    TigerChain east = west;
    east.start = at(-84.38999, 33.75); // 0.9 metre east of the other's end
    east.end = at(-84.38, 33.75);
    TigerData tiger;
    ASSERT_TRUE(tiger.add({west, east}));
    Network net;
    ASSERT_TRUE(AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), PopulateOptions()));
    EXPECT_EQ(net.nodes().size(), 4u);
    // Populating again adds nothing.
    EXPECT_FALSE(AutoPopulateAll(net, tiger.store(), tiger.tigerOrigin(), PopulateOptions()));
}

// ---- Real extracts ----------------------------------------------------------------------------

// Miles of road a network of the default classes should hold, worked out by libosmium's own
// great-circle distance straight from the file: each road open to cars counted once per
// direction it may be driven.
double milesOfRoad(const std::string& path) {
    struct Roads : osmium::handler::Handler {
        double metres = 0;
        void way(const osmium::Way& way) {
            const char* highway = way.tags()["highway"];
            if (!highway ||
                !RoadClassChoice().wants(highway, way.tags().get_value_by_key("service", "")))
                return;
            for (const char* key : {"access", "motor_vehicle"})
                if (way.tags().has_tag(key, "no") || way.tags().has_tag(key, "private"))
                    return;
            const bool oneWay =
                way.tags().has_tag("oneway", "yes") || way.tags().has_tag("oneway", "-1") ||
                way.tags().has_tag("junction", "roundabout") || std::string(highway) == "motorway";
            metres += (oneWay ? 1 : 2) * osmium::geom::haversine::distance(way.nodes());
        }
    } roads;
    using Index =
        osmium::index::map::SparseMemArray<osmium::unsigned_object_id_type, osmium::Location>;
    Index index;
    osmium::handler::NodeLocationsForWays<Index> locations(index);
    osmium::io::Reader reader(path, osmium::osm_entity_bits::node | osmium::osm_entity_bits::way);
    osmium::apply(reader, locations, roads);
    reader.close();
    return roads.metres / 1609.344;
}

std::unique_ptr<Network> populated(const std::string& path, const PopulateOptions& options) {
    StreetRead read;
    std::string why;
    EXPECT_TRUE(readStreetChains(path, "", {}, read, why)) << why;
    TigerData tiger;
    EXPECT_TRUE(tiger.add(read.chains));
    auto net = std::make_unique<Network>();
    AutoPopulateAll(*net, tiger.store(), tiger.tigerOrigin(), options);
    return net;
}

TEST(RealStreets, ACityExtractMeasuresWhatItsRoadsMeasureAndLeavesServiceRoadsOut) {
    const std::string path = std::string(VANTRY_TEST_DATA) + "/streets/west-oakland.osm.bz2";
    const auto net = populated(path, PopulateOptions());
    double total = 0;
    for (const Link* l : net->links())
        total += l->effectiveLength();
    const double expected = milesOfRoad(path);
    ASSERT_GT(expected, 1.0);
    EXPECT_NEAR(total, expected, expected * 0.01);

    PopulateOptions all;
    std::string why;
    ASSERT_TRUE(RoadClassChoice::parse("all", all.classes, why));
    EXPECT_EQ(net->links().size(), 66u);
    EXPECT_EQ(populated(path, all)->links().size(), 78u)
        << "the extract's service roads come only when asked";
}

// West Oakland's extract holds the subway tunnels under its streets, a barrier, buildings and
// land use: its streets and paths are drawn, the tunnels only when railways are asked for.
TEST(RealStreets, ACityExtractDrawsItsStreetsAndItsRailwaysOnlyWhenAskedFor) {
    const std::string path = std::string(VANTRY_TEST_DATA) + "/streets/west-oakland.osm.bz2";
    const auto classes = [&](bool railways) {
        StreetReadOptions options;
        options.railways = railways;
        StreetRead read;
        std::string why;
        EXPECT_TRUE(readStreetChains(path, "", options, read, why)) << why;
        std::map<std::string, std::set<std::int64_t>> ways;
        for (const TigerChain& c : read.chains)
            ways[c.cfcc.substr(0, 1)].insert(c.sourceId);
        return ways;
    };
    const auto streets = classes(false), all = classes(true);
    EXPECT_EQ(streets.count("B"), 0u) << "no railway unless asked for";
    EXPECT_EQ(streets.count("X"), 0u) << "nothing that is neither street nor water";
    EXPECT_EQ(streets.at("A").size(), 31u);
    ASSERT_EQ(all.count("B"), 1u);
    EXPECT_EQ(all.at("B").size(), 2u) << "the two subway tunnels";
    EXPECT_EQ(all.at("A"), streets.at("A"));
}

TEST(RealStreets, AVillageExtractTakesItsTaggedSpeedsAndTheClassForTheRest) {
    const std::string path = std::string(VANTRY_TEST_DATA) + "/streets/bavaria-village.osm";
    const auto net = populated(path, PopulateOptions());
    ASSERT_FALSE(net->links().empty());
    std::map<std::int32_t, int> speeds;
    double total = 0;
    for (const Link* l : net->links()) {
        ++speeds[l->ffSpeed()];
        total += l->effectiveLength();
    }
    // Its streets bend: their straight lines would come out 6 % short.
    const double expected = milesOfRoad(path);
    EXPECT_NEAR(total, expected, expected * 0.01);
    // maxspeed=30 (km/h) on most of its streets; the one without takes a residential street's.
    EXPECT_EQ(speeds, (std::map<std::int32_t, int>{
                          {19, 8}, {findRoadClass("residential")->defaults.speed, 2}}));
}

} // namespace

} // namespace vantry
