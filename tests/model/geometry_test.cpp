#include "model/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

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

struct ContainsCase {
    const char* name;
    WorldPoint p;
    bool inside;
};

class WorldRectContains : public ::testing::TestWithParam<ContainsCase> {};

TEST_P(WorldRectContains, IsInclusiveOnEveryEdge) {
    const WorldRect r{3.0f, -1.0f, -2.0f, 4.0f}; // top, bottom, left, right
    EXPECT_EQ(r.contains(GetParam().p), GetParam().inside);
}

INSTANTIATE_TEST_SUITE_P(Edges, WorldRectContains,
                         ::testing::Values(ContainsCase{"Inside", {0.0f, 0.0f}, true},
                                           ContainsCase{"TopEdge", {1.0f, 3.0f}, true},
                                           ContainsCase{"BottomEdge", {1.0f, -1.0f}, true},
                                           ContainsCase{"LeftEdge", {-2.0f, 1.0f}, true},
                                           ContainsCase{"RightEdge", {4.0f, 1.0f}, true},
                                           ContainsCase{"Corner", {4.0f, -1.0f}, true},
                                           ContainsCase{"AboveTop", {1.0f, 3.001f}, false},
                                           ContainsCase{"BelowBottom", {1.0f, -1.001f}, false},
                                           ContainsCase{"LeftOfLeft", {-2.001f, 1.0f}, false},
                                           ContainsCase{"RightOfRight", {4.001f, 1.0f}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SegmentCase {
    const char* name;
    WorldPoint a, b, p;
    float expected;
    float tolerance = 1e-5f;
};

void PrintTo(const SegmentCase& c, std::ostream* os) {
    *os << c.name;
}

class DistanceToSegment : public ::testing::TestWithParam<SegmentCase> {};

TEST_P(DistanceToSegment, Measures) {
    const SegmentCase& c = GetParam();
    EXPECT_NEAR(distanceToSegment(c.a, c.b, c.p), c.expected, c.tolerance);
    // The segment has no direction.
    EXPECT_NEAR(distanceToSegment(c.b, c.a, c.p), c.expected, c.tolerance);
}

const float kFoldedDistance = 10.0f / std::sqrt(101.0f);

INSTANTIATE_TEST_SUITE_P(
    Cases, DistanceToSegment,
    ::testing::Values(
        SegmentCase{"BesideTheMiddle", {0, 0}, {4, 0}, {1, 3}, 3.0f},
        SegmentCase{"BelowTheMiddle", {0, 0}, {4, 0}, {3, -0.5f}, 0.5f},
        SegmentCase{"OnTheSegment", {0, 0}, {4, 0}, {2, 0}, 0.0f},
        SegmentCase{"BeyondTheStart", {0, 0}, {4, 0}, {-3, 4}, 5.0f},
        SegmentCase{"BeyondTheEnd", {0, 0}, {4, 0}, {7, -4}, 5.0f},
        SegmentCase{"OnTheLineBeyondTheEnd", {0, 0}, {4, 0}, {6, 0}, 2.0f},
        SegmentCase{"AboveAnEndPoint", {0, 0}, {4, 0}, {4, 2}, 2.0f},
        SegmentCase{"OnTheStartPoint", {1, 1}, {4, 5}, {1, 1}, 0.0f},
        SegmentCase{"OnTheEndPoint", {1, 1}, {4, 5}, {4, 5}, 0.0f},
        SegmentCase{"DegenerateSegment", {1, 1}, {1, 1}, {4, 5}, 5.0f},
        SegmentCase{"DiagonalSegment", {0, 0}, {2, 2}, {0, 2}, std::sqrt(2.0f)},
        // The directions of the segment and of the point lie on both sides of the negative x
        // axis, so the raw angle difference exceeds pi and must be folded back. The fold uses
        // the five-decimal pi, which shifts the result by about 3e-5 mile here; without the
        // fold the point would count as beyond the end (about 5 miles).
        SegmentCase{
            "AngleAcrossTheNegativeXAxis", {0, 0}, {-10, -1}, {-5, 0.5f}, kFoldedDistance, 1e-4f}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
