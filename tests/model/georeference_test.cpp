#include "model/network.h"
#include "model/snapshot.h"
#include "model_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace vantry {

namespace {

using model_test::addLinkBetween;
using model_test::addNodeAt;
using model_test::exactDump;

// Two nodes, a link each way and a background: what a small saved network holds.
void buildRoad(Network& net) {
    Node* a = addNodeAt(net, 0.0f, 0.0f);
    Node* b = addNodeAt(net, 1.5f, -0.25f);
    addLinkBetween(net, a, b)->setDescription("Main St");
    addLinkBetween(net, b, a);
    net.setBitmap("map.png", WorldRect{2.0f, -1.0f, -0.5f, 3.0f});
}

const Georeference kLongIsland{"EPSG:2263", 1012345.6789012345, -0.1};

// ---- Keeping one ------------------------------------------------------------------------------

TEST(Georeference, ANetworkKeepsOnlyWhatAFileCanGiveBack) {
    Network net;
    EXPECT_FALSE(net.georeference().placed());
    ASSERT_TRUE(net.setGeoreference({"  +proj=utm +zone=18 +datum=WGS84  ", 5.0, 6.0}));
    EXPECT_EQ(net.georeference(), (Georeference{"+proj=utm +zone=18 +datum=WGS84", 5.0, 6.0}));

    const std::pair<Georeference, const char*> refused[] = {
        {{"EPSG:2263\nEPSG:4326", 0, 0}, "line break"},
        {{"EPSG:2263\r", 0, 0}, "line break"},
        {{"+proj=utm\t+zone=18", 0, 0}, "control character"},
        {{std::string("EPSG:\0"
                      "2263",
                      10),
          0, 0},
         "control character"},
        {{"EPSG:2263", std::nan(""), 0}, "finite"},
        {{"EPSG:2263", 0, std::numeric_limits<double>::infinity()}, "finite"}};
    for (const auto& [g, reason] : refused) {
        std::string why;
        EXPECT_FALSE(net.setGeoreference(g, &why)) << g.crs;
        EXPECT_NE(why.find(reason), std::string::npos) << why;
        EXPECT_EQ(net.georeference().crs, "+proj=utm +zone=18 +datum=WGS84") << "left as it was";
    }

    // An unplaced network has no origin either, so that it equals every other unplaced one.
    ASSERT_TRUE(net.setGeoreference({"   ", 7.0, 8.0}));
    EXPECT_EQ(net.georeference(), Georeference{});

    Network other;
    net.setGeoreference(kLongIsland);
    net.swap(other);
    EXPECT_FALSE(net.georeference().placed());
    EXPECT_EQ(other.georeference(), kLongIsland);
    other.clear();
    EXPECT_FALSE(other.georeference().placed());
}

// ---- The text format --------------------------------------------------------------------------

TEST(Georeference, APlacedNetworkAddsOneLineThatReadsBackExactly) {
    Network unplaced, placed;
    buildRoad(unplaced);
    buildRoad(placed);
    ASSERT_TRUE(placed.setGeoreference(kLongIsland));
    // Everything before the line is what a reader of the unplaced format knows.
    EXPECT_EQ(placed.toText(),
              unplaced.toText() + "Georeference 1012345.6789012345 -0.1 EPSG:2263\n");

    // Origins that only the shortest exact digits give back, and a CRS with spaces in it.
    const Georeference origins[] = {
        {"+proj=sinu +lon_0=-73.9 +R=6362321.4 +units=m +no_defs", 0.1 + 0.2, -1e300},
        {"EPSG:32618", std::nextafter(583960.0, 0.0), -0.0},
        {"EPSG:2263", 5e-324, 1.0 / 3.0}};
    for (const Georeference& g : origins) {
        ASSERT_TRUE(placed.setGeoreference(g));
        Network back;
        std::string why;
        ASSERT_TRUE(back.readText(placed.toText(), &why)) << why;
        EXPECT_EQ(exactDump(back), exactDump(placed));
        EXPECT_EQ(back.toText(), placed.toText());
    }
}

TEST(Georeference, TheLineIsFoundAfterTheRectangleAndAnythingElseThereIsIgnored) {
    const std::string head = "KX101\n0 0\nEndNodes\nEndLinks\n\n";
    // {what follows the background path line, the georeference read}
    const std::pair<std::string, Georeference> cases[] = {
        {"1 2 3 4\n", {}},
        {"1 2 3 4 old notes\nGeoreference 10 20 EPSG:2263\n", {"EPSG:2263", 10, 20}},
        {"1 2\n3 4\r\n\r\n\tGeoreference\t+10\t2e1  EPSG:2263  \r\n", {"EPSG:2263", 10, 20}},
        {"1 2 3 4\nGeoreference 1 2 EPSG:2263\nGeoreference 3 4 EPSG:4326\n", {"EPSG:2263", 1, 2}},
        {"1 2 3 4\nNotes written by hand\nGeoreference 1 2 EPSG:2263\n", {}},
        {"1 2 3 4\nGeoreferenced by hand\n", {}},
        {"1 2 3 4", {}}};
    for (const auto& [tail, expected] : cases) {
        Network net;
        std::string why;
        ASSERT_TRUE(net.readText(head + tail, &why)) << tail << why;
        EXPECT_EQ(net.georeference(), expected) << tail;
        EXPECT_EQ(net.bitmapRect(), (WorldRect{1, 3, 2, 4})) << tail;
    }
}

TEST(Georeference, AMalformedLineIsRefusedWithItsNumber) {
    const std::string head = "KX101\n0 0\nEndNodes\nEndLinks\n\n";
    // {the rectangle and the georeference, the reason}; the rectangle spans two lines in the
    // last cases, which puts the georeference on line 8.
    const std::pair<std::string, std::string> cases[] = {
        {"1 2 3 4\nGeoreference\n", "line 7: the georeference's origin x is missing"},
        {"1 2 3 4\nGeoreference east 20 EPSG:2263\n", "line 7: the georeference's origin x"},
        {"1 2 3 4\nGeoreference 10\n", "line 7: the georeference's origin y is missing"},
        {"1 2 3 4\nGeoreference 10 20north EPSG:2263\n", "line 7: the georeference's origin y"},
        {"1 2 3 4\nGeoreference 10 nan EPSG:2263\n", "line 7: the georeference's origin y"},
        {"1 2 3 4\nGeoreference 10 20   \n", "line 7: the georeference names no CRS"},
        {"1 2\n3 4\nGeoreference 10 1e999 EPSG:2263\n", "line 8: the georeference's origin y"},
        {"1 2\n3 4\nGeoreference 1 2 EPSG:\x01"
         "2263\n",
         "line 8: the CRS holds a control"}};
    for (const auto& [tail, reason] : cases) {
        Network net;
        std::string why;
        EXPECT_FALSE(net.readText(head + tail, &why)) << tail;
        EXPECT_EQ(why.substr(0, reason.size()), reason) << why;
    }
}

// ---- Snapshots --------------------------------------------------------------------------------

TEST(Georeference, SnapshotsKeepItBitForBitAndTellARestoreThatItChanged) {
    Network net;
    buildRoad(net);
    ASSERT_TRUE(net.setGeoreference({"+proj=sinu +lon_0=179.9 +R=6362321.4", -0.0, 1e-310}));
    const std::string placedBytes = encodeSnapshot(net);
    Network back;
    std::string why;
    ASSERT_TRUE(decodeSnapshot(placedBytes, back, &why)) << why;
    EXPECT_EQ(exactDump(back), exactDump(net));
    EXPECT_TRUE(std::signbit(back.georeference().originX));

    // Taking the place away, or giving it back, is a change a restore reports however little
    // else changed.
    RestoreChanges changes;
    ASSERT_TRUE(net.setGeoreference({}));
    ASSERT_TRUE(restoreSnapshot(encodeSnapshot(net), back, &why, &changes)) << why;
    EXPECT_FALSE(back.georeference().placed());
    EXPECT_TRUE(changes.reshaped);
    ASSERT_TRUE(restoreSnapshot(placedBytes, back, &why, &changes)) << why;
    EXPECT_EQ(back.georeference().crs, "+proj=sinu +lon_0=179.9 +R=6362321.4");
    EXPECT_TRUE(changes.reshaped);
    ASSERT_TRUE(restoreSnapshot(placedBytes, back, &why, &changes)) << why;
    EXPECT_FALSE(changes.reshaped);

    // Every cut and every damaged size of the georeference is refused, the network untouched.
    const std::string before = exactDump(back);
    const std::size_t start = encodeSnapshot(net).size();
    std::vector<std::string> damaged;
    for (std::size_t size = start + 1; size < placedBytes.size(); ++size)
        damaged.push_back(placedBytes.substr(0, size));
    damaged.push_back(placedBytes + "x");
    std::string wrongTag = placedBytes;
    wrongTag[start] = 'X';
    damaged.push_back(wrongTag);
    std::string noCrs = placedBytes.substr(0, start + 24);
    noCrs[start + 20] = 0;
    damaged.push_back(noCrs);
    std::string notFinite = placedBytes;
    notFinite[start + 11] = '\x7f';
    notFinite[start + 10] = '\xf0';
    damaged.push_back(notFinite);
    for (const std::string& bytes : damaged) {
        EXPECT_FALSE(restoreSnapshot(bytes, back, &why)) << bytes.size();
        EXPECT_EQ(exactDump(back), before);
    }
}

TEST(Georeference, ASnapshotKeptBeforeNetworksHadAPlaceReadsAsUnplaced) {
    // Written by the snapshot code of the version before georeferences: two nodes, a link each
    // way (lanes 2, capacity 1800, 55 mph, jam 190, "Main St"; a typed 5.5 miles) and a picture.
    std::ifstream file(VANTRY_TEST_DATA "/model/unplaced-before-georeference.snapshot",
                       std::ios::binary);
    const std::string old{std::istreambuf_iterator<char>(file), {}};
    ASSERT_FALSE(old.empty());
    Network net;
    ASSERT_TRUE(net.setGeoreference(kLongIsland));
    std::string why;
    ASSERT_TRUE(restoreSnapshot(old, net, &why)) << why;
    EXPECT_FALSE(net.georeference().placed());
    ASSERT_EQ(net.links().size(), 2u);
    EXPECT_EQ(net.links()[0]->description(), "Main St");
    EXPECT_EQ(net.links()[0]->capacity(), 1800);
    EXPECT_EQ(net.links()[1]->storedLength(), 5.5f);
    EXPECT_EQ(net.bitmapPath(), "..\\maps\\area.bmp");
    // An unplaced network is still kept in exactly those bytes.
    EXPECT_EQ(encodeSnapshot(net), old);
}

} // namespace

} // namespace vantry
