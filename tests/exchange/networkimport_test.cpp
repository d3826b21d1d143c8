#include "exchange/exchangemodule.h"
#include "exchange/networkimport.h"
#include "model/network.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vantry {

namespace {

const std::string kGmnsData = std::string(VANTRY_TEST_DATA) + "/exchange/gmns/";

struct Imported {
    bool ok = false;
    std::string why;
    ImportSource source;
    ImportResult result;
};

// Inspects and imports a source as a user who accepts every choice would, with units given
// where the source states none.
Imported importAll(const std::string& path, Network& network, LengthUnit length = LengthUnit::Miles,
                   SpeedUnitOfSource speed = SpeedUnitOfSource::MilesPerHour) {
    Imported imported;
    if (!inspectImport(path, imported.source, imported.why))
        return imported;
    ImportChoices choices;
    choices.mapping = imported.source.mapping;
    choices.lengthUnit =
        imported.source.lengthUnit == LengthUnit::Unknown ? length : imported.source.lengthUnit;
    choices.speedUnit =
        imported.source.speedUnit == SpeedUnitOfSource::Unknown ? speed : imported.source.speedUnit;
    imported.ok = importNetwork(imported.source, choices, network, imported.result, imported.why);
    return imported;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}

double distance(const Link* link) {
    const WorldPoint a = link->fromNode()->position(), b = link->toNode()->position();
    return std::hypot(static_cast<double>(a.x) - b.x, static_cast<double>(a.y) - b.y);
}

// A stated length is kept exactly as stated (in miles, as a float), or taken as automatic when
// it lies within 0.0001 mile of the distance between the link's nodes.
void expectLength(const Link* link, double miles) {
    if (link->hasAutomaticLength())
        EXPECT_LE(std::fabs(distance(link) - miles), 0.0001 + 1e-6) << link->id();
    else
        EXPECT_EQ(link->storedLength(), static_cast<float>(miles)) << link->id();
}

// The great-circle distance in miles on the sphere of WGS 84's mean radius: the projection an
// import places longitude and latitude in must keep distances this close over a mile.
double greatCircleMiles(double lon1, double lat1, double lon2, double lat2) {
    const double rad = M_PI / 180.0;
    const double h = std::pow(std::sin((lat2 - lat1) * rad / 2), 2) +
                     std::cos(lat1 * rad) * std::cos(lat2 * rad) *
                         std::pow(std::sin((lon2 - lon1) * rad / 2), 2);
    return 2 * 6371008.8 * std::asin(std::sqrt(h)) / 1609.344;
}

struct GmnsFolder {
    TestDir dir;
    GmnsFolder(const std::string& nodes, const std::string& links, const std::string& config) {
        spit(dir.file("node.csv"), nodes);
        spit(dir.file("link.csv"), links);
        if (!config.empty())
            spit(dir.file("config.csv"), config);
    }
    std::string path() const { return dir.path().string(); }
};

const char* const kSquareNodes = "node_id,x_coord,y_coord\n"
                                 "1,-71.0,42.0\n"
                                 "2,-70.99,42.0\n"
                                 "3,-70.99,42.01\n";
const char* const kMilesConfig = "long_length,speed,crs\nmiles,mph,4326\n";

// Two real networks published with GMNS. Freeway_Interchange states its lengths in miles but
// gives them in feet; Lima does the same, in a State Plane CRS in US survey feet, and leaves
// every directed cell empty.
TEST(GmnsImport, PublishedNetworksKeepTheirCountsAndValuesInMilesAndMph) {
    {
        Network network;
        const Imported in = importAll(kGmnsData + "Freeway_Interchange", network);
        ASSERT_TRUE(in.ok) << in.why;
        EXPECT_EQ(in.result.rows, 12u);
        ASSERT_EQ(network.links().size(), 12u);
        EXPECT_EQ(network.nodes().size(), 10u);
        EXPECT_NE(joined(in.result.warnings).find("read as feet, not miles"), std::string::npos)
            << joined(in.result.warnings);
        // link.csv in file order: lanes, free speed, stated length in feet, facility type.
        struct Row {
            int lanes, speed;
            double feet;
            LinkType type;
            const char* name;
        };
        const Row rows[] = {{1, 55, 2193.040865, LinkType::Ramp, "US3 NB"},
                            {1, 35, 1069.059956, LinkType::Ramp, "R50175"},
                            {4, 55, 2973.000171, LinkType::Mainline, "I95 SB"},
                            {3, 35, 2098.428922, LinkType::None, "N1344 SB"},
                            {3, 35, 2098.428922, LinkType::None, ""},
                            {2, 55, 639.3739261, LinkType::Ramp, "US3 NB"},
                            {3, 35, 530.8352402, LinkType::None, "N1344 SB"},
                            {2, 35, 530.8352402, LinkType::None, ""},
                            {1, 55, 621.3929635, LinkType::Ramp, "US3 NB"},
                            {1, 35, 1020.259522, LinkType::Ramp, "R12677"},
                            {2, 35, 779.8103991, LinkType::Ramp, "R12675"},
                            {1, 35, 1117.246779, LinkType::Ramp, "R12676"}};
        for (std::size_t i = 0; i < 12; ++i) {
            const Link* link = network.links()[i];
            EXPECT_EQ(link->numLanes(), rows[i].lanes) << i;
            EXPECT_EQ(link->ffSpeed(), rows[i].speed) << i;
            EXPECT_EQ(link->capacity(), 0) << i; // the file leaves capacity empty
            EXPECT_EQ(link->type(), rows[i].type) << i;
            EXPECT_EQ(link->description(), rows[i].name) << i;
            expectLength(link, rows[i].feet / 5280.0);
        }
        // Nodes 1 and 12 (the first and the ninth) lie 0.677 mile apart on the ground.
        const WorldPoint a = network.nodes()[0]->position(), b = network.nodes()[8]->position();
        EXPECT_NEAR(std::hypot(a.x - b.x, a.y - b.y),
                    greatCircleMiles(-71.22271369, 42.48103112, -71.20955834, 42.47966035), 0.002);
        EXPECT_TRUE(network.georeference().placed());
    }
    {
        Network network;
        const Imported in = importAll(kGmnsData + "Lima", network);
        ASSERT_TRUE(in.ok) << in.why;
        ASSERT_EQ(network.links().size(), 24u);
        EXPECT_EQ(network.nodes().size(), 25u);
        EXPECT_EQ(network.georeference().crs, "EPSG:3735");
        const std::string warnings = joined(in.result.warnings);
        EXPECT_NE(warnings.find("read as feet"), std::string::npos) << warnings;
        EXPECT_NE(warnings.find("link.csv rows 2, 3, 4, 5, 6 and 19 more, directed: empty"),
                  std::string::npos)
            << warnings;
        const double feet[] = {277, 264, 204, 96,  196, 287, 188, 260, 242, 313, 226, 230,
                               231, 332, 201, 292, 230, 284, 187, 297, 229, 309, 229, 228};
        for (std::size_t i = 0; i < 24; ++i) {
            const Link* link = network.links()[i];
            EXPECT_EQ(link->numLanes(), 1);
            EXPECT_EQ(link->capacity(), 1800);
            EXPECT_EQ(link->ffSpeed(), 25);
            expectLength(link, feet[i] / 5280.0);
        }
        // Nodes 1 and 2 lie 500 by 10 US survey feet apart.
        const WorldPoint a = network.nodes()[0]->position(), b = network.nodes()[1]->position();
        EXPECT_NEAR(std::hypot(a.x - b.x, a.y - b.y),
                    std::hypot(500.0, 10.0) * 1200.0 / 3937.0 / 1609.344, 1e-6);
    }
}

TEST(GmnsImport, ConvertsStatedUnitsAndSplitsTwoWayRows) {
    GmnsFolder folder(kSquareNodes,
                      "link_id,from_node_id,to_node_id,directed,length,lanes,capacity,free_speed\n"
                      "10,1.0,2,true,0.9,2,1900,100\n"
                      "11,2,3,0,1.2,3,2000,80.4\n",
                      "long_length,speed\nkilometers,km/h\n");
    Network network;
    const Imported in = importAll(folder.path(), network);
    ASSERT_TRUE(in.ok) << in.why;
    EXPECT_EQ(in.source.lengthUnit, LengthUnit::Kilometres);
    EXPECT_EQ(in.source.speedUnit, SpeedUnitOfSource::KilometresPerHour);
    EXPECT_EQ(in.result.rows, 2u);
    ASSERT_EQ(network.links().size(), 3u);
    const Link* there = network.links()[1];
    const Link* back = network.links()[2];
    EXPECT_EQ(there->fromNode(), back->toNode());
    EXPECT_EQ(there->toNode(), back->fromNode());
    EXPECT_EQ(there->direction(), LinkDirection::Inbound);
    EXPECT_EQ(back->direction(), LinkDirection::Outbound);
    for (const Link* link : {there, back}) {
        EXPECT_EQ(link->numLanes(), 3);
        EXPECT_EQ(link->capacity(), 2000);
        EXPECT_EQ(link->ffSpeed(), 50); // 80.4 km/h is 49.96 mph
        expectLength(link, 1.2 / 1.609344);
    }
    EXPECT_EQ(network.links()[0]->ffSpeed(), 62); // 100 km/h is 62.14 mph
    // Links keep their rows' order, and an undirected row its pair together; node 1.0 is node 1,
    // as tools that write every number with decimals give it.
    EXPECT_EQ(network.links()[0]->numLanes(), 2);
    EXPECT_EQ(network.links()[0]->fromNode(), network.nodes()[0]);
}

TEST(GmnsImport, ReportsUnreadableCellsByRowAndFieldAndKeepsTheRest) {
    GmnsFolder folder(kSquareNodes,
                      "link_id,from_node_id,to_node_id,directed,lanes,capacity,free_speed,length\n"
                      "1,1,2,1,two,1800,55,\n"
                      "2,2,3,maybe,0,1700,fast,\n",
                      kMilesConfig);
    Network network;
    const Imported in = importAll(folder.path(), network);
    ASSERT_TRUE(in.ok) << in.why;
    ASSERT_EQ(network.links().size(), 2u);
    const std::string warnings = joined(in.result.warnings);
    EXPECT_NE(warnings.find("link.csv row 2, lanes: \"two\" is not a number."), std::string::npos)
        << warnings;
    EXPECT_NE(warnings.find("link.csv row 3, free_speed: \"fast\" is not a number."),
              std::string::npos)
        << warnings;
    EXPECT_NE(warnings.find("link.csv row 3, directed: \"maybe\""), std::string::npos) << warnings;
    EXPECT_EQ(network.links()[0]->numLanes(), 0);
    EXPECT_EQ(network.links()[0]->capacity(), 1800);
    EXPECT_EQ(network.links()[0]->ffSpeed(), 55);
    // Zero lanes are what the file says, not a value to be mended.
    EXPECT_EQ(network.links()[1]->numLanes(), 0);
    EXPECT_EQ(network.links()[1]->capacity(), 1700);
    EXPECT_TRUE(network.links()[1]->hasAutomaticLength());

    // A column of unreadable cells is told row by row for the first ten, then counted.
    std::string links = "link_id,from_node_id,to_node_id,lanes\n";
    for (int i = 0; i < 13; ++i)
        links += std::to_string(i) + ",1,2,x\n";
    GmnsFolder many(kSquareNodes, links, kMilesConfig);
    Network other;
    const Imported all = importAll(many.path(), other);
    ASSERT_TRUE(all.ok) << all.why;
    EXPECT_EQ(other.links().size(), 13u);
    ASSERT_EQ(all.result.warnings.size(), 11u) << joined(all.result.warnings);
    EXPECT_EQ(all.result.warnings[9], "link.csv row 11, lanes: \"x\" is not a number.");
    EXPECT_EQ(all.result.warnings[10], "link.csv, lanes: 3 more rows cannot be read either.");
}

TEST(GmnsImport, RefusesBrokenSourcesAndLeavesTheNetworkEmpty) {
    {
        GmnsFolder folder(kSquareNodes, "link_id,from_node_id,to_node_id\n1,1,2\n2,2,7\n",
                          kMilesConfig);
        Network network;
        const Imported in = importAll(folder.path(), network);
        EXPECT_FALSE(in.ok);
        EXPECT_NE(in.why.find("link.csv row 3, to_node_id: node \"7\" does not exist"),
                  std::string::npos)
            << in.why;
        EXPECT_TRUE(network.links().empty());
        EXPECT_TRUE(network.nodes().empty());
    }
    {
        GmnsFolder folder(kSquareNodes, "link_id,from_node_id,to_node_id\n1,,2\n", kMilesConfig);
        Network network;
        const Imported in = importAll(folder.path(), network);
        EXPECT_FALSE(in.ok);
        EXPECT_NE(in.why.find("link.csv row 2, from_node_id: empty"), std::string::npos) << in.why;
    }
    {
        TestDir dir;
        spit(dir.file("link.csv"), "link_id,from_node_id,to_node_id\n1,1,2\n");
        Network network;
        const Imported in = importAll(dir.path().string(), network);
        EXPECT_FALSE(in.ok);
        EXPECT_NE(in.why.find("it has no node.csv"), std::string::npos) << in.why;
    }
    {
        GmnsFolder folder(kSquareNodes, "link_id,from_node_id,to_node_id\n1,1,2\n",
                          "long_length,speed,crs\nmiles,mph,999999\n");
        Network network;
        const Imported in = importAll(folder.path(), network);
        EXPECT_FALSE(in.ok);
        EXPECT_NE(in.why.find("PROJ does not know the CRS \"EPSG:999999\""), std::string::npos)
            << in.why;
        EXPECT_TRUE(network.nodes().empty());
    }
    {
        GmnsFolder folder(kSquareNodes, "link_id,from_node_id,to_node_id,name\n1,1,2,\"open\n",
                          kMilesConfig);
        Network network;
        const Imported in = importAll(folder.path() + "/link.csv", network);
        EXPECT_FALSE(in.ok);
        EXPECT_NE(in.why.find("link.csv row 2: a quoted field is never closed"), std::string::npos)
            << in.why;
    }
}

TEST(GmnsImport, ReadsQuotedCellsLineEndsAndByteOrderMark) {
    GmnsFolder folder("\xEF\xBB\xBFnode_id,x_coord,y_coord\r\n1,0,0\r\n2,1,0\r\n",
                      "LINK_ID,A,B,Lanes,\"Street\"\r\n"
                      "1,1,2,2,\"Main St, \"\"north\"\"\r\nside\"\r\n",
                      "long_length,speed,crs\nmile,mph,EPSG:3857\n");
    Network network;
    const Imported in = importAll(folder.path(), network);
    ASSERT_TRUE(in.ok) << in.why;
    ASSERT_EQ(network.links().size(), 1u);
    EXPECT_EQ(network.links()[0]->description(), "Main St, \"north\"\r\nside");
    EXPECT_EQ(network.links()[0]->numLanes(), 2);
}

TEST(LengthUnits, LengthsThatFitAnotherUnitAreReadInIt) {
    // Lengths in metres stated as kilometres: 1.1 mile is 1770 metres.
    GmnsFolder folder("node_id,x_coord,y_coord\n1,0,0\n2,1770.28,0\n3,1770.28,1770.28\n",
                      "link_id,from_node_id,to_node_id,length\n1,1,2,1800\n2,2,3,1900\n",
                      "long_length,speed,crs\nkm,kmh,EPSG:32618\n");
    Network network;
    const Imported in = importAll(folder.path(), network);
    ASSERT_TRUE(in.ok) << in.why;
    EXPECT_NE(joined(in.result.warnings).find("read as metres, not kilometres"), std::string::npos)
        << joined(in.result.warnings);
    expectLength(network.links()[0], 1800 / 1609.344);
    expectLength(network.links()[1], 1900 / 1609.344);
}

TEST(LengthUnits, LengthsThatFitTheStatedUnitAreLeftAlone) {
    GmnsFolder folder("node_id,x_coord,y_coord\n1,0,0\n2,1609.344,0\n",
                      "link_id,from_node_id,to_node_id,length\n1,1,2,1.3\n",
                      "long_length,speed,crs\nmi,mph,EPSG:32618\n");
    Network network;
    const Imported in = importAll(folder.path(), network);
    ASSERT_TRUE(in.ok) << in.why;
    EXPECT_TRUE(in.result.warnings.empty()) << joined(in.result.warnings);
    EXPECT_EQ(network.links()[0]->storedLength(), 1.3f);
    EXPECT_NEAR(distance(network.links()[0]), 1.0, 1e-6);
}

// A GIS line layer without node ids, its fields named as other programs name them: links join
// where their lines end.
TEST(GisImport, LinesJoinWhereTheirEndsMeetAndFieldsMatchByCommonNames) {
    const ExchangeModule& module = exchangeModule();
    ASSERT_NE(module.api, nullptr) << module.failure;
    FeatureTable table;
    table.name = "roads";
    TableColumn lanes{"NUMLANES", FieldKind::Integer, {2, 3, 1}, {}, {}, {}};
    TableColumn cap{"Cap", FieldKind::Real, {}, {1800.4, 2000, 1500}, {}, {}};
    TableColumn speed{"SPEED", FieldKind::Integer, {45, 55, 30}, {}, {}, {}};
    TableColumn name{"street", FieldKind::Text, {}, {}, {"First", "Second", "Third"}, {}};
    table.columns = {lanes, cap, speed, name};
    // Three lines in UTM metres: the second starts where the first ends (give or take a
    // millimetre), the third runs from the second's end back to the first's start.
    table.xy = {500000,       4500000,    500500,      4500200,    501609.344,  4500000, 501609.345,
                4500000.0005, 501609.344, 4501609.344, 501609.344, 4501609.344, 500000,  4500000};
    table.starts = {0, 3, 5, 7};
    TestDir dir;
    const std::string path = dir.file("roads.gpkg");
    std::string why;
    ASSERT_TRUE(module.api->writeTables(path, "GPKG", "EPSG:32618", {}, {table}, why, {})) << why;

    Network network;
    const Imported in = importAll(path, network);
    ASSERT_TRUE(in.ok) << in.why;
    EXPECT_EQ(in.source.layer, "roads");
    EXPECT_EQ(in.source.lengthUnit, LengthUnit::Unknown);
    EXPECT_EQ(in.source.mapping[static_cast<std::size_t>(ImportField::Lanes)], "NUMLANES");
    EXPECT_EQ(in.source.mapping[static_cast<std::size_t>(ImportField::Capacity)], "Cap");
    EXPECT_EQ(in.source.mapping[static_cast<std::size_t>(ImportField::FreeSpeed)], "SPEED");
    EXPECT_EQ(in.source.mapping[static_cast<std::size_t>(ImportField::Description)], "street");
    ASSERT_EQ(network.links().size(), 3u);
    EXPECT_EQ(network.nodes().size(), 3u);
    const auto& links = network.links();
    EXPECT_EQ(links[0]->toNode(), links[1]->fromNode());
    EXPECT_EQ(links[1]->toNode(), links[2]->fromNode());
    EXPECT_EQ(links[2]->toNode(), links[0]->fromNode());
    EXPECT_EQ(links[0]->numLanes(), 2);
    EXPECT_EQ(links[0]->capacity(), 1800);
    EXPECT_EQ(links[1]->ffSpeed(), 55);
    EXPECT_EQ(links[2]->description(), "Third");
    EXPECT_NEAR(distance(links[1]), 1.0, 1e-5);
    EXPECT_EQ(network.georeference().crs, "EPSG:32618");
}

// A layer that states no CRS, its lines in feet on a plane and its nodes named by FNODE and TNODE:
// the network keeps the plane's distances and is not placed.
TEST(GisImport, ALayerWithoutACrsIsAPlaneInTheLengthUnit) {
    TestDir dir;
    const std::string path = dir.file("lines.csv");
    spit(path, "WKT,FNODE,TNODE,LANES\n"
               "\"LINESTRING (1000 2000,6280 2000)\",7,8,2\n"
               "\"LINESTRING (6280 2000,6280 4640)\",8,9,3\n");
    Network network;
    const Imported in = importAll(path, network, LengthUnit::Feet);
    ASSERT_TRUE(in.ok) << in.why;
    EXPECT_FALSE(network.georeference().placed());
    EXPECT_NE(joined(in.result.warnings).find("states no CRS"), std::string::npos)
        << joined(in.result.warnings);
    ASSERT_EQ(network.links().size(), 2u);
    EXPECT_EQ(network.nodes().size(), 3u);
    EXPECT_EQ(network.links()[0]->toNode(), network.links()[1]->fromNode());
    EXPECT_NEAR(distance(network.links()[0]), 1.0, 1e-6);
    EXPECT_NEAR(distance(network.links()[1]), 0.5, 1e-6);
    EXPECT_EQ(network.links()[1]->numLanes(), 3);
}

} // namespace

} // namespace vantry
