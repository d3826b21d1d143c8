#include "model/geometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vantry {

namespace {

TEST(WorldRect, ExtendUniteAndInflateKeepTopAsTheLargestY) {
    WorldRect r{1.0f, 1.0f, 2.0f, 2.0f};
    r.extendTo({-1.0f, 4.0f});
    r.extendTo({5.0f, -3.0f});
    EXPECT_EQ(r, (WorldRect{4.0f, -3.0f, -1.0f, 5.0f}));
    r.unite(WorldRect{10.0f, 0.0f, 0.0f, 1.0f});
    EXPECT_EQ(r, (WorldRect{10.0f, -3.0f, -1.0f, 5.0f}));
    r.inflate(0.5f);
    EXPECT_EQ(r, (WorldRect{10.5f, -3.5f, -1.5f, 5.5f}));
    EXPECT_FLOAT_EQ(r.width(), 7.0f);
    EXPECT_FLOAT_EQ(r.height(), 14.0f);
    EXPECT_EQ(r.center(), (WorldPoint{2.0f, 3.5f}));
}

TEST(WorldRect, ContainsIsInclusiveOnEveryEdge) {
    const WorldRect r{3.0f, -1.0f, -2.0f, 4.0f}; // top, bottom, left, right
    const struct {
        WorldPoint p;
        bool inside;
    } cases[] = {{{0, 0}, true},       {{1, 3}, true},        {{1, -1}, true},
                 {{-2, 1}, true},      {{4, 1}, true},        {{4, -1}, true},
                 {{1, 3.001f}, false}, {{1, -1.001f}, false}, {{-2.001f, 1}, false},
                 {{4.001f, 1}, false}};
    for (const auto& c : cases)
        EXPECT_EQ(r.contains(c.p), c.inside) << c.p.x << ", " << c.p.y;
}

// Each case is measured with the ends both ways round, so the start cases cover the end too.
TEST(DistanceToSegment, MeasuresToTheNearestPointEitherWayRound) {
    const struct {
        const char* name;
        WorldPoint a, b, p;
        float expected;
    } cases[] = {
        {"beside the middle", {0, 0}, {4, 0}, {1, 3}, 3.0f},
        {"below the middle", {0, 0}, {4, 0}, {3, -0.5f}, 0.5f},
        {"on the segment", {0, 0}, {4, 0}, {2, 0}, 0.0f},
        {"beyond the start", {0, 0}, {4, 0}, {-3, 4}, 5.0f},
        {"above an end point", {0, 0}, {4, 0}, {4, 2}, 2.0f},
        {"on the start point", {1, 1}, {4, 5}, {1, 1}, 0.0f},
        {"degenerate segment", {1, 1}, {1, 1}, {4, 5}, 5.0f},
        {"diagonal segment", {0, 0}, {2, 2}, {0, 2}, std::sqrt(2.0f)},
        // The two directions lie on both sides of the negative x axis, so the raw angle
        // difference exceeds pi and must be folded back; unfolded, the point would count as
        // beyond the end (about 5 miles). The five-decimal pi shifts the result by about 3e-5.
        {"across the negative x axis", {0, 0}, {-10, -1}, {-5, 0.5f}, 10.0f / std::sqrt(101.0f)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(distanceToSegment(c.a, c.b, c.p), c.expected, 1e-4f);
        EXPECT_NEAR(distanceToSegment(c.b, c.a, c.p), c.expected, 1e-4f);
    }
}

} // namespace

} // namespace vantry
