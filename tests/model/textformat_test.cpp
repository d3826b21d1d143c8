#include "model/network.h"
#include "model_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using model_test::addLinkBetween;
using model_test::addNodeAt;

// Two nodes joined by a two-way road; the second link line ends with two spaces (type None and
// an empty description).
const std::string kTwoWayRoad = "KX101\n"
                                "0.000 0.000\n"
                                "1.500 0.000\n"
                                "EndNodes\n"
                                "1 2 2 1400 1.500 50 190 I M Main St\n"
                                "2 1 2 1400 1.500 50 190 O  \n"
                                "EndLinks\n"
                                "\n"
                                "0.000 0.000 0.000 0.000\n";

std::string withCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// kTwoWayRoad with its 1-based line `number` replaced.
std::string withLine(int number, const std::string& replacement) {
    std::istringstream in(kTwoWayRoad);
    std::string line, out;
    for (int i = 1; std::getline(in, line); ++i)
        out += (i == number ? replacement : line) + "\n";
    return out;
}

// The first `count` lines of kTwoWayRoad.
std::string firstLines(int count) {
    std::istringstream in(kTwoWayRoad);
    std::string line, out;
    for (int i = 0; i < count && std::getline(in, line); ++i)
        out += line + "\n";
    return out;
}

void buildTwoWayRoad(Network& net) {
    Node* a = addNodeAt(net, 0.0f, 0.0f);
    Node* b = addNodeAt(net, 1.5f, 0.0f);
    for (Link* l : {addLinkBetween(net, a, b), addLinkBetween(net, b, a)}) {
        l->setNumLanes(2);
        l->setCapacity(1400);
        l->setFFSpeed(50);
        l->setJamDensity(190);
    }
    net.links()[0]->setType(Mainline);
    net.links()[0]->setDescription("Main St");
    net.links()[1]->setDirection(Outbound);
}

// ---- Writing ----------------------------------------------------------------------------------

TEST(NetworkWrite, TwoWayRoadIsWrittenByteForByte) {
    Network net;
    buildTwoWayRoad(net);
    std::ostringstream out;
    ASSERT_TRUE(net.write(out));
    EXPECT_EQ(out.str(), kTwoWayRoad);
    EXPECT_TRUE(out.flags() & std::ios_base::fixed);
    EXPECT_EQ(out.precision(), 3);
    EXPECT_EQ(net.toText(), kTwoWayRoad);
}

TEST(NetworkWrite, EmptyNetworkWritesOnlyTheFrameAndReadsBack) {
    Network net;
    const std::string expected = "KX101\nEndNodes\nEndLinks\n\n0.000 0.000 0.000 0.000\n";
    EXPECT_EQ(net.toText(), expected);
    Network back;
    ASSERT_TRUE(back.readText(expected));
    EXPECT_TRUE(back.nodes().empty());
    EXPECT_TRUE(back.links().empty());
}

TEST(NetworkWrite, ReportsAFailedStream) {
    Network net;
    std::ostringstream out;
    out.setstate(std::ios_base::badbit);
    EXPECT_FALSE(net.write(out));
}

struct PrecisionCase {
    int precision;
    int written;
    const char* nodeLine;
};

class WritePrecision : public ::testing::TestWithParam<PrecisionCase> {};

TEST_P(WritePrecision, RoundsToTheHeldPrecision) {
    Network net;
    addNodeAt(net, 1.23456f, -2.0f);
    net.setPrecision(GetParam().precision);
    EXPECT_EQ(net.writtenPrecision(), GetParam().written);
    std::istringstream text(net.toText());
    std::string line;
    std::getline(text, line);
    std::getline(text, line);
    EXPECT_EQ(line, GetParam().nodeLine);
    EXPECT_EQ(net.precision(), GetParam().precision);
}

INSTANTIATE_TEST_SUITE_P(
    Decimals, WritePrecision,
    ::testing::Values(PrecisionCase{3, 3, "1.235 -2.000"}, PrecisionCase{1, 1, "1.2 -2.0"},
                      PrecisionCase{0, 0, "1 -2"}, PrecisionCase{-4, 0, "1 -2"},
                      PrecisionCase{12, 12, "1.234560012817 -2.000000000000"},
                      PrecisionCase{40, 12, "1.234560012817 -2.000000000000"}));

TEST(NetworkWrite, LineBreaksInTextBecomeSingleSpaces) {
    Network net;
    Link* l = addLinkBetween(net, addNodeAt(net, 0, 0), addNodeAt(net, 1, 0));
    l->setDescription("a\r\nb\nc\rd\n\ne");
    net.setBitmap("maps\r\nold.bmp", WorldRect{});
    const std::string text = net.toText();
    EXPECT_NE(text.find("1.000 0 0 I  a b c d  e\nEndLinks\nmaps old.bmp\n"), std::string::npos)
        << text;
    Network back;
    ASSERT_TRUE(back.readText(text));
    EXPECT_EQ(back.links()[0]->description(), "a b c d  e");
    EXPECT_EQ(back.bitmapPath(), "maps old.bmp");
}

TEST(LineWriters, UseTheStreamsOwnNotation) {
    Node a(WorldPoint{1.5f, 0.0f});
    Node b(WorldPoint{0.25f, 2.0f});
    Link l;
    l.setFromNode(&a);
    l.setToNode(&b);
    l.setLength(4.5f);
    l.setType(Detour2);

    std::ostringstream plain;
    a.writeLine(plain);
    l.writeLine(plain, NodeNumbering{{&a, 7}});
    EXPECT_EQ(plain.str(), "1.5 0\n7 0 0 0 4.5 0 0 I D2 \n");

    std::ostringstream fixed;
    fixed << std::fixed;
    fixed.precision(2);
    b.writeLine(fixed);
    EXPECT_EQ(fixed.str(), "0.25 2.00\n");

    l.setFromNode(nullptr);
    l.setToNode(nullptr);
}

// ---- Reading ----------------------------------------------------------------------------------

TEST(NetworkRead, TwoWayRoadFileReadsBackToTheSameBytes) {
    std::ifstream file(VANTRY_TEST_DATA "/model/two_way_road.txt");
    Network net;
    std::string why;
    ASSERT_TRUE(net.read(file, &why)) << why;
    EXPECT_EQ(net.toText(), kTwoWayRoad);
    ASSERT_EQ(net.links().size(), 2u);
    const Link* back = net.links()[1];
    EXPECT_EQ(std::tuple(back->id(), back->fromNode(), back->toNode(), back->direction()),
              std::tuple(2, net.nodes()[1], net.nodes()[0], Outbound));
    EXPECT_TRUE(back->hasAutomaticLength());
    EXPECT_EQ(net.bounds(), (WorldRect{0, 0, 0, 1.5f}));
}

TEST(NetworkRead, CrLfLineEndsReadTheSameAsLf) {
    Network lf, crlf;
    ASSERT_TRUE(lf.readText(kTwoWayRoad));
    std::string why;
    std::istringstream in(withCrLf(kTwoWayRoad));
    ASSERT_TRUE(crlf.read(in, &why)) << why;
    EXPECT_EQ(crlf.toText(), lf.toText());
    EXPECT_EQ(crlf.links()[0]->description(), "Main St");
    EXPECT_EQ(crlf.links()[1]->description(), "");
}

TEST(NetworkRead, RoundTripKeepsEverythingButTheTwoWaySide) {
    Network net;
    Node* n1 = addNodeAt(net, 0.0f, 0.0f);
    Node* n2 = addNodeAt(net, 0.75f, 0.0f);
    Node* n3 = addNodeAt(net, 0.0f, -1.0f);
    const LinkType types[] = {Mainline, Workzone, Detour1, Detour2, Ramp, None};
    const std::pair<Node*, Node*> ends[] = {{n1, n2}, {n2, n3}, {n3, n1},
                                            {n3, n2}, {n1, n3}, {n2, n1}};
    for (int i = 0; i < 6; ++i) {
        Link* l = addLinkBetween(net, ends[i].first, ends[i].second);
        l->setNumLanes(i + 1);
        l->setCapacity(-100 * i);
        l->setFFSpeed(30 + i);
        l->setJamDensity(150 + i);
        l->setDirection(i % 2 ? Outbound : Inbound);
        l->setType(types[i]);
        l->setDescription("road " + std::to_string(i));
        l->setTwoWaySide(2);
    }
    net.links()[2]->setLength(9.87654f);
    net.setBitmap("maps/area one.bmp", WorldRect{10.0f, -2.0f, -3.25f, 7.5f});

    const std::string text = net.toText();
    EXPECT_NE(text.find("\nmaps/area one.bmp\n10.000 -3.250 -2.000 7.500\n"), std::string::npos);
    Network back;
    std::string why;
    ASSERT_TRUE(back.readText(text, &why)) << why;
    EXPECT_EQ(back.toText(), text);
    ASSERT_EQ(back.links().size(), 6u);
    for (int i = 0; i < 6; ++i) {
        const Link* l = back.links()[i];
        EXPECT_EQ(std::tuple(l->id(), l->fromNode()->id(), l->toNode()->id(), l->numLanes(),
                             l->capacity(), l->ffSpeed(), l->jamDensity(), l->direction(),
                             l->type(), l->description(), l->twoWaySide()),
                  std::tuple(i + 1, ends[i].first->id(), ends[i].second->id(), i + 1, -100 * i,
                             30 + i, 150 + i, i % 2 ? Outbound : Inbound, types[i],
                             "road " + std::to_string(i), 0));
        EXPECT_EQ(l->hasAutomaticLength(), i != 2) << i;
    }
    EXPECT_FLOAT_EQ(back.links()[2]->effectiveLength(), 9.877f);
    EXPECT_EQ(back.bitmapPath(), "maps/area one.bmp");
    EXPECT_EQ(back.bitmapRect(), (WorldRect{10.0f, -2.0f, -3.25f, 7.5f}));
    EXPECT_EQ(back.bounds(), (WorldRect{0.0f, -1.0f, 0.0f, 0.75f}));
}

TEST(NetworkRead, AutomaticLengthStaysAutomaticOnlyIfTheRoundedValueIsCloseEnough) {
    Network net;
    Node* origin = addNodeAt(net, 0, 0);
    addLinkBetween(net, origin, addNodeAt(net, 1.23456f, 0)); // written 1.235 both times
    addLinkBetween(net, origin, addNodeAt(net, 1, 1));        // 1.414 is 0.0002 short
    Network back;
    ASSERT_TRUE(back.readText(net.toText()));
    EXPECT_TRUE(back.links()[0]->hasAutomaticLength());
    EXPECT_FALSE(back.links()[1]->hasAutomaticLength());
    EXPECT_FLOAT_EQ(back.links()[1]->effectiveLength(), 1.414f);
}

struct DescriptionCase {
    const char* name;
    LinkType type;
    const char* description;
};

class DescriptionRoundTrip : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(DescriptionRoundTrip, ComesBackUnchanged) {
    Network net;
    Link* l = addLinkBetween(net, addNodeAt(net, 0, 0), addNodeAt(net, 1, 1));
    l->setType(GetParam().type);
    l->setDescription(GetParam().description);
    Network back;
    ASSERT_TRUE(back.readText(net.toText()));
    EXPECT_EQ(back.links()[0]->type(), GetParam().type);
    EXPECT_EQ(back.links()[0]->description(), GetParam().description);
}

INSTANTIATE_TEST_SUITE_P(Spaces, DescriptionRoundTrip,
                         ::testing::Values(DescriptionCase{"Empty", Mainline, ""},
                                           DescriptionCase{"EmptyNone", None, ""},
                                           DescriptionCase{"Plain", None, "Elm Street"},
                                           DescriptionCase{"Leading", Workzone, "  lane closed"},
                                           DescriptionCase{"LeadingNone", None, " lane closed"},
                                           DescriptionCase{"Trailing", Ramp, "exit 4   "},
                                           DescriptionCase{"TrailingNone", None, "exit 4 "},
                                           DescriptionCase{"Repeated", Detour1, "a  b   c"},
                                           DescriptionCase{"OnlySpacesNone", None, "   "},
                                           DescriptionCase{"LooksLikeACode", None, "WZ ahead"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NetworkRead, NodeSectionMayBeEmptyAndPrecisionIsNotRead) {
    Network net;
    net.setPrecision(6);
    ASSERT_TRUE(net.readText("KX101\nEndNodes\nEndLinks\nback.bmp\n1 2 3 4"));
    EXPECT_TRUE(net.nodes().empty());
    EXPECT_EQ(net.bitmapPath(), "back.bmp");
    EXPECT_EQ(net.bitmapRect(), (WorldRect{1, 3, 2, 4}));
    EXPECT_EQ(net.bounds(), WorldRect{});
    EXPECT_EQ(net.precision(), 6);
}

// ---- Refusals ---------------------------------------------------------------------------------

struct RefusalCase {
    const char* name;
    std::string text;
    int line;
};

class NetworkRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(NetworkRefusal, NamesTheOffendingLine) {
    Network net;
    std::string why;
    EXPECT_FALSE(net.readText(GetParam().text, &why));
    EXPECT_EQ(why.rfind("line " + std::to_string(GetParam().line) + ": ", 0), 0u) << why;
    for (const Node* n : net.nodes())
        for (const Link* l : n->links())
            EXPECT_NE(std::find(net.links().begin(), net.links().end(), l), net.links().end())
                << "a refused link is still attached to node " << n->id();
}

INSTANTIATE_TEST_SUITE_P(
    Lines, NetworkRefusal,
    ::testing::Values(
        RefusalCase{"TagWithTrailingSpace", withLine(1, "KX101 "), 1},
        RefusalCase{"LowerCaseTag", withLine(1, "kx101"), 1},
        RefusalCase{"NodeWithOneNumber", withLine(3, "1.5"), 3},
        RefusalCase{"NodeNotANumber", withLine(2, "east 0"), 2},
        RefusalCase{"BlankNodeLine", withLine(3, ""), 3},
        RefusalCase{"NodeNan", withLine(3, "nan 0"), 3},
        RefusalCase{"NodeInfinity", withLine(2, "0 inf"), 2},
        RefusalCase{"NodeFloatOverflow", withLine(3, "1e999 0"), 3},
        RefusalCase{"LinkWithoutDirection", withLine(5, "1 2 2 1400 1.500 50 190"), 5},
        RefusalCase{"LinkMissingANumber", withLine(6, "2 1 2 1400 1.500 50 O  "), 6},
        RefusalCase{"LinkWordForLanes", withLine(5, "1 2 two 1400 1.500 50 190 I M"), 5},
        RefusalCase{"LinkUndefinedNode", withLine(5, "1 3 2 1400 1.500 50 190 I M Main St"), 5},
        RefusalCase{"LinkNodeZero", withLine(6, "0 1 2 1400 1.500 50 190 O  "), 6},
        RefusalCase{"LinkNegativeNode", withLine(6, "2 -1 2 1400 1.500 50 190 O  "), 6},
        RefusalCase{"LinkNanLength", withLine(6, "2 1 2 1400 nan 50 190 O  "), 6},
        RefusalCase{"LinkInfiniteLength", withLine(5, "1 2 2 1400 -inf 50 190 I M"), 5},
        RefusalCase{"LinkCapacityOverflow", withLine(5, "1 2 2 2147483648 1.5 50 190 I M"), 5},
        RefusalCase{"LinkLanesUnderflow", withLine(6, "2 1 -2147483649 1400 1.5 50 190 O "), 6},
        RefusalCase{"LinkNodeNumberOverflow", withLine(5, "99999999999 2 2 1400 1.5 50 190 I"), 5},
        RefusalCase{"RectangleNan", withLine(9, "0 nan 0 0"), 9},
        RefusalCase{"RectangleThreeNumbers", withLine(9, "0 0 0"), 9},
        RefusalCase{"EndsAfterThePath", firstLines(8), 9},
        RefusalCase{"CrLfCountsLinesTheSame", withCrLf(withLine(6, "2 1 2 1400 1.5")), 6}),
    [](const auto& info) { return std::string(info.param.name); });

struct TruncationCase {
    const char* name;
    std::string text;
    const char* missing;
};

class NetworkTruncation : public ::testing::TestWithParam<TruncationCase> {};

TEST_P(NetworkTruncation, IsRefusedAndSaysWhatIsMissing) {
    Network net;
    std::string why;
    EXPECT_FALSE(net.readText(GetParam().text, &why));
    EXPECT_NE(why.find(GetParam().missing), std::string::npos) << why;
}

INSTANTIATE_TEST_SUITE_P(
    Ends, NetworkTruncation,
    ::testing::Values(TruncationCase{"Empty", "", "empty"},
                      TruncationCase{"AfterTheTag", firstLines(1), "EndNodes"},
                      TruncationCase{"InNodes", firstLines(3), "EndNodes"},
                      TruncationCase{"AfterEndNodes", firstLines(4), "EndLinks"},
                      TruncationCase{"InLinks", firstLines(5), "EndLinks"},
                      TruncationCase{"AfterEndLinks", firstLines(7), "background"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NetworkRead, RefusalAfterTheNodesKeepsWhatWasRead) {
    Network net;
    EXPECT_FALSE(net.readText(firstLines(7)));
    EXPECT_EQ(net.nodes().size(), 2u);
    EXPECT_EQ(net.links().size(), 2u);
}

TEST(NetworkRead, FailedStreamAddsNothing) {
    std::istringstream in(kTwoWayRoad);
    in.setstate(std::ios_base::failbit);
    Network net;
    EXPECT_FALSE(net.read(in));
    EXPECT_TRUE(net.nodes().empty());
}

// ---- Line readers -----------------------------------------------------------------------------

TEST(NodeLine, ReadsTwoNumbersAndIgnoresTheRest) {
    Node n;
    EXPECT_TRUE(n.readLine("  -1.25\t+2e1 anything"));
    EXPECT_EQ(n.position(), (WorldPoint{-1.25f, 20.0f}));
    std::string why;
    EXPECT_FALSE(n.readLine("3.5 north", &why));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(n.position(), (WorldPoint{-1.25f, 20.0f}));
}

struct LinkLineCase {
    const char* name;
    const char* line;
    int from, to, lanes, capacity;
    float length;
    bool automatic;
    int speed, jam;
    LinkDirection direction;
    LinkType type;
    const char* description;
};

class LinkLine : public ::testing::TestWithParam<LinkLineCase> {};

TEST_P(LinkLine, Parses) {
    // Nodes 1..5 on the x axis, one mile apart.
    std::vector<Node> nodes(5);
    NodeTable table{nullptr};
    for (int i = 0; i < 5; ++i) {
        nodes[i].setPosition({static_cast<float>(i), 0.0f});
        table.push_back(&nodes[i]);
    }
    const LinkLineCase& c = GetParam();
    Link l;
    std::string why;
    ASSERT_TRUE(l.readLine(c.line, table, &why)) << why;
    EXPECT_EQ(l.fromNode(), table[c.from]);
    EXPECT_EQ(l.toNode(), table[c.to]);
    EXPECT_TRUE(table[c.from]->links().contains(&l));
    EXPECT_EQ(l.numLanes(), c.lanes);
    EXPECT_EQ(l.capacity(), c.capacity);
    EXPECT_FLOAT_EQ(l.effectiveLength(), c.length);
    EXPECT_EQ(l.hasAutomaticLength(), c.automatic);
    EXPECT_EQ(l.ffSpeed(), c.speed);
    EXPECT_EQ(l.jamDensity(), c.jam);
    EXPECT_EQ(l.direction(), c.direction);
    EXPECT_EQ(l.type(), c.type);
    EXPECT_EQ(l.description(), c.description);
    l.setFromNode(nullptr);
    l.setToNode(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LinkLine,
    ::testing::Values(LinkLineCase{"Backwards", "5 2 3 1800 3.000 55 200 I WZ Exit", 5, 2, 3, 1800,
                                   3.0f, true, 55, 200, Inbound, Workzone, "Exit"},
                      LinkLineCase{"ExplicitLength", "1 2 2 1400 1.5 50 190 O R ramp", 1, 2, 2,
                                   1400, 1.5f, false, 50, 190, Outbound, Ramp, "ramp"},
                      LinkLineCase{"NearlyTheDistance", "1 3 2 1400 2.00004 50 190 I D1 x", 1, 3, 2,
                                   1400, 2.0f, true, 50, 190, Inbound, Detour1, "x"},
                      LinkLineCase{"ExtraBlanksAndSigns", "  4\t1  +2 1400   3 -5 190   o D2 far",
                                   4, 1, 2, 1400, 3.0f, true, -5, 190, Outbound, Detour2, "far"},
                      LinkLineCase{"NoTypeNoDescription", "2 3 1 900 1.0 40 150 I", 2, 3, 1, 900,
                                   1.0f, true, 40, 150, Inbound, None, ""},
                      LinkLineCase{"TypeWithoutDescription", "2 3 1 900 1.0 40 150 I M", 2, 3, 1,
                                   900, 1.0f, true, 40, 150, Inbound, Mainline, ""},
                      LinkLineCase{"UnknownTypeIsNone", "2 3 1 900 1.0 40 150 I m  two", 2, 3, 1,
                                   900, 1.0f, true, 40, 150, Inbound, None, " two"},
                      LinkLineCase{"SelfLoop", "3 3 1 900 0.5 40 150 I  loop", 3, 3, 1, 900, 0.5f,
                                   false, 40, 150, Inbound, None, "loop"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
