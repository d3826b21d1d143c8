#include "model/editing.h"
#include "model_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace {

using model_test::addLinkBetween;
using model_test::addNodeAt;
using model_test::linkIds;
using model_test::nodeIds;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const LinkDefaults kUserDefaults{3, 1600, 45, 210};

TEST(CreateNodeAt, AppendsTheNodeAndGrowsTheBounds) {
    Network net;
    addNodeAt(net, 0, 0);
    Node* n = createNodeAt(net, {2.5f, -1.0f});
    EXPECT_EQ(net.nodes().back(), n);
    EXPECT_EQ(n->id(), 2);
    EXPECT_EQ(n->position(), (WorldPoint{2.5f, -1.0f}));
    EXPECT_TRUE(n->links().empty());
    EXPECT_EQ(net.bounds(), (WorldRect{0.0f, -1.0f, 0.0f, 2.5f}));
}

TEST(CreateLink, UsesTheGivenDefaultsAndOtherwiseANewLinksValues) {
    Network net;
    Node* a = createNodeAt(net, {0, 0});
    Node* b = createNodeAt(net, {0, 2});
    createLink(net, b, a, LinkDefaults{});
    Link* l = createLink(net, a, b, kUserDefaults);
    EXPECT_EQ(net.links().back(), l);
    EXPECT_EQ(l->id(), 2);
    EXPECT_EQ(l->fromNode(), a);
    EXPECT_EQ(l->toNode(), b);
    EXPECT_TRUE(a->links().contains(l));
    EXPECT_TRUE(b->links().contains(l));
    EXPECT_EQ(std::tuple(l->numLanes(), l->capacity(), l->ffSpeed(), l->jamDensity()),
              std::tuple(3, 1600, 45, 210));
    EXPECT_TRUE(l->hasAutomaticLength());
    EXPECT_FLOAT_EQ(l->effectiveLength(), 2.0f);
    EXPECT_EQ(l->direction(), Inbound);
    EXPECT_EQ(l->type(), None);
    EXPECT_EQ(l->twoWaySide(), 0);
    EXPECT_EQ(l->description(), "");

    const Link* first = net.links().front();
    EXPECT_EQ(
        std::tuple(first->numLanes(), first->capacity(), first->ffSpeed(), first->jamDensity()),
        std::tuple(2, 1400, 50, 190));
}

// ---- Connecting -------------------------------------------------------------------------------

struct ConnectCase {
    const char* name;
    bool hadAToB, hadBToA, twoWay;
    bool created;
    // The links made by the call, in order, as "AB" or "BA" with their direction.
    std::vector<std::pair<std::string, LinkDirection>> made;
};

class ConnectNodes : public ::testing::TestWithParam<ConnectCase> {};

TEST_P(ConnectNodes, CreatesOnlyTheMissingLinks) {
    const ConnectCase& c = GetParam();
    Network net;
    Node* a = createNodeAt(net, {0, 0});
    Node* b = createNodeAt(net, {1, 0});
    if (c.hadAToB)
        createLink(net, a, b, kUserDefaults);
    if (c.hadBToA)
        createLink(net, b, a, kUserDefaults);
    const std::size_t before = net.links().size();

    EXPECT_EQ(connectNodes(net, a, b, c.twoWay, kUserDefaults), c.created);
    ASSERT_EQ(net.links().size(), before + c.made.size());
    for (std::size_t i = 0; i < c.made.size(); ++i) {
        const Link* l = net.links()[before + i];
        const bool ab = c.made[i].first == "AB";
        EXPECT_EQ(l->fromNode(), ab ? a : b) << i;
        EXPECT_EQ(l->toNode(), ab ? b : a) << i;
        EXPECT_EQ(l->direction(), c.made[i].second) << i;
        EXPECT_EQ(l->numLanes(), kUserDefaults.numLanes) << i;
        EXPECT_EQ(l->id(), static_cast<int>(before + i + 1));
    }
    EXPECT_TRUE(net.hasLink(a, b));
    EXPECT_EQ(net.hasLink(b, a), c.twoWay || c.hadBToA);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, ConnectNodes,
    ::testing::Values(
        ConnectCase{"OneWay", false, false, false, true, {{"AB", Inbound}}},
        ConnectCase{"TwoWay", false, false, true, true, {{"AB", Inbound}, {"BA", Outbound}}},
        ConnectCase{"CompletesAPair", true, false, true, true, {{"BA", Outbound}}},
        ConnectCase{"PairComplete", true, true, true, false, {}},
        ConnectCase{"OneWayExists", true, false, false, false, {}},
        ConnectCase{"OppositeExists", false, true, false, true, {{"AB", Inbound}}},
        ConnectCase{"OppositeExistsTwoWay", false, true, true, true, {{"AB", Inbound}}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Splitting --------------------------------------------------------------------------------

class SplitLinks : public ::testing::Test {
protected:
    void SetUp() override {
        // Nodes 1..4 at the corners of a 4 x 2 rectangle, five links.
        for (WorldPoint p :
             {WorldPoint{0, 0}, WorldPoint{4, 0}, WorldPoint{4, 2}, WorldPoint{0, 2}})
            n.push_back(createNodeAt(net, p));
        const int ends[5][2] = {{0, 1}, {1, 2}, {0, 2}, {2, 3}, {3, 0}};
        for (const auto& e : ends)
            l.push_back(createLink(net, n[e[0]], n[e[1]], kUserDefaults));
        Link* diagonal = l[2];
        diagonal->setNumLanes(4);
        diagonal->setCapacity(2000);
        diagonal->setFFSpeed(65);
        diagonal->setJamDensity(180);
        diagonal->setDirection(Outbound);
        diagonal->setType(Detour1);
        diagonal->setDescription(" cut through ");
        diagonal->setTwoWaySide(2);
        diagonal->setLength(12.0f);
    }

    Network net;
    std::vector<Node*> n;
    std::vector<Link*> l;
};

TEST_F(SplitLinks, OldLinkStartsAtTheNewNodeAndANewPieceIsAppended) {
    Node* mid = createNodeAt(net, {1, 0.5f});
    splitLinksAt(net, mid, {l[2]});

    ASSERT_EQ(net.links().size(), 6u);
    EXPECT_THAT(linkIds(net), ElementsAre(1, 2, 3, 4, 5, 6));
    Link* old = net.links()[2];
    Link* piece = net.links()[5];
    EXPECT_EQ(old, l[2]);
    EXPECT_EQ(old->fromNode(), mid);
    EXPECT_EQ(old->toNode(), n[2]);
    EXPECT_EQ(piece->fromNode(), n[0]);
    EXPECT_EQ(piece->toNode(), mid);

    EXPECT_TRUE(old->hasAutomaticLength());
    EXPECT_TRUE(piece->hasAutomaticLength());
    EXPECT_FLOAT_EQ(piece->effectiveLength(), std::sqrt(1.25f));
    EXPECT_FLOAT_EQ(old->effectiveLength(), std::sqrt(11.25f));

    EXPECT_EQ(std::tuple(piece->numLanes(), piece->capacity(), piece->ffSpeed(),
                         piece->jamDensity(), piece->direction(), piece->type(),
                         piece->description()),
              std::tuple(4, 2000, 65, 180, Outbound, Detour1, std::string(" cut through ")));
    EXPECT_EQ(piece->twoWaySide(), 0);

    EXPECT_FALSE(n[0]->links().contains(old));
    EXPECT_TRUE(n[0]->links().contains(piece));
    EXPECT_EQ(mid->links().size(), 2u);
}

TEST_F(SplitLinks, BothLinksOfATwoWayRoadAreSplitInTheirOwnDirection) {
    Link* back = createLink(net, n[1], n[0], kUserDefaults); // link 6, 2 -> 1
    Node* mid = createNodeAt(net, {2, 0});
    splitLinksAt(net, mid, {l[0], back});

    ASSERT_EQ(net.links().size(), 8u);
    EXPECT_EQ(l[0]->fromNode(), mid);
    EXPECT_EQ(l[0]->toNode(), n[1]);
    EXPECT_EQ(back->fromNode(), mid);
    EXPECT_EQ(back->toNode(), n[0]);
    EXPECT_EQ(net.links()[6]->fromNode(), n[0]);
    EXPECT_EQ(net.links()[6]->toNode(), mid);
    EXPECT_EQ(net.links()[7]->fromNode(), n[1]);
    EXPECT_EQ(net.links()[7]->toNode(), mid);
    for (const Link* piece : {l[0], back, net.links()[6], net.links()[7]})
        EXPECT_FLOAT_EQ(piece->effectiveLength(), 2.0f);
}

// ---- Deleting ---------------------------------------------------------------------------------

TEST(NodesStillLinkedMessage, ReadsAsShownToTheUser) {
    EXPECT_STREQ(kNodesStillLinkedMessage, "Nodes with links still attached cannot be deleted.\n"
                                           "The links must be deleted as well.");
}

class DeleteSelection : public ::testing::Test {
protected:
    void SetUp() override {
        // A chain 1 -> 2 -> 3 -> 4 plus 4 -> 2.
        for (int i = 0; i < 4; ++i)
            n.push_back(createNodeAt(net, {static_cast<float>(i), static_cast<float>(i)}));
        for (int i = 0; i < 3; ++i)
            l.push_back(createLink(net, n[i], n[i + 1], kUserDefaults));
        l.push_back(createLink(net, n[3], n[1], kUserDefaults));
    }

    Network net;
    std::vector<Node*> n;
    std::vector<Link*> l;
};

TEST_F(DeleteSelection, KeepsALinkedNodeSelected) {
    std::vector<Link*> selLinks;
    std::vector<Node*> selNodes{n[1]};
    EXPECT_FALSE(deleteSelection(net, selLinks, selNodes));
    EXPECT_THAT(selNodes, ElementsAre(n[1]));
    EXPECT_EQ(net.nodes().size(), 4u);
    EXPECT_EQ(net.links().size(), 4u);
}

TEST_F(DeleteSelection, DeletesANodeTogetherWithAllItsLinks) {
    std::vector<Link*> selLinks{l[3], l[0], l[1]};
    std::vector<Node*> selNodes{n[1]};
    EXPECT_TRUE(deleteSelection(net, selLinks, selNodes));
    EXPECT_THAT(selLinks, IsEmpty());
    EXPECT_THAT(selNodes, IsEmpty());
    EXPECT_THAT(net.nodes(), ElementsAre(n[0], n[2], n[3]));
    EXPECT_THAT(nodeIds(net), ElementsAre(1, 2, 3));
    EXPECT_THAT(net.links(), ElementsAre(l[2]));
    EXPECT_EQ(l[2]->id(), 1);
    EXPECT_EQ(l[2]->fromNode(), n[2]);
    EXPECT_EQ(l[2]->toNode(), n[3]);
    EXPECT_TRUE(n[0]->links().empty());
}

TEST_F(DeleteSelection, DeletesWhatItCanAndReportsTheRest) {
    std::vector<Link*> selLinks{l[0]};
    std::vector<Node*> selNodes{n[2], n[0], n[3]}; // node 1 is free once its link has gone
    EXPECT_FALSE(deleteSelection(net, selLinks, selNodes));
    EXPECT_THAT(selLinks, IsEmpty());
    EXPECT_THAT(selNodes, ElementsAre(n[2], n[3]));
    EXPECT_THAT(net.nodes(), ElementsAre(n[1], n[2], n[3]));
    EXPECT_THAT(nodeIds(net), ElementsAre(1, 2, 3));
    EXPECT_THAT(linkIds(net), ElementsAre(1, 2, 3));
    EXPECT_EQ(net.bounds(), (WorldRect{3, 1, 1, 3}));
}

TEST_F(DeleteSelection, RemovesASelfLoopAndItsNode) {
    Node* lonely = createNodeAt(net, {9, 9});
    Link* loop = createLink(net, lonely, lonely, kUserDefaults);
    std::vector<Link*> selLinks{loop};
    std::vector<Node*> selNodes{lonely};
    EXPECT_TRUE(deleteSelection(net, selLinks, selNodes));
    EXPECT_EQ(net.nodes().size(), 4u);
    EXPECT_EQ(net.links().size(), 4u);
    EXPECT_EQ(net.bounds(), (WorldRect{3, 0, 0, 3}));
}

// ---- Moving -----------------------------------------------------------------------------------

TEST(MoveNodes, ShiftsTheNodesAndOnlyTheAutomaticLengthsFollow) {
    Network net;
    Node* a = createNodeAt(net, {0, 0});
    Node* b = createNodeAt(net, {3, 0});
    Node* c = createNodeAt(net, {3, 4});
    Link* automatic = createLink(net, a, c, kUserDefaults);
    Link* fixed = createLink(net, b, c, kUserDefaults);
    fixed->setLength(10.0f);
    moveNodes({b, c}, {-3.0f, 0.5f});
    EXPECT_EQ(a->position(), (WorldPoint{0, 0}));
    EXPECT_EQ(b->position(), (WorldPoint{0, 0.5f}));
    EXPECT_EQ(c->position(), (WorldPoint{0, 4.5f}));
    EXPECT_FLOAT_EQ(automatic->effectiveLength(), 4.5f);
    EXPECT_FLOAT_EQ(fixed->effectiveLength(), 10.0f);
}

} // namespace
