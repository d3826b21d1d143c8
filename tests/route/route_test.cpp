#include "model/model_test_support.h"
#include "route/workzone.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace vantry {

using model_test::addLinkBetween;
using model_test::addNodeAt;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

// A link of the given length, speed and type; two lanes unless told.
Link* road(Network& net, Node* a, Node* b, float miles, int mph, LinkType type = LinkType::None,
           int lanes = 2) {
    Link* l = addLinkBetween(net, a, b);
    l->setLength(miles);
    l->setFFSpeed(mph);
    l->setNumLanes(lanes);
    l->setCapacity(1800);
    l->setType(type);
    return l;
}

std::vector<Node*> nodesAt(Network& net, int count) {
    std::vector<Node*> nodes;
    for (int i = 0; i < count; ++i)
        nodes.push_back(addNodeAt(net, static_cast<float>(i), static_cast<float>(i % 3)));
    return nodes;
}

std::unique_ptr<Network> readExample(const std::string& name) {
    std::ifstream in(std::string(VANTRY_EXAMPLES) + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    auto net = std::make_unique<Network>();
    std::string why;
    EXPECT_TRUE(net->readText(text.str(), &why)) << why;
    return net;
}

} // namespace

TEST(Routes, TakeTheFastestDrivableLinksInTheirDirection) {
    Network net;
    auto n = nodesAt(net, 4);
    road(net, n[0], n[1], 1.0f, 20);                    // 1: short but slow, 3 minutes
    road(net, n[0], n[2], 0.8f, 60, LinkType::Ramp);    // 2 and 3: longer, 1.6 minutes
    road(net, n[2], n[1], 0.8f, 60);                    // 3
    road(net, n[0], n[1], 0.1f, 0);                     // 4: no speed
    road(net, n[0], n[1], 0.1f, 60, LinkType::None, 0); // 5: no lanes
    const RoutingGraph graph(net);

    auto fastest = fastestRoute(graph, 1, 2);
    ASSERT_TRUE(fastest);
    EXPECT_THAT(fastest->links, ElementsAre(2, 3));
    EXPECT_NEAR(fastest->miles, 1.6, 1e-6);
    EXPECT_NEAR(fastest->minutes, 1.6, 1e-6);

    auto noRamps = fastestRoute(graph, 1, 2, {{LinkType::Ramp}, {}});
    ASSERT_TRUE(noRamps);
    EXPECT_THAT(noRamps->links, ElementsAre(1));
    EXPECT_NEAR(noRamps->minutes, 3.0, 1e-6);
    EXPECT_FALSE(fastestRoute(graph, 1, 2, {{LinkType::Ramp}, {1}}));

    // Links run one way only; a node is its own route, of no links.
    EXPECT_FALSE(fastestRoute(graph, 2, 1));
    EXPECT_EQ(fastestRoute(graph, 4, 4), Route{});
    EXPECT_FALSE(fastestRoute(graph, 1, 4));
    EXPECT_EQ(noRouteText(graph, 2, 1), "No route from node 2 to node 1 (links 4 and 5 have no "
                                        "speed or no lanes and cannot be driven).");
    EXPECT_EQ(impassableText(graph), "Links 4 and 5 have no speed or no lanes and cannot be "
                                     "driven.");
}

TEST(Routes, FollowAnAutomaticLengthWhenANodeMoves) {
    Network net;
    auto n = nodesAt(net, 3);
    n[0]->setPosition({0, 0});
    n[1]->setPosition({3, 0});
    n[2]->setPosition({1.5f, 1});
    road(net, n[0], n[1], -1.0f, 30); // 3 miles straight, 6 minutes
    road(net, n[0], n[2], -1.0f, 60); // two legs of 1.8 miles, 3.6 minutes
    road(net, n[2], n[1], -1.0f, 60);
    EXPECT_THAT(fastestRoute(RoutingGraph(net), 1, 2)->links, ElementsAre(2, 3));
    n[2]->setPosition({1.5f, 4}); // 5 miles a leg now: 10 minutes
    const auto moved = fastestRoute(RoutingGraph(net), 1, 2);
    EXPECT_THAT(moved->links, ElementsAre(1));
    EXPECT_NEAR(moved->miles, 3.0, 1e-6);
}

// One tree searched again and again, with other links blocked and penalised each time, against
// Bellman-Ford over the same costs from scratch: a stale mark or distance left by an earlier
// search would show as a wrong route.
TEST(Routes, AgreeWithBellmanFordOverManyReusedSearches) {
    std::mt19937 random(20261208);
    Network net;
    auto n = nodesAt(net, 40);
    std::uniform_int_distribution<int> pick(0, 39);
    std::uniform_int_distribution<int> speed(0, 70);
    std::uniform_real_distribution<float> miles(0.0f, 2.0f);
    for (int i = 0; i < 160; ++i)
        road(net, n[pick(random)], n[pick(random)], miles(random),
             speed(random) < 5 ? 0 : speed(random), static_cast<LinkType>(pick(random) % 6));
    const RoutingGraph graph(net);
    ShortestPathTree tree(graph);
    const int m = graph.linkCount();
    for (int round = 0; round < 300; ++round) {
        const int from = pick(random) + 1;
        const int to = pick(random) + 1;
        std::vector<char> blocked(m), penalised(m);
        for (int k = 0; k < m; ++k) {
            blocked[k] = random() % 8 == 0;
            penalised[k] = round % 2 == 1 && random() % 3 == 0;
        }
        tree.setBlocked(blocked);
        tree.setPenalised(round % 2 == 1 ? penalised : std::vector<char>{});
        // Over everything, until `to`, or until `to` and another node are both reached.
        if (round % 3 == 0)
            tree.grow(from);
        else if (round % 3 == 1)
            tree.grow(from, to);
        else
            tree.grow(from, std::vector<std::int32_t>{pick(random) + 1, to});

        // (penalised links, minutes) to every node, relaxed until nothing changes.
        std::vector<std::pair<int, double>> best(41, {1 << 30, kImpassable});
        best[from] = {0, 0.0};
        for (bool changed = true; changed;) {
            changed = false;
            for (int k = 0; k < m; ++k) {
                const int a = graph.fromNode(k) + 1;
                const int b = graph.toNode(k) + 1;
                if (blocked[k] || graph.impassable(k) || best[a].second == kImpassable)
                    continue;
                const std::pair<int, double> c{best[a].first + (penalised[k] && round % 2 == 1),
                                               best[a].second + graph.minutes(k)};
                if (c.first < best[b].first ||
                    (c.first == best[b].first && c.second < best[b].second - 1e-9)) {
                    best[b] = c;
                    changed = true;
                }
            }
        }
        ASSERT_EQ(tree.reaches(to), best[to].second != kImpassable) << round;
        if (!tree.reaches(to))
            continue;
        const Route route = tree.routeTo(to);
        EXPECT_NEAR(route.minutes, best[to].second, 1e-9) << round;
        int at = from;
        int penalties = 0;
        for (std::int32_t id : route.links) {
            ASSERT_EQ(graph.fromNode(id - 1) + 1, at) << round;
            EXPECT_FALSE(blocked[id - 1]);
            penalties += round % 2 == 1 && penalised[id - 1];
            at = graph.toNode(id - 1) + 1;
        }
        EXPECT_EQ(at, to);
        EXPECT_EQ(penalties, best[to].first) << round;
    }
}

TEST(WorkZoneRuns, AreOrderedHeadToTailOrRefusedWithTheLinkThatBreaksThem) {
    Network net;
    auto n = nodesAt(net, 6);
    Link* a = road(net, n[0], n[1], 1, 60);
    Link* b = road(net, n[1], n[2], 1, 60);
    Link* c = road(net, n[2], n[3], 1, 60);
    Link* fork = road(net, n[1], n[4], 1, 60);
    Link* apart = road(net, n[4], n[5], 1, 60);
    Link* back = road(net, n[3], n[0], 1, 60);

    EXPECT_EQ(headToTailRun({c, a, b}), (std::vector<Link*>{a, b, c}));
    std::string why;
    EXPECT_FALSE(headToTailRun({a, b, fork}, &why));
    EXPECT_EQ(why, "Links 2 and 4 both start at node 2: they are not one run.");
    EXPECT_FALSE(headToTailRun({a, c}, &why));
    EXPECT_THAT(why, HasSubstr("does not follow on from link"));
    EXPECT_FALSE(headToTailRun({a, b, c, back}, &why));
    EXPECT_THAT(why, HasSubstr("loop"));
    EXPECT_FALSE(headToTailRun({a, a}, &why));
    EXPECT_EQ(why, "Link 1 is given twice.");
    EXPECT_FALSE(headToTailRun({}, &why));
    EXPECT_EQ(headToTailRun({apart}), std::vector<Link*>{apart});
}

// The bundled corridor: its work zone has no way round from its own ends, so the search moves
// one node up and one down the freeway to the exit and entrance ramps of the frontage road.
TEST(Detours, OfTheSampleCorridorTakeTheFrontageRoad) {
    auto net = readExample("corridor-work-zone.txt");
    const auto& links = net->links();
    const std::vector<Link*> run = {links[3], links[4]};
    const RoutingGraph graph(*net);
    const DetourSearch search = findDetours(graph, run, {});
    ASSERT_EQ(search.detours.size(), 1u);
    const Detour& d = search.detours[0];
    EXPECT_THAT(d.route.links, ElementsAre(25, 17, 19, 21, 23, 26));
    EXPECT_EQ(d.from, 3);
    EXPECT_EQ(d.to, 7);
    EXPECT_NEAR(d.route.miles, 2.77, 1e-5);
    // Links 3 to 6 of the freeway before the work zone.
    const double mainline = 2 * 0.5 / 65 * 60 + 2 * 0.5 / 45 * 60;
    EXPECT_NEAR(d.mainlineMinutes, mainline, 1e-5);
    EXPECT_NEAR(d.extraMinutes(), d.route.minutes - mainline, 1e-9);
    EXPECT_THAT(search.notes,
                ElementsAre(HasSubstr("the detours run from node 3 to node 7"),
                            "No second route from node 3 to node 7 differs from detour 1."));

    // Chosen nodes that no route joins without the work zone.
    const DetourSearch none = findDetours(graph, run, {2, 4, 6});
    EXPECT_TRUE(none.detours.empty());
    EXPECT_THAT(none.notes, ElementsAre("No route from node 4 to node 6 avoids the work zone."));
    EXPECT_TRUE(findDetours(graph, run, {2, 3, 3}).detours.empty());
}

// A freeway 0-1-2-3-4-5 whose work zone 2-3 can be left only at node 1 and rejoined at node 4,
// by a fast road A and a slow road B that share their first link, from node 1 to node 6.
struct Corridor {
    Network net;
    std::vector<Node*> n;
    std::vector<Link*> run;
    Link* shared = nullptr;
    Link* a = nullptr;
    Link* b = nullptr;

    Corridor() {
        n = nodesAt(net, 9);
        for (int i = 0; i < 6; ++i)
            n[i]->setPosition({static_cast<float>(i), 0});
        for (auto [i, x, y] : {std::tuple{6, 1.5f, -1.0f}, {7, 3.0f, -1.0f}, {8, 3.0f, -2.0f}})
            n[i]->setPosition({x, y});
        for (int i = 0; i < 5; ++i) {
            Link* l = road(net, n[i], n[i + 1], 0.5f, 65, LinkType::Mainline);
            if (i == 2)
                run.push_back(l);
        }
        shared = road(net, n[1], n[6], 0.2f, 40, LinkType::Ramp);
        a = road(net, n[6], n[7], 1.0f, 45);
        road(net, n[7], n[4], 0.2f, 40, LinkType::Ramp);
        b = road(net, n[6], n[8], 1.0f, 30);
        road(net, n[8], n[4], 0.2f, 40);
    }
};

TEST(Detours, SecondSharesAsFewLinksAsItCanAndBothAreMarked) {
    Corridor c;
    const RoutingGraph graph(c.net);
    const DetourSearch search = findDetours(graph, c.run, {});
    ASSERT_EQ(search.detours.size(), 2u);
    EXPECT_THAT(search.detours[0].route.links, ElementsAre(6, 7, 8));
    EXPECT_THAT(search.detours[1].route.links, ElementsAre(6, 9, 10));
    EXPECT_EQ(search.detours[1].sharedWithFirst, 1);
    EXPECT_EQ(search.detours[0].from, 2);
    EXPECT_EQ(search.detours[0].to, 5);
    EXPECT_GT(search.detours[1].extraMinutes(), search.detours[0].extraMinutes());

    ASSERT_TRUE(markWorkZone(c.net, c.run, {1, 1500},
                             {search.detours[0].route.links, search.detours[1].route.links}));
    EXPECT_EQ(c.run[0]->type(), LinkType::Workzone);
    EXPECT_EQ(c.run[0]->numLanes(), 1);
    EXPECT_EQ(c.run[0]->capacity(), 1500);
    EXPECT_EQ(c.shared->type(), LinkType::Ramp);
    EXPECT_EQ(c.a->type(), LinkType::Detour1);
    EXPECT_EQ(c.b->type(), LinkType::Detour2);
    EXPECT_EQ(c.net.links()[9]->type(), LinkType::Detour2);
    EXPECT_EQ(c.net.links()[1]->type(), LinkType::Mainline);
    EXPECT_FALSE(markWorkZone(c.net, c.run, {1, 1500},
                              {search.detours[0].route.links, search.detours[1].route.links}));

    // A link on both detours stays Detour 1.
    c.shared->setType(LinkType::None);
    markWorkZone(c.net, c.run, {1, 1500}, {{6, 7}, {6, 9}});
    EXPECT_EQ(c.shared->type(), LinkType::Detour1);
}

TEST(Detours, NeedAWayRoundAndValuesThatCanBeKept) {
    Corridor c;
    c.net.links()[5]->setFFSpeed(0); // the only way off the freeway cannot be driven
    const RoutingGraph graph(c.net);
    const DetourSearch search = findDetours(graph, c.run, {});
    EXPECT_TRUE(search.detours.empty());
    EXPECT_THAT(search.notes, ElementsAre(HasSubstr("No route avoids the work zone"),
                                          "Link 6 has no speed or no lanes and cannot be driven."));
    EXPECT_TRUE(findDetours(graph, c.run, {0}).detours.empty());
    EXPECT_EQ(workZoneValuesProblem({0, 1500}), "The open lanes must be at least 1.");
    EXPECT_EQ(workZoneValuesProblem({1, 0}), "The capacity per open lane must be at least 1.");
    EXPECT_EQ(workZoneValuesProblem({2, 1500}), std::nullopt);
}

} // namespace vantry
