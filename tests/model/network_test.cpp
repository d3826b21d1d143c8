#include "model/network.h"
#include "model_test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace vantry {

namespace {

using model_test::addLinkBetween;
using model_test::addNodeAt;
using model_test::ids;
using ::testing::ElementsAre;

// ---- Link attributes --------------------------------------------------------------------------

TEST(LinkLength, BecomesAutomaticOnlyWithinATenThousandthOfTheNodeDistance) {
    const struct {
        float value;
        bool automatic;
    } cases[] = {{5.0f, true},     {5.00005f, true}, {4.99995f, true}, {5.0002f, false},
                 {4.9998f, false}, {0.0f, false},    {-1.0f, true},    {-7.5f, true}};
    Network net;
    Link* l = addLinkBetween(net, addNodeAt(net, 1, 1), addNodeAt(net, 4, 5)); // 5 miles
    for (const auto& c : cases) {
        l->setLength(c.value);
        EXPECT_EQ(l->hasAutomaticLength(), c.automatic) << c.value;
        EXPECT_FLOAT_EQ(l->effectiveLength(), c.automatic ? 5.0f : c.value) << c.value;
    }
    l->setToNode(nullptr);
    EXPECT_FLOAT_EQ(l->effectiveLength(), 0.0f);
}

TEST(LinkCodes, OnlyOMeansOutboundAndTypeCodesMatchExactly) {
    Link l;
    const std::string codes = "OoIix", read = "OOIII";
    for (std::size_t i = 0; i < codes.size(); ++i) {
        l.setDirectionCode(codes[i]);
        EXPECT_EQ(l.directionCode(), read[i]) << codes[i];
        EXPECT_EQ(l.direction(), read[i] == 'O' ? LinkDirection::Outbound : LinkDirection::Inbound);
    }
    const std::pair<const char*, LinkType> types[] = {
        {"M", LinkType::Mainline}, {"WZ", LinkType::Workzone}, {"D1", LinkType::Detour1},
        {"D2", LinkType::Detour2}, {"R", LinkType::Ramp},      {"", LinkType::None},
        {"m", LinkType::None},     {"wz", LinkType::None},     {"M ", LinkType::None},
        {"D3", LinkType::None}};
    for (const auto& [code, type] : types) {
        l.setType(LinkType::Mainline);
        l.setTypeCode(code);
        EXPECT_EQ(l.type(), type) << code;
        EXPECT_STREQ(l.typeCode(), type == LinkType::None ? "" : code);
    }
}

TEST(LinkTwoWaySide, FollowsTheHeadingAndTheSetterAcceptsOnlyOneAndTwo) {
    const std::pair<WorldPoint, int> headings[] = {{{0, 1}, 2},  {{0, -1}, 1}, {{1, 0}, 1},
                                                   {{-1, 0}, 2}, {{-1, 1}, 2}, {{-1, -1}, 2},
                                                   {{1, 1}, 1},  {{0, 0}, 1}}; // from (0, 0)
    for (const auto& [to, side] : headings) {
        Network net;
        Link* l = addLinkBetween(net, addNodeAt(net, 0, 0), addNodeAt(net, to.x, to.y));
        l->computeTwoWaySide();
        EXPECT_EQ(l->twoWaySide(), side) << to.x << ", " << to.y;
    }
    Link l;
    for (const auto& [in, out] : {std::pair{1, 1}, {2, 2}, {0, 0}, {3, 0}, {-1, 0}}) {
        l.setTwoWaySide(in);
        EXPECT_EQ(l.twoWaySide(), out) << in;
    }
}

TEST(LinkData, RoundTripsThroughTheRecordButOnlyIntoItsOwnLink) {
    Network net;
    Node* a = addNodeAt(net, 0, 0);
    Node* b = addNodeAt(net, 0, 2);
    Link* link = addLinkBetween(net, a, b);
    const auto fields = [](const LinkAttributes& d) {
        return std::tuple(d.numLanes, d.capacity, d.ffSpeed, d.jamDensity, d.direction, d.type,
                          d.description);
    };
    LinkAttributes d = link->attributes();
    EXPECT_EQ(std::tuple(d.link, d.length), std::tuple(link, 2.0f));
    const auto outbound = static_cast<std::int32_t>(LinkDirection::Outbound);
    const auto ramp = static_cast<std::int32_t>(LinkType::Ramp);
    d = {3, 1800, 2.0f, 55, 200, outbound, ramp, "on-ramp", link};
    link->setAttributes(d);
    EXPECT_EQ(fields(link->attributes()), fields(d));
    EXPECT_TRUE(link->hasAutomaticLength()); // the unchanged length stays automatic

    EXPECT_THROW(link->setAttributes(addLinkBetween(net, b, a)->attributes()), std::logic_error)
        << "the attributes of another link";
    EXPECT_EQ(fields(link->attributes()), fields(d));
    d.length = 2.5f;
    link->setAttributes(d);
    EXPECT_FLOAT_EQ(link->effectiveLength(), 2.5f);
}

// Whatever sequence of re-attachments and removals, self loops and a busy hub included, each
// node lists exactly the links that name it, each once.
TEST(LinkNodes, EveryNodeListsEachLinkThatNamesItExactlyOnce) {
    Network net;
    std::vector<Node*> nodes;
    for (int i = 0; i < 6; ++i)
        nodes.push_back(addNodeAt(net, static_cast<float>(i), 0));
    std::mt19937 rng(3);
    const auto pick = [&]() -> Node* {
        // Node 0 is a hub; now and then an end is cleared.
        const unsigned r = rng() % 10;
        return r == 0 ? nullptr : r < 5 ? nodes[0] : nodes[r % nodes.size()];
    };
    const auto check = [&](int step) {
        for (const Node* n : nodes) {
            std::size_t expected = 0;
            for (const Link* l : net.links())
                expected += l->fromNode() == n || l->toNode() == n;
            ASSERT_EQ(n->links().size(), expected) << "node " << n->id() << " step " << step;
            for (const Link* l : n->links()) {
                ASSERT_TRUE(l->fromNode() == n || l->toNode() == n);
                ASSERT_EQ(std::count(n->links().begin(), n->links().end(), l), 1);
            }
        }
    };
    for (int step = 0; step < 4000; ++step) {
        const unsigned op = rng() % 8;
        if (op < 3 || net.links().empty()) {
            addLinkBetween(net, nodes[rng() % nodes.size()], nodes[rng() % nodes.size()]);
        } else if (op < 5) {
            net.links()[rng() % net.links().size()]->setFromNode(pick());
        } else if (op < 7) {
            net.links()[rng() % net.links().size()]->setToNode(pick());
        } else {
            std::vector<Link*> doomed;
            for (Link* l : net.links())
                if (rng() % 4 == 0)
                    doomed.push_back(l);
            net.removeLinks(doomed);
        }
        check(step);
    }
    net.removeLinks(std::vector<Link*>(net.links().begin(), net.links().end()));
    for (const Node* n : nodes)
        EXPECT_TRUE(n->links().empty());
}

// ---- Network lists ----------------------------------------------------------------------------

class FiveLinkNetwork : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 4; ++i)
            n.push_back(addNodeAt(net, static_cast<float>(i), static_cast<float>(i % 2)));
        for (const auto& [from, to] : {std::pair{0, 1}, {1, 2}, {2, 3}, {3, 0}, {1, 3}})
            l.push_back(addLinkBetween(net, n[from], n[to]));
    }

    Network net;
    std::vector<Node*> n;
    std::vector<Link*> l;
};

TEST_F(FiveLinkNetwork, RemovingLinksRenumbersTheRestAndDetachesTheirNodes) {
    net.addNode(n[1]); // present already: nothing changes
    net.addLink(l[1]);
    EXPECT_THAT(ids(net.nodes()), ElementsAre(1, 2, 3, 4));
    EXPECT_THAT(ids(net.links()), ElementsAre(1, 2, 3, 4, 5));
    net.removeLink(l[1]);
    EXPECT_THAT(net.links(), ElementsAre(l[0], l[2], l[3], l[4]));
    EXPECT_THAT(ids(net.links()), ElementsAre(1, 2, 3, 4));
    EXPECT_EQ(n[2]->links().size(), 1u);

    Network other; // its objects carry ids that are valid here too
    net.removeLinks({l[3], l[2], addLinkBetween(other, nullptr, nullptr)});
    EXPECT_THAT(net.links(), ElementsAre(l[0], l[4]));
    EXPECT_THAT(ids(net.links()), ElementsAre(1, 2));
    EXPECT_TRUE(n[2]->links().empty());
    EXPECT_EQ(n[3]->links().size(), 1u);
}

TEST_F(FiveLinkNetwork, RemovingNodesRenumbersTheRestAndRecomputesTheBounds) {
    net.removeLinks({l[0], l[1], l[3], l[4]}); // every link of nodes 1 and 2
    n[3]->setPosition({9, 9});
    net.removeNodes({n[1], n[0]});
    EXPECT_THAT(net.nodes(), ElementsAre(n[2], n[3]));
    EXPECT_THAT(ids(net.nodes()), ElementsAre(1, 2));
    EXPECT_EQ(std::pair(l[2]->fromNode(), l[2]->toNode()), std::pair(n[2], n[3]));
    EXPECT_EQ(net.bounds(), (WorldRect{9, 0, 2, 9}));

    Network other; // its node 1 is not this network's node 1
    n[3]->setPosition({20, -20});
    net.removeNode(addNodeAt(other, 0, 0)); // recomputes even when nothing was removed
    EXPECT_EQ(net.bounds(), (WorldRect{0, -20, 2, 20}));
}

TEST_F(FiveLinkNetwork, HasLinkHonoursDirection) {
    EXPECT_EQ(std::tuple(net.hasLink(n[0], n[1]), net.hasLink(n[1], n[0]), net.hasLink(n[0], n[2])),
              std::tuple(true, false, false));
    net.removeLink(l[0]);
    EXPECT_FALSE(net.hasLink(n[0], n[1]));
    addLinkBetween(net, n[2], n[2]);
    EXPECT_TRUE(net.hasLink(n[2], n[2]));
}

TEST(NetworkBounds, CoverTheNodesOnlyAndSurviveClear) {
    Network net;
    net.setBitmap("big.bmp", WorldRect{100, -100, -100, 100}); // not part of the bounds
    net.setPrecision(5);
    addNodeAt(net, 2, -3);
    EXPECT_EQ(net.bounds(), (WorldRect{-3, -3, 2, 2}));
    addNodeAt(net, -1, 4);
    addNodeAt(net, 5, 1);
    EXPECT_EQ(net.bounds(), (WorldRect{4, -3, -1, 5}));
    net.clear(); // keeps everything but the nodes and links
    EXPECT_TRUE(net.nodes().empty());
    EXPECT_EQ(std::tuple(net.bounds(), net.bitmapPath(), net.precision()),
              std::tuple(WorldRect{4, -3, -1, 5}, "big.bmp", 5));
    net.recomputeBounds();
    EXPECT_EQ(net.bounds(), WorldRect{});
}

} // namespace

} // namespace vantry
