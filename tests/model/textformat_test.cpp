#include "model/editing.h"
#include "model/network.h"
#include "model_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace vantry {

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
    for (char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// kTwoWayRoad with line `number` replaced (number 0: none), cut after `count` lines.
std::string editedRoad(int number, const std::string& replacement = "", int count = 9) {
    std::istringstream in(kTwoWayRoad);
    std::string line, out;
    for (int i = 1; i <= count && std::getline(in, line); ++i)
        out += (i == number ? replacement : line) + "\n";
    return out;
}

// Writes `net` and reads the text back into `back`.
void roundTrip(const Network& net, Network& back) {
    std::string why;
    ASSERT_TRUE(back.readText(net.toText(), &why)) << why;
}

// ---- Writing ----------------------------------------------------------------------------------

TEST(NetworkWrite, TwoWayRoadIsWrittenByteForByte) {
    Network net;
    Node* a = addNodeAt(net, 0.0f, 0.0f);
    Node* b = addNodeAt(net, 1.5f, 0.0f);
    createLink(net, a, b, LinkDefaults{2, 1400, 50, 190})->setType(LinkType::Mainline);
    createLink(net, b, a, LinkDefaults{2, 1400, 50, 190})->setDirection(LinkDirection::Outbound);
    net.links()[0]->setDescription("Main St");

    std::ostringstream out;
    ASSERT_TRUE(net.write(out));
    EXPECT_EQ(out.str(), kTwoWayRoad);
    EXPECT_EQ(net.toText(), kTwoWayRoad);

    EXPECT_EQ(Network().toText(), "KX101\nEndNodes\nEndLinks\n\n0.000 0.000 0.000 0.000\n");
    std::ostringstream failed;
    failed.setstate(std::ios_base::badbit);
    EXPECT_FALSE(net.write(failed));
}

TEST(NetworkWrite, PrecisionIsTheNumberOfDecimalsTheUserSet) {
    // A negative precision is a stream's default of 6; a large one shows the float's own
    // expansion, up to its last digit.
    const std::tuple<int, const char*> cases[] = {
        {0, "0 -2"},
        {1, "0.1 -2.0"},
        {-1, "0.123457 -2.000000"},
        {-40, "0.123457 -2.000000"},
        {15, "0.123456701636314 -2.000000000000000"},
        {30, "0.123456701636314392089843750000 -2.000000000000000000000000000000"}};
    for (const auto& [precision, nodeLine] : cases) {
        Network net;
        addNodeAt(net, 0.1234567f, -2.0f);
        net.setPrecision(precision);
        const std::string text = net.toText();
        EXPECT_EQ(text.substr(6, text.find("\nEndNodes") - 6), nodeLine) << precision;
    }
    // Past the smallest float's 149 decimals there is nothing left to show, and a huge setting
    // cannot blow a file up to gigabytes.
    Network tiny, back;
    addNodeAt(tiny, std::numeric_limits<float>::denorm_min(), 3e38f);
    tiny.setPrecision(std::numeric_limits<std::int32_t>::max());
    const std::string text = tiny.toText();
    EXPECT_LT(text.size(), 1000u);
    std::string why;
    ASSERT_TRUE(back.readText(text, &why)) << why;
    EXPECT_EQ(back.nodes()[0]->position(), tiny.nodes()[0]->position());
}

TEST(NetworkWrite, LineBreaksInTextBecomeSingleSpaces) {
    Network net;
    Link* l = addLinkBetween(net, addNodeAt(net, 0, 0), addNodeAt(net, 1, 0));
    l->setDescription("a\r\nb\nc\rd\n\ne");
    net.setBitmap("maps\r\nold.bmp", WorldRect{});
    const std::string text = net.toText();
    EXPECT_NE(text.find("1.000 0 0 I  a b c d  e\nEndLinks\nmaps old.bmp\n"), std::string::npos)
        << text;
    Network back;
    roundTrip(net, back);
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
    l.setType(LinkType::Detour2);
    std::ostringstream plain, fixed;
    a.writeLine(plain);
    l.writeLine(plain, NodeNumbering{{&a, 7}}); // b is not numbered
    EXPECT_EQ(plain.str(), "1.5 0\n7 0 0 0 4.5 0 0 I D2 \n");
    fixed << std::fixed;
    fixed.precision(2);
    b.writeLine(fixed);
    EXPECT_EQ(fixed.str(), "0.25 2.00\n");
    l.setFromNode(nullptr);
    l.setToNode(nullptr);
}

// ---- Reading ----------------------------------------------------------------------------------

TEST(NetworkRead, TwoWayRoadFileReadsBackToTheSameBytesWithLfOrCrLf) {
    std::ifstream file(VANTRY_TEST_DATA "/model/two_way_road.txt");
    std::istringstream crlfText(withCrLf(kTwoWayRoad));
    std::istream* inputs[] = {&file, &crlfText};
    for (std::istream* in : inputs) {
        Network net;
        std::string why;
        ASSERT_TRUE(net.read(*in, &why)) << why;
        ASSERT_EQ(net.toText(), kTwoWayRoad);
        EXPECT_TRUE(net.links()[0]->hasAutomaticLength() && net.links()[1]->hasAutomaticLength());
        EXPECT_EQ(net.bounds(), (WorldRect{0, 0, 0, 1.5f}));
    }
}

TEST(NetworkRead, RoundTripKeepsEverythingButTheTwoWaySide) {
    // Descriptions keep their spaces, wherever they are and whatever the type code.
    const std::pair<LinkType, const char*> links[] = {
        {LinkType::Mainline, ""},       {LinkType::None, ""},
        {LinkType::None, "Elm Street"}, {LinkType::Workzone, "  closed"},
        {LinkType::Detour2, "x"},       {LinkType::None, " closed"},
        {LinkType::Ramp, "exit 4   "},  {LinkType::Detour1, "a  b   c"},
        {LinkType::None, "   "},        {LinkType::None, "WZ ahead"}};
    Network net, back;
    Node* n[] = {addNodeAt(net, 0, 0), addNodeAt(net, 0.75f, 0), addNodeAt(net, 0, -1)};
    for (int i = 0; i < 10; ++i) {
        Link* l = createLink(net, n[i % 3], n[(i + 1 + i / 3) % 3], {i, -100 * i, 30 + i, 150});
        l->setDirection(i % 2 ? LinkDirection::Outbound : LinkDirection::Inbound);
        l->setType(links[i].first);
        l->setDescription(links[i].second);
        l->setTwoWaySide(2);
    }
    net.links()[2]->setLength(9.87654f);
    net.setBitmap("maps/area one.bmp", WorldRect{10.0f, -2.0f, -3.25f, 7.5f});
    EXPECT_NE(net.toText().find("\nmaps/area one.bmp\n10.000 -3.250 -2.000 7.500\n"),
              std::string::npos);

    roundTrip(net, back);
    EXPECT_EQ(back.toText(), net.toText());
    ASSERT_EQ(back.links().size(), 10u);
    for (int i = 0; i < 10; ++i) {
        const Link* l = back.links()[i];
        EXPECT_EQ(std::tuple(l->fromNode()->id(), l->toNode()->id(), l->numLanes(), l->capacity(),
                             l->ffSpeed(), l->direction(), l->type(), l->description()),
                  std::tuple(i % 3 + 1, (i + 1 + i / 3) % 3 + 1, i, -100 * i, 30 + i,
                             i % 2 ? LinkDirection::Outbound : LinkDirection::Inbound,
                             links[i].first, links[i].second));
        EXPECT_EQ(std::pair(l->hasAutomaticLength(), l->twoWaySide()), std::pair(i != 2, 0));
    }
    EXPECT_FLOAT_EQ(back.links()[2]->effectiveLength(), 9.877f);
    EXPECT_EQ(back.bitmapRect(), (WorldRect{10.0f, -2.0f, -3.25f, 7.5f}));
    EXPECT_EQ(back.bounds(), (WorldRect{0.0f, -1.0f, 0.0f, 0.75f}));
}

TEST(NetworkRead, AutomaticLengthsStayAutomaticAtEveryPrecision) {
    // At 3 decimals the rounded length used to differ from the distance between the rounded
    // nodes by more than 0.0001 mile for most links, which then stopped following their nodes.
    for (const int precision : {0, 1, 3, 6, -1}) {
        SCOPED_TRACE(precision);
        Network net, back, again;
        model_test::buildAwkwardLengths(net);
        net.setPrecision(precision);
        roundTrip(net, back);
        for (int i = 0; i < 40; ++i)
            EXPECT_TRUE(back.links()[i]->hasAutomaticLength()) << i;
        // A typed 0.01 mile shows only with two decimals or more.
        const bool fine = precision >= 2 || precision < 0;
        EXPECT_EQ(back.links()[40]->hasAutomaticLength(), !fine);
        EXPECT_FALSE(back.links()[41]->hasAutomaticLength());
        EXPECT_EQ(back.links()[42]->hasAutomaticLength(), !fine);
        // An automatic length was written as the distance between the nodes as written, so
        // the file saves again as it was; where a typed length became automatic, from the next
        // save on.
        back.setPrecision(precision);
        again.setPrecision(precision);
        if (fine) {
            EXPECT_EQ(back.toText(), net.toText());
        }
        roundTrip(back, again);
        EXPECT_EQ(again.toText(), back.toText());
    }
}

TEST(NetworkRead, ALengthIsAutomaticWithinTheRoundingOfTheNumbersAsWritten) {
    // {second node line, link line, automatic}; the first node is "0.000 0.000".
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"3.000 4.000", "1 2 1 1 5.001", true},         // 0.0005 + 2 * hypot(0.0005, 0.0005)
        {"3.000 4.000", "1 2 1 1 4.998", false},        // beyond that
        {"3.000 4.000", "1 2 1 1 5.0017", false},       // 0.00005 + 2 * hypot(0.0005, 0.0005)
        {"1.000 1.000", "1 2 1 1 1.414", true},         // 1.41421...
        {"3.000000 4.000000", "1 2 1 1 5.00009", true}, // never closer than 0.0001 mile
        {"3 4", "1 2 1 1 6", true}, // 0.5 + hypot(0.5, 0.5) + hypot(0.0005, 0.0005)
        {"3 4", "1 2 1 1 6.3", false},
        {"3000e-3 4000e-3", "1 2 1 1 4998e-3", false}, // as 3.000, 4.000 and 4.998
        {"3 4", "1 1 1 1 0.001", false}, // a node to itself stays 0 apart, however rounded
        {"3 4", "1 2 1 1 -2", true}};
    for (const auto& [node, link, automatic] : cases) {
        const std::string text = std::string("KX101\n0.000 0.000\n") + node + "\nEndNodes\n" +
                                 link + "\nEndLinks\n\n0 0 0 0\n";
        Network net;
        std::string why;
        ASSERT_TRUE(net.readText(text, &why)) << why;
        EXPECT_EQ(net.links()[0]->hasAutomaticLength(), automatic) << node << " / " << link;
    }
    // A line read on its own says nothing about how its nodes were rounded: 0.0001 mile.
    Network net;
    Link l;
    l.readLine("1 2 1 1 1.414", {nullptr, addNodeAt(net, 0, 0), addNodeAt(net, 1, 1)});
    EXPECT_FALSE(l.hasAutomaticLength());
    l.setFromNode(nullptr);
    l.setToNode(nullptr);
}

TEST(WrittenDecimals, CountTheDigitsAfterThePointAsTheTextShowsThem) {
    const std::pair<const char*, int> cases[] = {
        {"1.235", 3},  {"2", 0},     {"-0.50", 2},   {" +7.25\t", 2},          {".5", 1},
        {"1.5e-3", 4}, {"1.5E3", 0}, {"12.5e+1", 0}, {"1e-99999999999", 1000}, {"1e99999999999", 0},
        {"", 0},       {"abc", 0}};
    for (const auto& [text, decimals] : cases)
        EXPECT_EQ(writtenDecimals(text), decimals) << text;
}

TEST(NetworkRead, RefusalSaysWhatIsWrongAndWhere) {
    // {text, what the reason must contain}; then single bad lines, the link lines all on line 5.
    std::vector<std::pair<std::string, std::string>> cases = {
        {editedRoad(0, "", 8), "line 9: "},
        {withCrLf(editedRoad(6, "2 1 2 1400 1.5 fifty")), "line 6: "},
        {"", "empty"},
        {editedRoad(0, "", 1), "EndNodes"},
        {editedRoad(0, "", 4), "EndLinks"},
        {editedRoad(0, "", 7), "background"}};
    const std::pair<int, const char*> badLines[] = {
        {1, "KX101 "}, {1, "kx101"},   {2, "east 0"},    {3, "1.5 north"}, {3, "nan 0"},
        {2, "0 inf"},  {3, "1e999 0"}, {9, "0 nan 0 0"}, {9, "0 0 0"}};
    for (const auto& [number, replacement] : badLines)
        cases.emplace_back(editedRoad(number, replacement),
                           "line " + std::to_string(number) + ": ");
    for (const char* link : {"1 2 2 1400 1.500 50 I  ", "1 3 2 1400 1.500 50 190 I M", "1",
                             "0 1 2 1400 1.500 50 190 O  ", "2 -1 2 1400 1.500 50 190 O",
                             "2 1 2 1400 nan 50 190 O  ", "1 2 2 2147483648 1.5 50 190 I M"})
        cases.emplace_back(editedRoad(5, link), "line 5: ");
    for (const auto& [text, expected] : cases) {
        Network net;
        std::string why;
        EXPECT_FALSE(net.readText(text, &why)) << text;
        EXPECT_NE(why.find(expected), std::string::npos) << why;
        for (const Node* n : net.nodes())
            for (const Link* l : n->links())
                EXPECT_NE(std::find(net.links().begin(), net.links().end(), l), net.links().end())
                    << "a refused link is still attached to node " << n->id();
    }
}

TEST(NetworkRead, RefusesAnAutomaticLengthBeyondTheFloatRange) {
    // The nodes lie within the float range, but their distance does not: written as the link's
    // length it would make a file that cannot be read again.
    const std::string text = "KX101\n3e38 0\n-3e38 0\nEndNodes\n1 2 1 1 -1 1 1 I M\nEndLinks\n\n"
                             "0 0 0 0\n";
    Network net;
    std::string why;
    EXPECT_FALSE(net.readText(text, &why));
    EXPECT_NE(why.find("line 5: the link's automatic length"), std::string::npos) << why;
    EXPECT_TRUE(net.links().empty());
    for (const Node* n : net.nodes())
        EXPECT_TRUE(n->links().empty());

    // A length of its own is written as it is and reads back.
    Network stated;
    ASSERT_TRUE(stated.readText("KX101\n3e38 0\n-3e38 0\nEndNodes\n1 2 1 1 2.5 1 1 I M\n"
                                "EndLinks\n\n0 0 0 0\n",
                                &why))
        << why;
    Network back;
    roundTrip(stated, back);
    EXPECT_EQ(back.toText(), stated.toText());
}

TEST(NetworkRead, LinesAreReadLenientlyAndWrittenBackCanonically) {
    // {line number, line as read, as written back, first link's length automatic}
    const std::tuple<int, const char*, const char*, bool> cases[] = {
        {3, "  1.5\t+0e1 anything", "1.500 0.000", true},
        {5, "1 2 2 1400 2.5 50 190 O R ramp", "1 2 2 1400 2.500 50 190 O R ramp", false},
        {5, "  2\t1  +2 1400   1.5 -5 190   o D2 far", "2 1 2 1400 1.500 -5 190 O D2 far", true},
        {5, "1 2 1 900 1.5 40 150 I", "1 2 1 900 1.500 40 150 I  ", true},
        {5, "1 2 1 900 1.5 40 150 I M", "1 2 1 900 1.500 40 150 I M ", true},
        {5, "1 2 1 900 1.5 40 150 I m  two", "1 2 1 900 1.500 40 150 I   two", true},
        // Fields a line no longer reaches take their defaults, as they always have: direction
        // Inbound, type None, no description, an automatic length, zero for the rest.
        {5, "1 2 1 900 1.5 40 150", "1 2 1 900 1.500 40 150 I  ", true},
        {5, "1 2 1 900 1.5 40 150  \t", "1 2 1 900 1.500 40 150 I  ", true},
        {5, "1 2", "1 2 0 0 1.500 0 0 I  ", true},
        {3, "1.5", "1.500 0.000", true},
        {3, "", "0.000 0.000", false},
        // Blank lines among the links are no links.
        {6, "\n  \n2 1 2 1400 1.500 50 190 O  ", "2 1 2 1400 1.500 50 190 O  ", true}};
    for (const auto& [number, line, written, automatic] : cases) {
        Network net;
        std::string why;
        ASSERT_TRUE(net.readText(editedRoad(number, line), &why)) << line << ": " << why;
        EXPECT_EQ(net.toText(), editedRoad(number, written));
        EXPECT_EQ(net.links()[0]->hasAutomaticLength(), automatic) << line;
    }
}

} // namespace

} // namespace vantry
