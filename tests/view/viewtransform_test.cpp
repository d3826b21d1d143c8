#include "view/viewtransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <string>
#include <utility>

namespace vantry {

namespace {

ViewTransform makeView(int widthPx, int heightPx, float scale = 100.0f, WorldPoint center = {},
                       double pixelsPerLogical = 1.0) {
    ViewTransform v;
    v.setClientSize(widthPx, heightPx, pixelsPerLogical);
    v.scale = scale;
    v.viewCenter = center;
    return v;
}

bool isUsableScale(float s) {
    return std::isfinite(s) && s > 0.0f;
}

template <typename Case> std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

// ---- Surface: client rectangle and device pixels ------------------------------------------------

struct ClientCase {
    const char* name;
    int widthPx, heightPx;
    double pixelsPerLogical;
    LogicalRect expected;
};

class ClientLogical : public ::testing::TestWithParam<ClientCase> {};

TEST_P(ClientLogical, PutsTheOriginInTheMiddle) {
    const ClientCase& c = GetParam();
    EXPECT_EQ(makeView(c.widthPx, c.heightPx, 100.0f, {}, c.pixelsPerLogical).clientLogical(),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, ClientLogical,
    ::testing::Values(ClientCase{"Even", 200, 100, 1.0, {-100, 50, 100, -50}},
                      ClientCase{"Odd", 201, 101, 1.0, {-100, 50, 101, -51}},
                      ClientCase{"DenseScreen", 192, 96, 0.96, {-100, 50, 100, -50}},
                      ClientCase{"CoarseScreen", 250, 125, 1.25, {-100, 50, 100, -50}},
                      ClientCase{"Empty", 0, 0, 1.0, {0, 0, 0, 0}}),
    caseName<ClientCase>);

class DeviceMapping : public ::testing::TestWithParam<double> {};

TEST_P(DeviceMapping, LogicalUnitsSurviveTheTripThroughPixels) {
    const ViewTransform v = makeView(640, 480, 100.0f, {}, GetParam());
    const LogicalRect client = v.clientLogical();
    for (std::int32_t lx = client.left; lx < client.right; ++lx)
        ASSERT_EQ(v.deviceToLogical(v.logicalToDeviceX(lx), 0).x, lx) << lx;
    for (std::int32_t ly = client.top; ly > client.bottom; --ly)
        ASSERT_EQ(v.deviceToLogical(0, v.logicalToDeviceY(ly)).y, ly) << ly;
}

TEST_P(DeviceMapping, PixelsLandOnTheUnitThatCoversThem) {
    const double f = GetParam();
    const ViewTransform v = makeView(640, 480, 100.0f, {}, f);
    for (int px = 0; px < 640; ++px) {
        const LogicalPoint l = v.deviceToLogical(px, px % 480);
        const double x = v.logicalToDeviceX(l.x);
        const double y = v.logicalToDeviceY(l.y);
        ASSERT_LE(x, px + 1e-6);
        ASSERT_GT(x, px - f);
        ASSERT_LE(y, px % 480 + 1e-6);
        ASSERT_GT(y, px % 480 - f);
    }
}

TEST_P(DeviceMapping, EveryClientPixelLiesInTheClientRectangle) {
    const ViewTransform v = makeView(640, 480, 100.0f, {}, GetParam());
    const LogicalRect client = v.clientLogical();
    EXPECT_EQ(v.deviceToLogical(0, 0), (LogicalPoint{client.left, client.top}));
    for (int px = 0; px < 640; ++px) {
        ASSERT_TRUE(client.contains(v.deviceToLogical(px + 0.5, 0.5))) << px;
        ASSERT_TRUE(client.contains(v.deviceToLogical(px + 0.5, 479.5))) << px;
    }
    for (int py = 0; py < 480; ++py) {
        ASSERT_TRUE(client.contains(v.deviceToLogical(0.5, py + 0.5))) << py;
        ASSERT_TRUE(client.contains(v.deviceToLogical(639.5, py + 0.5))) << py;
    }
    EXPECT_FALSE(client.contains(v.deviceToLogical(-0.5, 240)));
    EXPECT_FALSE(client.contains(v.deviceToLogical(320, -0.5)));
    // The right and bottom edges belong to the next window over.
    EXPECT_FALSE(client.contains({client.right, 0}));
    EXPECT_FALSE(client.contains({0, client.bottom}));
}

INSTANTIATE_TEST_SUITE_P(PixelsPerLogical, DeviceMapping, ::testing::Values(1.0, 0.96));

// ---- World <-> logical --------------------------------------------------------------------------

TEST(LogicalToWorld, TheWindowCentreIsExactlyTheViewCentre) {
    const ViewTransform v = makeView(200, 100, 3.0f, {12.3456f, -7.891f});
    EXPECT_EQ(v.LogicalToWorld(v.deviceToLogical(100, 50)), v.viewCenter);
}

TEST(LogicalToWorld, RoundsTheOffsetToAThousandthOfAMile) {
    const ViewTransform v = makeView(200, 100, 3.0f, {5.0f, 2.0f});
    const WorldPoint p = v.LogicalToWorld({1, -2});
    EXPECT_FLOAT_EQ(p.x, 5.0f + 0.333f);
    EXPECT_FLOAT_EQ(p.y, 2.0f - 0.667f);
}

struct ToLogicalCase {
    const char* name;
    WorldPoint p;
    LogicalPoint expected;
};

class WorldToLogical : public ::testing::TestWithParam<ToLogicalCase> {};

TEST_P(WorldToLogical, TruncatesTowardZero) {
    const ViewTransform v = makeView(200, 100, 100.0f, {1.0f, 1.0f});
    EXPECT_EQ(v.WorldToLogical(GetParam().p), GetParam().expected);
}

constexpr float kHuge = 1e30f;

INSTANTIATE_TEST_SUITE_P(
    Offsets, WorldToLogical,
    ::testing::Values(ToLogicalCase{"Centre", {1.0f, 1.0f}, {0, 0}},
                      ToLogicalCase{"JustUnderOneUnit", {1.019f, 1.019f}, {1, 1}},
                      ToLogicalCase{"JustUnderMinusOneUnit", {0.981f, 0.981f}, {-1, -1}},
                      ToLogicalCase{"NorthIsUp", {1.0f, 3.5f}, {0, 250}},
                      ToLogicalCase{"FarPointsSaturate",
                                    {kHuge, -kHuge},
                                    {std::numeric_limits<std::int32_t>::max(),
                                     std::numeric_limits<std::int32_t>::min()}}),
    caseName<ToLogicalCase>);

TEST(VisibleWorld, IsTheClientAreaAroundTheCentre) {
    const ViewTransform v = makeView(200, 100, 100.0f, {1.0f, 2.0f});
    EXPECT_EQ(v.visibleWorld(), (WorldRect{2.5f, 1.5f, 0.0f, 2.0f}));
}

// ---- Zoom commands ------------------------------------------------------------------------------

struct ZoomCase {
    const char* name;
    bool in, fine;
    float from, expected;
    bool atLimit;
};

class ZoomCommand : public ::testing::TestWithParam<ZoomCase> {};

TEST_P(ZoomCommand, ScalesAndReportsTheLimit) {
    const ZoomCase& c = GetParam();
    ViewTransform v = makeView(200, 100, c.from, {3.0f, 4.0f});
    const bool atLimit = c.in ? v.ZoomInToCenter(c.fine) : v.ZoomOutFromCenter(c.fine);
    EXPECT_FLOAT_EQ(v.scale, c.expected);
    EXPECT_EQ(atLimit, c.atLimit);
    EXPECT_EQ(v.viewCenter, (WorldPoint{3.0f, 4.0f}));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, ZoomCommand,
    ::testing::Values(ZoomCase{"InDoubles", true, false, 100.0f, 200.0f, false},
                      ZoomCase{"InIsCapped", true, false, 6000.0f, 10000.0f, true},
                      ZoomCase{"InReachingTheCapExactly", true, false, 5000.0f, 10000.0f, true},
                      ZoomCase{"PageUp", true, true, 100.0f, 120.0f, false},
                      ZoomCase{"OutHalves", false, false, 100.0f, 50.0f, false},
                      ZoomCase{"OutIsFloored", false, false, 0.015f, 0.01f, true},
                      ZoomCase{"OutReachingTheFloorExactly", false, false, 0.02f, 0.01f, true},
                      ZoomCase{"PageDown", false, true, 120.0f, 100.0f, false}),
    caseName<ZoomCase>);

// ---- Fitting ------------------------------------------------------------------------------------

struct ZoomRectCase {
    const char* name;
    WorldRect r; // top, bottom, left, right
    float expectedScale;
    bool capped;
};

class ZoomToRect : public ::testing::TestWithParam<ZoomRectCase> {};

TEST_P(ZoomToRect, FitsTheRectangleAroundItsCentre) {
    const ZoomRectCase& c = GetParam();
    ViewTransform v = makeView(400, 200, 37.0f);
    EXPECT_EQ(v.ZoomToRect(c.r), c.capped);
    EXPECT_FLOAT_EQ(v.scale, c.expectedScale);
    EXPECT_EQ(v.viewCenter, c.r.center());
}

INSTANTIATE_TEST_SUITE_P(
    Rectangles, ZoomToRect,
    ::testing::Values(
        ZoomRectCase{"HeightLimits", {3.0f, 1.0f, 0.0f, 2.0f}, 100.0f, false},
        ZoomRectCase{"WidthLimits", {1.0f, 0.0f, 0.0f, 8.0f}, 50.0f, false},
        ZoomRectCase{"SpannedBackwards", {1.0f, 3.0f, 2.0f, 0.0f}, 100.0f, false},
        ZoomRectCase{"CappedAtTheZoomLimit", {0.01f, 0.0f, 0.0f, 0.01f}, 10000.0f, true},
        ZoomRectCase{"NoLowerLimit", {0.0f, 0.0f, 0.0f, 100000.0f}, 0.004f, false},
        ZoomRectCase{"ZeroWidthLetsTheHeightDecide", {4.0f, 0.0f, 1.0f, 1.0f}, 50.0f, false},
        ZoomRectCase{"ZeroHeightLetsTheWidthDecide", {2.0f, 2.0f, 0.0f, 2.0f}, 200.0f, false},
        ZoomRectCase{"NoSizeKeepsTheScale", {2.0f, 2.0f, 5.0f, 5.0f}, 37.0f, false}),
    caseName<ZoomRectCase>);

TEST(ZoomToRectLimits, AbsurdRectanglesLeaveAUsableView) {
    const float big = std::numeric_limits<float>::max();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const WorldRect& r : {WorldRect{big, -big, -big, big}, WorldRect{1e-40f, 0, 0, 1e-40f},
                               WorldRect{nan, nan, nan, nan}}) {
        ViewTransform v = makeView(400, 200);
        v.ZoomToRect(r);
        EXPECT_TRUE(isUsableScale(v.scale)) << v.scale;
        EXPECT_TRUE(std::isfinite(v.viewCenter.x) && std::isfinite(v.viewCenter.y));
    }
}

struct FitCase {
    const char* name;
    WorldRect box;
    int widthLogical, heightLogical;
    float expectedScale;
};

class ShowEntireNetwork : public ::testing::TestWithParam<FitCase> {};

TEST_P(ShowEntireNetwork, FitsTheBoxWithinTheMargins) {
    const FitCase& c = GetParam();
    ViewTransform v = makeView(800, 600, 5.0f, {9.0f, 9.0f});
    v.ShowEntireNetwork(c.box, c.widthLogical, c.heightLogical);
    EXPECT_FLOAT_EQ(v.scale, c.expectedScale);
    EXPECT_EQ(v.viewCenter, c.box.center());
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, ShowEntireNetwork,
    ::testing::Values(FitCase{"WidthLimits", {5.0f, 0.0f, 0.0f, 10.0f}, 554, 354, 50.0f},
                      FitCase{"HeightLimits", {10.0f, 0.0f, 0.0f, 5.0f}, 554, 354, 30.0f},
                      FitCase{"SingleNode", {4.0f, 4.0f, 3.0f, 3.0f}, 554, 354, 100.0f},
                      FitCase{"EmptyNetwork", {0.0f, 0.0f, 0.0f, 0.0f}, 554, 354, 100.0f},
                      FitCase{"VerticalLine", {3.0f, 0.0f, 2.0f, 2.0f}, 554, 354, 100.0f},
                      FitCase{"HorizontalLine", {1.0f, 1.0f, 0.0f, 4.0f}, 554, 354, 125.0f},
                      FitCase{"NoUpperCap", {0.001f, 0.0f, 0.0f, 0.001f}, 554, 354, 300000.0f},
                      FitCase{"FlooredAtTheZoomLimit", {1e5f, 0, 0, 1e5f}, 554, 354, 0.01f}),
    caseName<FitCase>);

TEST(ShowEntireNetworkLimits, SurfacesSmallerThanTheMarginsStillFit) {
    for (const auto& [w, h] : {std::pair{40, 30}, std::pair{54, 54}, std::pair{0, 0}}) {
        ViewTransform v = makeView(w, h);
        v.ShowEntireNetwork(WorldRect{1.0f, 0.0f, 0.0f, 1.0f});
        EXPECT_TRUE(isUsableScale(v.scale)) << w << "x" << h << ": " << v.scale;
        EXPECT_GE(v.scale, ViewTransform::kMinScale);
    }
}

TEST(ShowEntireNetworkLimits, AVanishinglySmallBoxKeepsAFiniteScale) {
    ViewTransform v = makeView(800, 600);
    v.ShowEntireNetwork(WorldRect{1e-40f, 0.0f, 0.0f, 1e-40f});
    EXPECT_TRUE(isUsableScale(v.scale));
    EXPECT_GT(v.scale, ViewTransform::kMaxScale);
}

// ---- Auto-scroll --------------------------------------------------------------------------------

struct AutoScrollCase {
    const char* name;
    LogicalPoint p;
    bool moves;
    WorldPoint expectedCenter;
};

class AutoScroll : public ::testing::TestWithParam<AutoScrollCase> {};

TEST_P(AutoScroll, FollowsThePointerOutOfTheWindow) {
    const AutoScrollCase& c = GetParam();
    ViewTransform v = makeView(200, 100); // logical client: x -100..100, y -50..50
    EXPECT_EQ(v.AutoScroll(c.p), c.moves);
    EXPECT_FLOAT_EQ(v.viewCenter.x, c.expectedCenter.x);
    EXPECT_FLOAT_EQ(v.viewCenter.y, c.expectedCenter.y);
}

INSTANTIATE_TEST_SUITE_P(
    Pointers, AutoScroll,
    ::testing::Values(AutoScrollCase{"Inside", {99, -49}, false, {0.0f, 0.0f}},
                      AutoScrollCase{"OnTheRightEdge", {100, 0}, false, {0.0f, 0.0f}},
                      AutoScrollCase{"PastTheRight", {130, 0}, true, {0.3f, 0.0f}},
                      AutoScrollCase{"AboveAndLeft", {-120, 70}, true, {-0.2f, 0.2f}},
                      AutoScrollCase{"BelowTheBottom", {0, -80}, true, {0.0f, -0.3f}}),
    caseName<AutoScrollCase>);

// ---- Scroll bars --------------------------------------------------------------------------------

TEST(ScrollBars, ThumbSitsAtTheStartWhenTheViewShowsTheExtentsStart) {
    // The data lies right of and below the window, so the visible left and top edges are the
    // extent's.
    const ViewTransform v = makeView(200, 100);
    const WorldRect data{-2.0f, -10.0f, 5.0f, 10.0f};
    EXPECT_EQ(v.horizontalBar(data).pos, 0);
    EXPECT_EQ(v.verticalBar(data).pos, 0);
    EXPECT_EQ(v.horizontalBar(data).page, 200);
    EXPECT_EQ(v.verticalBar(data).page, 100);
}

TEST(ScrollBars, ThumbSitsExactlyAtTheEndWhenTheViewShowsTheExtentsEnd) {
    const ViewTransform v = makeView(200, 100);
    // Data left of the window: the extent ends at the visible right edge.
    const ScrollBarState h = v.horizontalBar(WorldRect{0.5f, -0.5f, -10.0f, -5.0f});
    EXPECT_GT(h.max, h.page);
    EXPECT_EQ(h.pos, h.max - h.page + 1);
    // Data above the window: the extent ends at the visible bottom edge.
    const ScrollBarState vb = v.verticalBar(WorldRect{10.0f, 5.0f, -0.5f, 0.5f});
    EXPECT_GT(vb.max, vb.page);
    EXPECT_EQ(vb.pos, vb.max - vb.page + 1);
}

TEST(ScrollBars, ThumbEndRuleToleratesATenThousandthOfAMile) {
    // The inflated data extent ends 0.00005 mile beyond the visible right edge, and its left edge
    // is placed so that the thumb measured from the left would round one unit short of the end.
    const ViewTransform v = makeView(200, 100);
    const ScrollBarState h = v.horizontalBar(WorldRect{0.5f, -0.5f, -10.00498f, 0.73005f});
    EXPECT_EQ(h.pos, h.max - h.page + 1);
}

TEST(ScrollBars, AnEmptyClientHasNoBars) {
    const ViewTransform v = makeView(0, 100);
    EXPECT_EQ(v.horizontalBar(WorldRect{1, 0, 0, 1}), ScrollBarState{});
    EXPECT_EQ(v.verticalBar(WorldRect{1, 0, 0, 1}), ScrollBarState{});
}

TEST(ScrollBars, LineStepsRunPastTheDataAndTheRangeGrows) {
    ViewTransform v = makeView(200, 100);
    const WorldRect data{1.0f, -1.0f, -1.0f, 1.0f};
    v.scroll(false, ScrollCode::Bottom, v.verticalBar(data));
    ScrollBarState bar = v.verticalBar(data);
    ASSERT_EQ(bar.pos, bar.max - bar.page + 1);

    for (int i = 0; i < 2; ++i) {
        const float before = v.viewCenter.y;
        v.scroll(false, ScrollCode::LineDown, bar);
        EXPECT_FLOAT_EQ(v.viewCenter.y, before - 0.1f);
        const ScrollBarState next = v.verticalBar(data);
        EXPECT_GT(next.max, bar.max);
        EXPECT_EQ(next.pos, next.max - next.page + 1);
        bar = next;
    }
}

struct ScrollCase {
    const char* name;
    ScrollCode code;
    int pos;
    int trackPos;
    int expectedStep; // logical units
};

class ScrollCodes : public ::testing::TestWithParam<ScrollCase> {};

TEST_P(ScrollCodes, MoveTheCentreByTheStep) {
    const ScrollCase& c = GetParam();
    const ScrollBarState bar{0, 1000, 200, c.pos}; // last position 801
    ViewTransform h = makeView(200, 100, 50.0f, {1.0f, 1.0f});
    ViewTransform v = h;
    h.scroll(true, c.code, bar, c.trackPos);
    v.scroll(false, c.code, bar, c.trackPos);
    EXPECT_FLOAT_EQ(h.viewCenter.x, 1.0f + c.expectedStep / 50.0f);
    EXPECT_FLOAT_EQ(h.viewCenter.y, 1.0f);
    EXPECT_FLOAT_EQ(v.viewCenter.x, 1.0f);
    EXPECT_FLOAT_EQ(v.viewCenter.y, 1.0f - c.expectedStep / 50.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ScrollCodes,
    ::testing::Values(ScrollCase{"LineUp", ScrollCode::LineUp, 300, 0, -20},
                      ScrollCase{"LineUpAtTheStart", ScrollCode::LineUp, 0, 0, -20},
                      ScrollCase{"LineDown", ScrollCode::LineDown, 300, 0, 20},
                      ScrollCase{"LineDownAtTheEnd", ScrollCode::LineDown, 801, 0, 20},
                      ScrollCase{"PageUp", ScrollCode::PageUp, 300, 0, -160},
                      ScrollCase{"PageUpNearTheStart", ScrollCode::PageUp, 100, 0, -100},
                      ScrollCase{"PageDown", ScrollCode::PageDown, 300, 0, 160},
                      ScrollCase{"PageDownNearTheEnd", ScrollCode::PageDown, 700, 0, 101},
                      ScrollCase{"ThumbTrack", ScrollCode::ThumbTrack, 300, 450, 150},
                      ScrollCase{"Top", ScrollCode::Top, 300, 0, -300},
                      ScrollCase{"Bottom", ScrollCode::Bottom, 300, 0, 501},
                      ScrollCase{"Other", ScrollCode::Other, 300, 450, 0}),
    caseName<ScrollCase>);

} // namespace

namespace {

TEST(ScrollBarsByHand, AnEightHundredBySixHundredWindowOverDataOfTenMilesEachWay) {
    ViewTransform v;
    v.setClientSize(800, 600, 1.0);
    v.scale = 100.0f;
    v.viewCenter = {0.0f, 0.0f};
    const WorldRect data{10.0f, -10.0f, -10.0f, 10.0f};
    // The extent grows by 27 units to 20.54 miles each way: max = floor(2054 - 0.5). The
    // window's left edge, -4 miles, lies 6.27 miles right of the extent's left; its top, 3
    // miles, lies 7.27 miles below the extent's top.
    EXPECT_EQ(v.horizontalBar(data), (ScrollBarState{0, 2053, 800, 627}));
    EXPECT_EQ(v.verticalBar(data), (ScrollBarState{0, 2053, 600, 727}));
}

} // namespace

} // namespace vantry
