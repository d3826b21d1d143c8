#include "model/editing.h"
#include "model_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace vantry {

namespace {

using model_test::ids;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

const LinkDefaults kUserDefaults{3, 1600, 45, 210};

auto attributes(const Link* l) {
    return std::tuple(l->numLanes(), l->capacity(), l->ffSpeed(), l->jamDensity());
}

TEST(ConnectNodes, CreatesOnlyTheMissingLinksAndTheReverseOneIsOutbound) {
    // {a -> b existed, b -> a existed, two-way, links made: 'f' a -> b, 'r' b -> a}
    const std::tuple<bool, bool, bool, std::string> cases[] = {
        {false, false, false, "f"}, {false, false, true, "fr"}, {true, false, true, "r"},
        {true, true, true, ""},     {true, false, false, ""},   {false, true, false, "f"},
        {false, true, true, "f"}};
    for (const auto& [hadAToB, hadBToA, twoWay, made] : cases) {
        SCOPED_TRACE(::testing::Message() << hadAToB << hadBToA << twoWay);
        Network net;
        Node* a = createNodeAt(net, {0, 0});
        Node* b = createNodeAt(net, {1, 0});
        if (hadAToB)
            createLink(net, a, b, kUserDefaults);
        if (hadBToA)
            createLink(net, b, a, kUserDefaults);
        const std::size_t before = net.links().size();
        EXPECT_EQ(connectNodes(net, a, b, twoWay, kUserDefaults), !made.empty());
        ASSERT_EQ(net.links().size(), before + made.size());
        for (std::size_t i = 0; i < made.size(); ++i) {
            const Link* l = net.links()[before + i];
            const bool forward = made[i] == 'f';
            EXPECT_EQ(std::tuple(l->fromNode(), l->toNode(), l->direction(), attributes(l)),
                      std::tuple(forward ? a : b, forward ? b : a,
                                 forward ? LinkDirection::Inbound : LinkDirection::Outbound,
                                 std::tuple(3, 1600, 45, 210)));
            EXPECT_EQ(std::tuple(l->id(), l->type(), l->hasAutomaticLength()),
                      std::tuple(static_cast<int>(before + i) + 1, LinkType::None, true));
        }
    }
}

TEST(SplitLinks, CutsEachLinkAtTheNewNodeAndAppendsItsFirstPiece) {
    Network net;
    Node* n[] = {createNodeAt(net, {0, 0}), createNodeAt(net, {4, 0}), createNodeAt(net, {4, 2})};
    Link* ab = createLink(net, n[0], n[1], kUserDefaults);
    Link* ba = createLink(net, n[1], n[0], kUserDefaults);
    Link* diagonal = createLink(net, n[0], n[2], kUserDefaults);
    diagonal->setDirection(LinkDirection::Outbound);
    diagonal->setType(LinkType::Detour1);
    diagonal->setDescription(" cut through ");
    diagonal->setTwoWaySide(2);
    diagonal->setLength(12.0f);
    Node* mid = createNodeAt(net, {1, 0.5f});
    splitLinksAt(net, mid, {diagonal});
    ASSERT_EQ(net.links().size(), 4u);
    Link* piece = net.links()[3];
    EXPECT_EQ(std::tuple(diagonal->fromNode(), diagonal->toNode(), piece->fromNode(),
                         piece->toNode(), piece->id()),
              std::tuple(mid, n[2], n[0], mid, 4));
    EXPECT_TRUE(piece->hasAutomaticLength() && diagonal->hasAutomaticLength());
    EXPECT_FLOAT_EQ(piece->effectiveLength(), std::sqrt(1.25f));
    EXPECT_FLOAT_EQ(diagonal->effectiveLength(), std::sqrt(11.25f));
    EXPECT_EQ(std::tuple(attributes(piece), piece->direction(), piece->type(), piece->description(),
                         piece->twoWaySide()),
              std::tuple(attributes(diagonal), LinkDirection::Outbound, LinkType::Detour1,
                         " cut through ", 0));
    EXPECT_EQ(std::count(n[0]->links().begin(), n[0]->links().end(), diagonal), 0);
    EXPECT_EQ(mid->links().size(), 2u);

    // Both links of a two-way road are cut, each in its own direction.
    Node* half = createNodeAt(net, {2, 0});
    splitLinksAt(net, half, {ab, ba});
    ASSERT_EQ(net.links().size(), 6u);
    const auto ends = [](const Link* l) { return std::pair(l->fromNode(), l->toNode()); };
    EXPECT_EQ(std::tuple(ends(ab), ends(ba), ends(net.links()[4]), ends(net.links()[5])),
              std::tuple(std::pair(half, n[1]), std::pair(half, n[0]), std::pair(n[0], half),
                         std::pair(n[1], half)));
    for (const Link* cut : {ab, ba, net.links()[4], net.links()[5]})
        EXPECT_FLOAT_EQ(cut->effectiveLength(), 2.0f);
}

class DeleteSelection : public ::testing::Test {
protected:
    void SetUp() override {
        // A chain 1 -> 2 -> 3 -> 4 plus 4 -> 2.
        for (int i = 0; i < 4; ++i)
            n.push_back(createNodeAt(net, {static_cast<float>(i), static_cast<float>(i)}));
        for (const auto& [from, to] : {std::pair{0, 1}, {1, 2}, {2, 3}, {3, 1}})
            l.push_back(createLink(net, n[from], n[to], kUserDefaults));
    }

    Network net;
    std::vector<Node*> n;
    std::vector<Link*> l;
};

TEST_F(DeleteSelection, DeletesNodesTogetherWithAllTheirSelectedLinks) {
    Node* lonely = createNodeAt(net, {9, 9});
    Link* loop = createLink(net, lonely, lonely, kUserDefaults);
    std::vector<Link*> selLinks{l[3], loop, l[0], l[1]};
    std::vector<Node*> selNodes{lonely, n[1]};
    EXPECT_TRUE(deleteSelection(net, selLinks, selNodes));
    EXPECT_THAT(selLinks, IsEmpty());
    EXPECT_THAT(selNodes, IsEmpty());
    EXPECT_THAT(net.nodes(), ElementsAre(n[0], n[2], n[3]));
    EXPECT_THAT(ids(net.nodes()), ElementsAre(1, 2, 3));
    EXPECT_THAT(net.links(), ElementsAre(l[2]));
    EXPECT_EQ(std::tuple(l[2]->id(), l[2]->fromNode(), l[2]->toNode()), std::tuple(1, n[2], n[3]));
    EXPECT_TRUE(n[0]->links().empty());
    EXPECT_EQ(net.bounds(), (WorldRect{3, 0, 0, 3}));
}

TEST_F(DeleteSelection, KeepsLinkedNodesSelectedAndReportsThem) {
    std::vector<Link*> selLinks{l[0]};
    std::vector<Node*> selNodes{n[2], n[0], n[3]}; // node 1 is free once its link has gone
    EXPECT_FALSE(deleteSelection(net, selLinks, selNodes));
    EXPECT_THAT(selLinks, IsEmpty());
    EXPECT_THAT(selNodes, ElementsAre(n[2], n[3]));
    EXPECT_THAT(net.nodes(), ElementsAre(n[1], n[2], n[3]));
    EXPECT_THAT(ids(net.nodes()), ElementsAre(1, 2, 3));
    EXPECT_THAT(ids(net.links()), ElementsAre(1, 2, 3));
    EXPECT_EQ(net.bounds(), (WorldRect{3, 1, 1, 3}));
    EXPECT_STREQ(kNodesStillLinkedMessage, "Nodes with links still attached cannot be deleted.\n"
                                           "The links must be deleted as well.");
}

TEST(MoveNodes, ShiftsTheNodesAndOnlyTheAutomaticLengthsFollow) {
    Network net;
    Node* a = createNodeAt(net, {0, 0});
    Node* b = createNodeAt(net, {3, 0});
    Node* c = createNodeAt(net, {3, 4});
    Link* automatic = createLink(net, a, c, kUserDefaults);
    Link* fixed = createLink(net, b, c, kUserDefaults);
    fixed->setLength(10.0f);
    moveNodes({b, c}, {-3.0f, 0.5f});
    EXPECT_EQ(std::tuple(a->position(), b->position(), c->position()),
              std::tuple(WorldPoint{0, 0}, WorldPoint{0, 0.5f}, WorldPoint{0, 4.5f}));
    EXPECT_FLOAT_EQ(automatic->effectiveLength(), 4.5f);
    EXPECT_FLOAT_EQ(fixed->effectiveLength(), 10.0f);
}

} // namespace

} // namespace vantry
