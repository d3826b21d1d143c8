#include "model/network.h"
#include "model_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using model_test::addLinkBetween;
using model_test::addNodeAt;
using model_test::linkIds;
using model_test::nodeIds;
using ::testing::ElementsAre;

// ---- Lengths ----------------------------------------------------------------------------------

struct LengthCase {
    const char* name;
    float value; // offset from the node distance, or an absolute value when !relative
    bool relative;
    bool automatic;
};

class LinkSetLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(LinkSetLength, BecomesAutomaticOnlyWithinATenThousandthOfTheDistance) {
    Network net;
    Link* l = addLinkBetween(net, addNodeAt(net, 1, 1), addNodeAt(net, 4, 5)); // 5 miles
    const LengthCase& c = GetParam();
    const float v = c.relative ? 5.0f + c.value : c.value;
    l->setLength(v);
    EXPECT_EQ(l->hasAutomaticLength(), c.automatic);
    EXPECT_FLOAT_EQ(l->effectiveLength(), c.automatic ? 5.0f : v);
}

INSTANTIATE_TEST_SUITE_P(Tolerance, LinkSetLength,
                         ::testing::Values(LengthCase{"Exact", 0.0f, true, true},
                                           LengthCase{"SlightlyLonger", 0.00005f, true, true},
                                           LengthCase{"SlightlyShorter", -0.00005f, true, true},
                                           LengthCase{"Longer", 0.0002f, true, false},
                                           LengthCase{"Shorter", -0.0002f, true, false},
                                           LengthCase{"Zero", 0.0f, false, false},
                                           LengthCase{"Reset", -1.0f, false, true},
                                           LengthCase{"AnyNegative", -7.5f, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LinkLength, ExplicitLengthsStayWhenANodeMovesAndAutomaticOnesFollow) {
    Network net;
    Node* a = addNodeAt(net, 0, 0);
    Node* b = addNodeAt(net, 3, 0);
    Link* automatic = addLinkBetween(net, a, b);
    Link* fixed = addLinkBetween(net, b, a);
    fixed->setLength(7.0f);
    b->setPosition({3, 4});
    EXPECT_FLOAT_EQ(automatic->effectiveLength(), 5.0f);
    EXPECT_FLOAT_EQ(fixed->effectiveLength(), 7.0f);
}

TEST(LinkLength, IsZeroWhileANodeIsMissing) {
    Network net;
    Link* l = addLinkBetween(net, addNodeAt(net, 2, 2), nullptr);
    EXPECT_FLOAT_EQ(l->effectiveLength(), 0.0f);
    EXPECT_TRUE(l->hasAutomaticLength());
}

// ---- Codes ------------------------------------------------------------------------------------

class DirectionCode : public ::testing::TestWithParam<std::pair<char, LinkDirection>> {};

TEST_P(DirectionCode, OnlyOMeansOutbound) {
    Link l;
    l.setDirectionCode(GetParam().first);
    EXPECT_EQ(l.direction(), GetParam().second);
    EXPECT_EQ(l.directionCode(), GetParam().second == Outbound ? 'O' : 'I');
}

INSTANTIATE_TEST_SUITE_P(Codes, DirectionCode,
                         ::testing::Values(std::pair{'O', Outbound}, std::pair{'o', Outbound},
                                           std::pair{'I', Inbound}, std::pair{'i', Inbound},
                                           std::pair{'x', Inbound}, std::pair{' ', Inbound}));

struct TypeCase {
    const char* code;
    LinkType type;
};

class TypeCode : public ::testing::TestWithParam<TypeCase> {};

TEST_P(TypeCode, IsMatchedExactlyAndWrittenBack) {
    Link l;
    l.setType(Mainline);
    l.setTypeCode(GetParam().code);
    EXPECT_EQ(l.type(), GetParam().type);
    EXPECT_STREQ(l.typeCode(), GetParam().type == None ? "" : GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(Codes, TypeCode,
                         ::testing::Values(TypeCase{"M", Mainline}, TypeCase{"WZ", Workzone},
                                           TypeCase{"D1", Detour1}, TypeCase{"D2", Detour2},
                                           TypeCase{"R", Ramp}, TypeCase{"", None},
                                           TypeCase{"m", None}, TypeCase{"wz", None},
                                           TypeCase{"M ", None}, TypeCase{"D3", None}));

// ---- Two-way side -----------------------------------------------------------------------------

struct SideCase {
    const char* name;
    WorldPoint to; // the link starts at (0, 0)
    int side;
};

class TwoWaySide : public ::testing::TestWithParam<SideCase> {};

TEST_P(TwoWaySide, FollowsTheHeading) {
    Network net;
    Link* l =
        addLinkBetween(net, addNodeAt(net, 0, 0), addNodeAt(net, GetParam().to.x, GetParam().to.y));
    l->computeTwoWaySide();
    EXPECT_EQ(l->twoWaySide(), GetParam().side);
}

INSTANTIATE_TEST_SUITE_P(
    Headings, TwoWaySide,
    ::testing::Values(SideCase{"North", {0, 1}, 2}, SideCase{"South", {0, -1}, 1},
                      SideCase{"East", {1, 0}, 1}, SideCase{"West", {-1, 0}, 2},
                      SideCase{"NorthWest", {-1, 1}, 2}, SideCase{"SouthWest", {-1, -1}, 2},
                      SideCase{"NorthEast", {1, 1}, 1}, SideCase{"ZeroLength", {0, 0}, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TwoWaySide, SetterAcceptsOnlyOneAndTwo) {
    Link l;
    for (const auto& [in, out] : {std::pair{1, 1}, {2, 2}, {0, 0}, {3, 0}, {-1, 0}}) {
        l.setTwoWaySide(in);
        EXPECT_EQ(l.twoWaySide(), out) << in;
    }
}

// ---- Attribute record -------------------------------------------------------------------------

class LinkData : public ::testing::Test {
protected:
    void SetUp() override {
        a = addNodeAt(net, 0, 0);
        b = addNodeAt(net, 0, 2);
        link = addLinkBetween(net, a, b);
        link->setNumLanes(3);
        link->setCapacity(1800);
        link->setFFSpeed(55);
        link->setJamDensity(200);
        link->setDirection(Outbound);
        link->setType(Ramp);
        link->setDescription("on-ramp");
    }

    Network net;
    Node* a = nullptr;
    Node* b = nullptr;
    Link* link = nullptr;
};

TEST_F(LinkData, RoundTripsThroughTheRecordAndKeepsAnUnchangedLengthAutomatic) {
    data_t d = link->getData();
    EXPECT_EQ(d.link, link);
    EXPECT_FLOAT_EQ(d.length, 2.0f);
    EXPECT_EQ(std::tie(d.numLanes, d.capacity, d.ffSpeed, d.jamDensity, d.direction, d.type,
                       d.description),
              std::make_tuple(3, 1800, 55, 200, 1, 4, std::string("on-ramp")));

    d.numLanes = 1;
    d.type = Workzone;
    d.direction = Inbound;
    d.description = "closed lane";
    link->setData(d);
    EXPECT_EQ(std::tuple(link->numLanes(), link->type(), link->direction(), link->description()),
              std::tuple(1, Workzone, Inbound, std::string("closed lane")));
    EXPECT_TRUE(link->hasAutomaticLength());

    d.length = 2.5f;
    link->setData(d);
    EXPECT_FALSE(link->hasAutomaticLength());
    EXPECT_FLOAT_EQ(link->effectiveLength(), 2.5f);
}

TEST_F(LinkData, RecordFromAnotherLinkIsRefusedAndChangesNothing) {
    data_t d = addLinkBetween(net, b, a)->getData();
    d.numLanes = 9;
    d.length = 40.0f;
    d.description = "wrong";
    try {
        link->setData(d);
        FAIL() << "setData accepted a record of another link";
    } catch (const char* message) {
        EXPECT_STREQ(message, "data_t assignment to wrong link");
    }
    const data_t after = link->getData();
    EXPECT_TRUE(link->hasAutomaticLength());
    EXPECT_EQ(std::tie(after.numLanes, after.capacity, after.ffSpeed, after.jamDensity,
                       after.direction, after.type, after.description),
              std::make_tuple(3, 1800, 55, 200, 1, 4, std::string("on-ramp")));
}

// ---- Attaching nodes --------------------------------------------------------------------------

TEST(LinkNodes, SelfLoopStaysInTheNodeSetUntilNeitherEndNamesIt) {
    Network net;
    Node* a = addNodeAt(net, 0, 0);
    Node* b = addNodeAt(net, 1, 0);
    Link* l = addLinkBetween(net, a, a);
    EXPECT_EQ(a->links().size(), 1u);

    l->setFromNode(b); // b -> a
    EXPECT_TRUE(a->links().contains(l));
    EXPECT_TRUE(b->links().contains(l));
    l->setToNode(b); // b -> b
    EXPECT_TRUE(a->links().empty());
    EXPECT_TRUE(b->links().contains(l));
    l->setToNode(a); // b -> a again
    EXPECT_TRUE(a->links().contains(l));
    EXPECT_TRUE(b->links().contains(l));
    l->setFromNode(a); // a -> a
    EXPECT_TRUE(b->links().empty());
    EXPECT_TRUE(a->links().contains(l));

    net.removeLink(l);
    EXPECT_TRUE(a->links().empty());
}

// ---- Network lists ----------------------------------------------------------------------------

class FiveLinkNetwork : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 4; ++i)
            n.push_back(addNodeAt(net, static_cast<float>(i), static_cast<float>(i % 2)));
        const int ends[5][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {1, 3}};
        for (const auto& e : ends)
            l.push_back(addLinkBetween(net, n[e[0]], n[e[1]]));
    }

    Network net;
    std::vector<Node*> n;
    std::vector<Link*> l;
};

TEST_F(FiveLinkNetwork, AddingAnObjectAgainChangesNothing) {
    n[1]->setX(50.0f);
    net.addNode(n[1]);
    net.addLink(l[1]);
    EXPECT_EQ(net.nodes().size(), 4u);
    EXPECT_EQ(net.links().size(), 5u);
    EXPECT_EQ(n[1]->id(), 2);
    EXPECT_EQ(l[1]->id(), 2);
    EXPECT_FLOAT_EQ(net.bounds().right, 3.0f); // the bounds were not recomputed either
}

TEST_F(FiveLinkNetwork, RemovingALinkRenumbersTheFollowingLinks) {
    EXPECT_THAT(linkIds(net), ElementsAre(1, 2, 3, 4, 5));
    net.removeLink(l[1]);
    EXPECT_THAT(net.links(), ElementsAre(l[0], l[2], l[3], l[4]));
    EXPECT_THAT(linkIds(net), ElementsAre(1, 2, 3, 4));
    EXPECT_FALSE(n[1]->links().contains(l[1]));
    EXPECT_FALSE(n[2]->links().contains(l[1]));
    EXPECT_EQ(n[2]->links().size(), 1u);
}

TEST_F(FiveLinkNetwork, RemovingSeveralLinksAtOnceKeepsTheOrder) {
    Link stranger;
    net.removeLinks({l[3], l[0], &stranger, l[1]});
    EXPECT_THAT(net.links(), ElementsAre(l[2], l[4]));
    EXPECT_THAT(linkIds(net), ElementsAre(1, 2));
    EXPECT_EQ(n[0]->links().size(), 0u);
    EXPECT_EQ(n[1]->links().size(), 1u);
}

TEST_F(FiveLinkNetwork, RemovingANodeRenumbersTheFollowingNodesAndKeepsLinkEnds) {
    net.removeLinks({l[1], l[4], l[0]}); // every link of node 2
    ASSERT_TRUE(n[1]->links().empty());
    net.removeNode(n[1]);
    EXPECT_THAT(net.nodes(), ElementsAre(n[0], n[2], n[3]));
    EXPECT_THAT(nodeIds(net), ElementsAre(1, 2, 3));
    EXPECT_EQ(l[2]->fromNode(), n[2]);
    EXPECT_EQ(l[2]->toNode(), n[3]);
    EXPECT_EQ(l[3]->fromNode(), n[3]);
    EXPECT_EQ(l[3]->toNode(), n[0]);
}

TEST(NetworkLists, RemovingSeveralNodesAtOnceRecomputesTheBounds) {
    Network net;
    Node* a = addNodeAt(net, -5, -5);
    Node* b = addNodeAt(net, 1, 1);
    Node* c = addNodeAt(net, 2, 3);
    Node* d = addNodeAt(net, 9, 9);
    net.removeNodes({d, a});
    EXPECT_THAT(net.nodes(), ElementsAre(b, c));
    EXPECT_THAT(nodeIds(net), ElementsAre(1, 2));
    EXPECT_EQ(net.bounds(), (WorldRect{3, 1, 1, 2}));
}

TEST_F(FiveLinkNetwork, RemovingAnAbsentNodeStillRecomputesTheBounds) {
    Node stranger;
    n[3]->setPosition({20, -20});
    net.removeNode(&stranger);
    EXPECT_EQ(net.nodes().size(), 4u);
    EXPECT_EQ(net.bounds(), (WorldRect{1, -20, 0, 20}));
}

TEST_F(FiveLinkNetwork, HasLinkHonoursDirection) {
    EXPECT_TRUE(net.hasLink(n[0], n[1]));
    EXPECT_FALSE(net.hasLink(n[1], n[0]));
    EXPECT_TRUE(net.hasLink(n[3], n[0]));
    EXPECT_FALSE(net.hasLink(n[0], n[2]));
    net.removeLink(l[0]);
    EXPECT_FALSE(net.hasLink(n[0], n[1]));
    Link* loop = addLinkBetween(net, n[2], n[2]);
    EXPECT_TRUE(net.hasLink(n[2], n[2]));
    loop->setToNode(n[0]);
    EXPECT_FALSE(net.hasLink(n[2], n[2]));
    EXPECT_TRUE(net.hasLink(n[2], n[0]));
}

TEST_F(FiveLinkNetwork, ClearDeletesObjectsButKeepsTheRest) {
    net.setBitmap("area.bmp", WorldRect{4, 0, 0, 4});
    net.setPrecision(5);
    const WorldRect bounds = net.bounds();
    net.clear();
    EXPECT_TRUE(net.nodes().empty());
    EXPECT_TRUE(net.links().empty());
    EXPECT_EQ(net.bounds(), bounds);
    EXPECT_EQ(net.bitmapPath(), "area.bmp");
    EXPECT_EQ(net.bitmapRect(), (WorldRect{4, 0, 0, 4}));
    EXPECT_EQ(net.precision(), 5);
}

TEST(NetworkBounds, CoverTheNodesOnly) {
    Network net;
    EXPECT_EQ(net.bounds(), WorldRect{});
    net.setBitmap("big.bmp", WorldRect{100, -100, -100, 100});
    addNodeAt(net, 2, -3);
    EXPECT_EQ(net.bounds(), (WorldRect{-3, -3, 2, 2}));
    addNodeAt(net, -1, 4);
    addNodeAt(net, 5, 1);
    EXPECT_EQ(net.bounds(), (WorldRect{4, -3, -1, 5}));
    net.clear();
    net.recomputeBounds();
    EXPECT_EQ(net.bounds(), WorldRect{});
}

} // namespace
