#include "tiger/autopopulate.h"
#include "tiger/nodegrid.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace vantry {

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const LinkDefaults kDefaults{3, 1500, 40, 200};
constexpr float kScale = 100.0f; // logical units per mile: 5 units are 0.05 miles
constexpr TigerPoint kOrigin{0, 0};

// A point x, y miles east and north of the origin, which lies on the equator, in millionths of
// a degree (one of them is 0.000069 miles).
TigerPoint milesAt(double x, double y) {
    return {static_cast<std::int32_t>(std::lround(y / 0.000069)),
            static_cast<std::int32_t>(std::lround(x / 0.000069))};
}

WorldPoint world(TigerPoint p) {
    return TigerToWorld(p, kOrigin);
}

TigerChain chain(std::int32_t tlid, const char* cfcc, TigerPoint start, TigerPoint end,
                 std::vector<TigerPoint> shape = {}) {
    return TigerChain{tlid, cfcc, start, std::move(shape), end};
}

TigerStore storeOf(std::vector<TigerChain> chains) {
    TigerStore store;
    for (TigerChain& c : chains)
        store.storeChain(std::move(c));
    store.recomputeBoundingBox();
    return store;
}

bool click(Network& net, const TigerStore& store, WorldPoint p) {
    return AutoPopulateAt(net, store, kOrigin, p, p, kScale, kDefaults);
}

// Every link as "from>to" by node id, then lanes, in list order.
std::vector<std::string> linksOf(const Network& net) {
    std::vector<std::string> out;
    for (const Link* l : net.links())
        out.push_back(std::to_string(l->fromNode()->id()) + ">" +
                      std::to_string(l->toNode()->id()) + " " + std::to_string(l->numLanes()));
    return out;
}

std::vector<WorldPoint> nodesOf(const Network& net) {
    std::vector<WorldPoint> out;
    for (const Node* n : net.nodes())
        out.push_back(n->position());
    return out;
}

// ---- Click ------------------------------------------------------------------------------------

TEST(AutoPopulateClick, TakesTheFirstRoadChainInTlidOrderWithinFiveUnitsOfItsStraightSegment) {
    // Three chains along the same mile of road; the water chain and the higher TLID lose.
    const TigerStore store = storeOf({chain(30, "A31", milesAt(0, 0), milesAt(1, 0)),
                                      chain(20, "A41", milesAt(1, 0), milesAt(0, 0)),
                                      chain(10, "H11", milesAt(0, 0), milesAt(1, 0))});
    // {distance from the road in logical units, populated}
    const std::tuple<float, bool> cases[] = {
        {0.0f, true}, {4.9f, true}, {-4.9f, true}, {5.1f, false}, {-5.1f, false}};
    for (const auto& [units, populated] : cases) {
        SCOPED_TRACE(units);
        Network net;
        EXPECT_EQ(click(net, store, {0.5f, units / kScale}), populated);
        if (populated) {
            EXPECT_THAT(nodesOf(net), ElementsAre(world(milesAt(1, 0)), world(milesAt(0, 0))));
            EXPECT_THAT(linksOf(net), ElementsAre("1>2 1", "2>1 1"));
        } else {
            EXPECT_THAT(net.nodes(), IsEmpty());
        }
    }
}

TEST(AutoPopulateClick, MeasuresFromTheEndsOfTheSegmentAndIgnoresShapePoints) {
    // The chain bends far north through its shape points; only its straight chord counts.
    const TigerStore store =
        storeOf({chain(1, "A41", milesAt(0, 0), milesAt(1, 0), {milesAt(0.5, 0.5)})});
    Network net;
    EXPECT_FALSE(click(net, store, world(milesAt(0.5, 0.5))));
    EXPECT_FALSE(click(net, store, {1.06f, 0.0f}));
    EXPECT_TRUE(click(net, store, {1.04f, 0.0f}));
    EXPECT_EQ(net.nodes().size(), 2u);
}

TEST(AutoPopulateClick, IsADragOfUnderFiveUnitsBothWaysAtTheReleasePoint) {
    const TigerStore store = storeOf({chain(1, "A41", milesAt(0, 0), milesAt(1, 0))});
    // {press, release, populated}: only the release point is measured.
    const std::tuple<WorldPoint, WorldPoint, bool> cases[] = {
        {{0.5f, 0.09f}, {0.5f, 0.045f}, true},
        {{0.5f, 0.045f}, {0.5f, 0.09f}, false},
        {{0.46f, 0.0f}, {0.5f, 0.0f}, true},
        {{0.53f, 0.06f}, {0.49f, 0.02f}, true},
        {{0.5f, 0.0f}, {0.56f, 0.01f}, false}}; // 6 units wide: a rectangle around no chain
    for (const auto& [press, release, populated] : cases) {
        SCOPED_TRACE(::testing::Message() << release.x << ',' << release.y);
        Network net;
        EXPECT_EQ(AutoPopulateAt(net, store, kOrigin, press, release, kScale, kDefaults),
                  populated);
        EXPECT_EQ(net.links().size(), populated ? 2u : 0u);
    }
}

TEST(AutoPopulateClick, StopsAtTheFirstChainFoundEvenWhenItAddsNothing) {
    const TigerStore store = storeOf({chain(1, "A41", milesAt(0, 0), milesAt(1, 0)),
                                      chain(2, "A41", milesAt(0, 0.01), milesAt(1, 0.01))});
    Network net;
    EXPECT_TRUE(click(net, store, {0.5f, 0.0f}));
    EXPECT_FALSE(click(net, store, {0.5f, 0.0f}));
    EXPECT_EQ(std::tuple(net.nodes().size(), net.links().size()), std::tuple(2u, 2u));
}

// ---- Rectangle --------------------------------------------------------------------------------

TEST(AutoPopulateRectangle, TakesEveryRoadChainWithBothEndsInsideInTlidOrder) {
    const TigerStore store =
        storeOf({chain(40, "A41", milesAt(2, 2), milesAt(3, 3)),    // end outside
                 chain(30, "H11", milesAt(0, 0), milesAt(2, 2)),    // water
                 chain(20, "A63", milesAt(2, 2), milesAt(1, 0)),    // one-way ramp
                 chain(10, "A21", milesAt(0, 0), milesAt(2, 2)),    // on the corners
                 chain(50, "A41", milesAt(-1, 1), milesAt(1, 1))}); // start outside
    Network net;
    const WorldPoint corner = world(milesAt(2, 2));
    EXPECT_TRUE(AutoPopulateAt(net, store, kOrigin, corner, {0, 0}, kScale, kDefaults));
    EXPECT_THAT(nodesOf(net), ElementsAre(WorldPoint{0, 0}, corner, world(milesAt(1, 0))));
    EXPECT_THAT(linksOf(net), ElementsAre("1>2 2", "2>1 2", "2>3 1"));
    EXPECT_EQ(net.bounds(), (WorldRect{corner.y, 0.0f, 0.0f, corner.x}));

    // The same rectangle again finds everything in place.
    EXPECT_FALSE(AutoPopulateAt(net, store, kOrigin, {0, 0}, corner, kScale, kDefaults));
    EXPECT_EQ(net.links().size(), 3u);
}

TEST(AutoPopulateRectangle, ReportsAChangeWhenOnlyAnEarlierChainAddedSomething) {
    const TigerStore store = storeOf({chain(1, "A41", milesAt(0, 0), milesAt(1, 0)),
                                      chain(2, "A41", milesAt(0, 1), milesAt(1, 1))});
    Network net;
    ASSERT_TRUE(click(net, store, world(milesAt(0.5, 1))));
    EXPECT_TRUE(AutoPopulateAt(net, store, kOrigin, {-1, -1}, {2, 2}, kScale, kDefaults));
    EXPECT_EQ(net.links().size(), 4u);

    Network water;
    EXPECT_FALSE(AutoPopulateAt(water, storeOf({chain(1, "H11", milesAt(0, 0), milesAt(1, 0))}),
                                kOrigin, {-1, -1}, {2, 2}, kScale, kDefaults));
    EXPECT_THAT(water.nodes(), IsEmpty());
}

// ---- One chain --------------------------------------------------------------------------------

// Primary and secondary roads (A1, A2) get two lanes, the rest one; A63 ramps and the A?5 to
// A?8 classes run one way only. Every other attribute is the user's defaults.
TEST(PopulateChain, GivesLanesByRoadClassAndALinkBackUnlessOneWay) {
    // {CFCC, lanes, two-way}
    const std::tuple<const char*, std::int32_t, bool> classes[] = {
        {"A11", 2, true}, {"A15", 2, false}, {"A18", 2, false}, {"A19", 2, true},
        {"A21", 2, true}, {"A25", 2, false}, {"A31", 1, true},  {"A36", 1, false},
        {"A41", 1, true}, {"A48", 1, false}, {"A63", 1, false}, {"A64", 1, true}};
    for (const auto& [cfcc, lanes, twoWay] : classes) {
        SCOPED_TRACE(cfcc);
        Network net;
        EXPECT_TRUE(PopulateChain(net, chain(1, cfcc, milesAt(0, 0), milesAt(0.3, 0.4)), kOrigin,
                                  kDefaults));
        const std::string each = " " + std::to_string(lanes);
        if (twoWay)
            EXPECT_THAT(linksOf(net), ElementsAre("1>2" + each, "2>1" + each));
        else
            EXPECT_THAT(linksOf(net), ElementsAre("1>2" + each));
        for (Link* l : net.links()) {
            EXPECT_EQ(std::tuple(l->capacity(), l->ffSpeed(), l->jamDensity()),
                      std::tuple(1500, 40, 200));
            EXPECT_EQ(std::tuple(l->direction(), l->type(), l->twoWaySide(), l->description()),
                      std::tuple(LinkDirection::Inbound, LinkType::None, 0, std::string()));
            EXPECT_TRUE(l->hasAutomaticLength());
            EXPECT_NEAR(l->effectiveLength(), 0.5, 0.0001);
        }
    }
}

TEST(PopulateChain, ReusesTheNearestNodeStrictlyWithinATousandthOfAMile) {
    const TigerChain road = chain(1, "A41", kOrigin, milesAt(1, 0));
    // {existing nodes, index of the node the start reuses (-1: a new node)}
    const std::tuple<std::vector<WorldPoint>, int> cases[] = {
        {{{0.0009f, 0.0f}}, 0},
        {{{0.0f, -0.00099f}}, 0},
        {{{0.001f, 0.0f}}, -1},
        {{{0.0011f, 0.0f}}, -1},
        {{{0.0008f, 0.0f}, {0.0002f, 0.0f}}, 1},
        {{{0.0005f, 0.0f}, {-0.0005f, 0.0f}, {0.0f, 0.0005f}}, 0},
        {{{0.0009f, 0.0f}, {0.0f, 0.0f}, {0.0f, 0.0f}}, 1}};
    for (const auto& [existing, reused] : cases) {
        SCOPED_TRACE(::testing::Message() << existing.size() << " nodes, " << reused);
        Network net;
        for (WorldPoint p : existing)
            createNodeAt(net, p);
        EXPECT_TRUE(PopulateChain(net, road, kOrigin, kDefaults));
        const Node* start = net.links().front()->fromNode();
        if (reused >= 0) {
            EXPECT_EQ(start, net.nodes()[static_cast<std::size_t>(reused)]);
            EXPECT_EQ(net.nodes().size(), existing.size() + 1);
        } else {
            EXPECT_EQ(start->id(), static_cast<int>(existing.size()) + 1);
            EXPECT_EQ(start->position(), (WorldPoint{0, 0}));
        }
    }
}

TEST(PopulateChain, ChainsMeetingAtAnEndShareItsNode) {
    Network net;
    NodeGrid grid(net, kTigerNodeTolerance);
    // The second chain starts 0.0005 miles from where the first one ends.
    ASSERT_TRUE(PopulateChain(net, chain(1, "A41", milesAt(0, 0), milesAt(1, 0)), kOrigin,
                              kDefaults, grid));
    ASSERT_TRUE(PopulateChain(net, chain(2, "A15", milesAt(1.0005, 0), milesAt(1, 1)), kOrigin,
                              kDefaults, grid));
    EXPECT_EQ(net.nodes().size(), 3u);
    EXPECT_THAT(linksOf(net), ElementsAre("1>2 1", "2>1 1", "2>3 2"));
    EXPECT_EQ(grid.size(), 3u);
}

TEST(PopulateChain, CompletesARoadWhoseLinkOneWayExists) {
    Network net;
    Node* a = createNodeAt(net, {0, 0});
    Node* b = createNodeAt(net, world(milesAt(1, 0)));
    createLink(net, b, a, kDefaults);
    EXPECT_TRUE(
        PopulateChain(net, chain(1, "A21", milesAt(0, 0), milesAt(1, 0)), kOrigin, kDefaults));
    EXPECT_THAT(linksOf(net), ElementsAre("2>1 3", "1>2 2"));
    EXPECT_FALSE(
        PopulateChain(net, chain(2, "A21", milesAt(1, 0), milesAt(0, 0)), kOrigin, kDefaults));
}

TEST(PopulateChain, MakesOnlyTheNodeOfAClosedLoop) {
    // {start, end}: the same point, and two points within the tolerance of the first node.
    const std::tuple<TigerPoint, TigerPoint> loops[] = {{milesAt(1, 1), milesAt(1, 1)},
                                                        {milesAt(1, 1), milesAt(1.0006, 1)}};
    for (const auto& [start, end] : loops) {
        Network net;
        EXPECT_TRUE(PopulateChain(net, chain(1, "A41", start, end), kOrigin, kDefaults));
        EXPECT_EQ(nodesOf(net), std::vector<WorldPoint>{world(start)});
        EXPECT_THAT(net.links(), IsEmpty());
        EXPECT_TRUE(net.nodes().front()->links().empty());
        EXPECT_FALSE(PopulateChain(net, chain(2, "A41", start, end), kOrigin, kDefaults));
        EXPECT_EQ(net.nodes().size(), 1u);
    }
    // A rectangle around a loop reports the node it made.
    Network net;
    EXPECT_TRUE(AutoPopulateAt(net, storeOf({chain(1, "A41", milesAt(1, 1), milesAt(1, 1))}),
                               kOrigin, {0, 0}, {2, 2}, kScale, kDefaults));
    EXPECT_EQ(std::tuple(net.nodes().size(), net.links().size()), std::tuple(1u, 0u));
}

// ---- The node index against a scan of the node list --------------------------------------------

Node* scanForNearest(const Network& net, WorldPoint p, float tolerance) {
    Node* nearest = nullptr;
    float best = tolerance;
    for (Node* n : net.nodes()) {
        const float dx = n->x() - p.x;
        const float dy = n->y() - p.y;
        const float d = std::sqrt(dx * dx + dy * dy);
        if (d < best) {
            best = d;
            nearest = n;
        }
    }
    return nearest;
}

TEST(NodeGrid, FindsWhatAScanOfTheNodeListFinds) {
    std::mt19937 random(20240611);
    std::uniform_real_distribution<float> spread(-0.02f, 0.02f);
    std::uniform_real_distribution<float> nudge(-0.0012f, 0.0012f);
    std::uniform_int_distribution<int> coin(0, 3);
    const float tolerances[] = {0.001f, 0.0004f, 0.0037f, 0.0f};

    Network net;
    // Nodes close together, some on cell borders and some repeated, so that ties happen.
    const auto randomPoint = [&]() -> WorldPoint {
        switch (coin(random)) {
        case 0:
            return {std::round(spread(random) * 1000.0f) / 1000.0f, spread(random)};
        case 1:
            if (!net.nodes().empty())
                return net.nodes()[random() % net.nodes().size()]->position();
            [[fallthrough]];
        default:
            return {spread(random), spread(random)};
        }
    };
    for (int i = 0; i < 1500; ++i)
        createNodeAt(net, randomPoint());
    NodeGrid grid(net, kTigerNodeTolerance);
    ASSERT_EQ(grid.size(), net.nodes().size());

    int found = 0;
    for (int round = 0; round < 4000; ++round) {
        if (round % 4 == 0)
            grid.insert(createNodeAt(net, randomPoint()));
        WorldPoint p = randomPoint();
        switch (coin(random)) {
        case 0:
            p = {p.x + nudge(random), p.y + nudge(random)};
            break;
        case 1: {
            // Just inside the tolerance along one axis, which may reach into the next cell.
            const float away = coin(random) < 2 ? 0.0009995f : -0.0009995f;
            p = coin(random) < 2 ? WorldPoint{p.x + away, p.y} : WorldPoint{p.x, p.y + away};
            break;
        }
        default:
            break;
        }
        for (float tolerance : tolerances) {
            Node* expected = scanForNearest(net, p, tolerance);
            ASSERT_EQ(grid.findNearest(p, tolerance), expected)
                << p.x << ',' << p.y << " within " << tolerance;
            found += expected != nullptr;
        }
    }
    EXPECT_GT(found, 4000); // the case is not vacuous
}

TEST(NodeGrid, LeavesOutPositionsNoPointCanBeNear) {
    Network net;
    const float inf = std::numeric_limits<float>::infinity();
    createNodeAt(net, {inf, 0});
    createNodeAt(net, {std::nanf(""), 0});
    createNodeAt(net, {3e38f, 3e38f});
    NodeGrid grid(net, kTigerNodeTolerance);
    EXPECT_EQ(grid.size(), 1u);
    EXPECT_EQ(grid.findNearest({inf, 0}, 1.0f), nullptr);
    EXPECT_EQ(grid.findNearest({3e38f, 3e38f}, 0.001f), net.nodes()[2]);
    EXPECT_EQ(grid.findNearest({-3e38f, 3e38f}, 0.001f), nullptr);
}

} // namespace

} // namespace vantry
