#include "model/network.h"
#include "model/snapshot.h"
#include "model_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace vantry {

namespace {

using model_test::addLinkBetween;
using model_test::addNodeAt;
using model_test::exactDump;

// A network with every kind of value the text format would round, freeze or lose.
void buildAwkwardNetwork(Network& net) {
    Node* a = addNodeAt(net, 0.1234567f, -0.0f);
    Node* b = addNodeAt(net, 1.0f / 3.0f, std::numeric_limits<float>::denorm_min());
    Node* c = addNodeAt(net, -3.0e38f, 2.5e-7f);
    Node* d = addNodeAt(net, 1.0f, 1.0f);
    addLinkBetween(net, a, b); // automatic
    Link* stated = addLinkBetween(net, b, a);
    stated->setStoredLength(0.30000001f);
    Link* zero = addLinkBetween(net, a, d);
    zero->setStoredLength(0.0f);
    Link* far = addLinkBetween(net, c, c);
    far->setStoredLength(7.0f);
    far->setDirection(LinkDirection::Outbound);
    far->setType(LinkType::Detour2);
    far->setTwoWaySide(2);
    far->setNumLanes(-3);
    far->setCapacity(std::numeric_limits<std::int32_t>::min());
    far->setFFSpeed(std::numeric_limits<std::int32_t>::max());
    far->setJamDensity(190);
    static constexpr char kAwkwardText[] = "Caf\xE9 \r\n two  lines\0nul";
    stated->setDescription(std::string(kAwkwardText, sizeof kAwkwardText - 1));
    zero->setDescription("   ");
    net.setBitmap("..\\maps\\\xFF area.bmp", WorldRect{1e-30f, -2.5f, -0.0f, 3e38f});
}

TEST(Snapshot, RestoresEveryBitThatWasThere) {
    Network net;
    buildAwkwardNetwork(net);
    Network back;
    std::string why;
    ASSERT_TRUE(decodeSnapshot(encodeSnapshot(net), back, &why)) << why;
    EXPECT_EQ(exactDump(back), exactDump(net));
    EXPECT_TRUE(back.links()[0]->hasAutomaticLength());
    EXPECT_EQ(back.bounds(), net.bounds());
    // The restored links know their nodes, so that deleting a node still sees them.
    EXPECT_EQ(back.nodes()[0]->links().size(), 3u);

    Network empty, emptyBack;
    ASSERT_TRUE(decodeSnapshot(encodeSnapshot(empty), emptyBack, &why)) << why;
    EXPECT_EQ(exactDump(emptyBack), exactDump(empty));
}

TEST(Snapshot, RestoringOverAnyNetworkGivesTheSameNetworkAsAFreshOne) {
    Network source;
    buildAwkwardNetwork(source);
    const std::string bytes = encodeSnapshot(source);
    const std::string expected = exactDump(source);

    // Larger, smaller, rewired and empty networks, each holding objects the restore may reuse.
    std::vector<std::unique_ptr<Network>> targets;
    for (int shape = 0; shape < 4; ++shape) {
        auto& net = *targets.emplace_back(std::make_unique<Network>());
        const int nodes = shape == 0 ? 9 : shape == 1 ? 2 : shape == 2 ? 4 : 0;
        for (int i = 0; i < nodes; ++i)
            addNodeAt(net, static_cast<float>(i), 1.0f);
        for (int i = 0; nodes > 0 && i < (shape == 0 ? 12 : 3); ++i) {
            Link* l = addLinkBetween(net, net.nodes()[(i * 5) % nodes], net.nodes()[i % nodes]);
            l->setDescription("old " + std::to_string(i));
        }
        net.setBitmap("old.bmp", WorldRect{1, 1, 1, 1});
    }
    for (auto& net : targets) {
        std::string why;
        ASSERT_TRUE(restoreSnapshot(bytes, *net, &why)) << why;
        EXPECT_EQ(exactDump(*net), expected);
        EXPECT_EQ(net->bounds(), source.bounds());
    }

    // A refused snapshot leaves the network exactly as it was.
    Network& kept = *targets[0];
    std::string damaged = bytes;
    damaged.back() ^= 1;
    damaged += "x";
    EXPECT_FALSE(restoreSnapshot(damaged, kept));
    EXPECT_EQ(exactDump(kept), expected);
}

TEST(Snapshot, AutomaticLengthsFollowTheNodesAfterARestore) {
    // The text format wrote 1.414 for this automatic length and brought it back explicit, so a
    // later move of node 2 no longer changed it.
    Network net;
    Node* origin = addNodeAt(net, 0, 0);
    addLinkBetween(net, origin, addNodeAt(net, 1, 1));
    Network back;
    ASSERT_TRUE(decodeSnapshot(encodeSnapshot(net), back));
    back.nodes()[1]->setX(1.08f);
    EXPECT_NEAR(back.links()[0]->effectiveLength(), std::hypot(1.08, 1.0), 1e-6);
}

TEST(Snapshot, DamagedBytesAreRefusedAndLeaveNothingBehind) {
    Network net;
    buildAwkwardNetwork(net);
    const std::string good = encodeSnapshot(net);
    std::vector<std::string> damaged;
    for (std::size_t size = 0; size < good.size(); ++size)
        damaged.push_back(good.substr(0, size));
    damaged.push_back(good + "x");
    std::string badMagic = good;
    badMagic[0] = 'X';
    damaged.push_back(badMagic);
    // Counts that promise more than the bytes hold, and a link naming node 5 of 4.
    std::string hugeCount = good;
    hugeCount[7] = '\x7f';
    damaged.push_back(hugeCount);
    std::string badNode = good;
    badNode[12 + 4 * 8] = 5;
    damaged.push_back(badNode);
    for (const std::string& bytes : damaged) {
        Network into;
        std::string why;
        EXPECT_FALSE(decodeSnapshot(bytes, into, &why)) << bytes.size();
        EXPECT_FALSE(why.empty());
        EXPECT_TRUE(into.nodes().empty() && into.links().empty());
    }
}

} // namespace

} // namespace vantry
