#include "view/viewtransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <ostream>
#include <utility>

namespace vantry {

void PrintTo(const ScrollBarState& s, std::ostream* os) {
    *os << "{" << s.min << ", " << s.max << ", " << s.page << ", " << s.pos << "}";
}

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

TEST(ClientLogical, PutsTheOriginInTheMiddle) {
    const struct {
        int widthPx, heightPx;
        double pixelsPerLogical;
        LogicalRect expected;
    } cases[] = {{200, 100, 1.0, {-100, 50, 100, -50}},
                 {201, 101, 1.0, {-100, 50, 101, -51}},
                 {192, 96, 0.96, {-100, 50, 100, -50}},
                 {250, 125, 1.25, {-100, 50, 100, -50}},
                 {0, 0, 1.0, {0, 0, 0, 0}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.widthPx << "x" << c.heightPx);
        EXPECT_EQ(makeView(c.widthPx, c.heightPx, 100.0f, {}, c.pixelsPerLogical).clientLogical(),
                  c.expected);
    }
}

class DeviceMapping : public ::testing::TestWithParam<double> {};

TEST_P(DeviceMapping, LogicalUnitsAndPixelsMapOntoEachOther) {
    const double f = GetParam();
    const ViewTransform v = makeView(640, 480, 100.0f, {}, f);
    const LogicalRect client = v.clientLogical();
    for (std::int32_t lx = client.left; lx < client.right; ++lx)
        ASSERT_EQ(v.deviceToLogical(v.logicalToDeviceX(lx), 0).x, lx) << lx;
    for (std::int32_t ly = client.top; ly > client.bottom; --ly)
        ASSERT_EQ(v.deviceToLogical(0, v.logicalToDeviceY(ly)).y, ly) << ly;
    // A pixel lands on the unit that covers it.
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

TEST(LogicalToWorld, IsTheViewCentreInTheMiddleAndRoundsToAThousandthOfAMile) {
    const ViewTransform v = makeView(200, 100, 3.0f, {12.3456f, -7.891f});
    EXPECT_EQ(v.LogicalToWorld(v.deviceToLogical(100, 50)), v.viewCenter);
    const WorldPoint p = makeView(200, 100, 3.0f, {5.0f, 2.0f}).LogicalToWorld({1, -2});
    EXPECT_FLOAT_EQ(p.x, 5.0f + 0.333f);
    EXPECT_FLOAT_EQ(p.y, 2.0f - 0.667f);
}

TEST(WorldToLogical, TruncatesTowardZeroAndSaturates) {
    const ViewTransform v = makeView(200, 100, 100.0f, {1.0f, 1.0f});
    constexpr float kHuge = 1e30f;
    const std::pair<WorldPoint, LogicalPoint> cases[] = {
        {{1.0f, 1.0f}, {0, 0}},
        {{1.019f, 1.019f}, {1, 1}},
        {{0.981f, 0.981f}, {-1, -1}},
        {{1.0f, 3.5f}, {0, 250}}, // north is up
        {{kHuge, -kHuge},
         {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()}}};
    for (const auto& [p, expected] : cases) {
        SCOPED_TRACE(::testing::Message() << p.x << ", " << p.y);
        EXPECT_EQ(v.WorldToLogical(p), expected);
    }
    EXPECT_EQ(v.visibleWorld(), (WorldRect{1.5f, 0.5f, 0.0f, 2.0f}));
}

// ---- Zoom commands and fitting ------------------------------------------------------------------

TEST(ZoomCommand, ScalesAroundTheCentreAndReportsTheLimit) {
    const struct {
        bool in, fine;
        float from, expected;
        bool atLimit;
    } cases[] = {{true, false, 100.0f, 200.0f, false},   {true, false, 6000.0f, 10000.0f, true},
                 {true, false, 5000.0f, 10000.0f, true}, {true, true, 100.0f, 120.0f, false},
                 {false, false, 100.0f, 50.0f, false},   {false, false, 0.015f, 0.01f, true},
                 {false, false, 0.02f, 0.01f, true},     {false, true, 120.0f, 100.0f, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << (c.in ? "in" : "out") << (c.fine ? " fine" : "") << " from " << c.from);
        ViewTransform v = makeView(200, 100, c.from, {3.0f, 4.0f});
        EXPECT_EQ(c.in ? v.ZoomInToCenter(c.fine) : v.ZoomOutFromCenter(c.fine), c.atLimit);
        EXPECT_FLOAT_EQ(v.scale, c.expected);
        EXPECT_EQ(v.viewCenter, (WorldPoint{3.0f, 4.0f}));
    }
}

TEST(ZoomToRect, FitsTheRectangleAroundItsCentre) {
    const struct {
        const char* name;
        WorldRect r; // top, bottom, left, right
        float expectedScale;
        bool capped;
    } cases[] = {{"height limits", {3.0f, 1.0f, 0.0f, 2.0f}, 100.0f, false},
                 {"width limits", {1.0f, 0.0f, 0.0f, 8.0f}, 50.0f, false},
                 {"spanned backwards", {1.0f, 3.0f, 2.0f, 0.0f}, 100.0f, false},
                 {"capped at the zoom limit", {0.01f, 0.0f, 0.0f, 0.01f}, 10000.0f, true},
                 {"no lower limit", {0.0f, 0.0f, 0.0f, 100000.0f}, 0.004f, false},
                 {"zero width", {4.0f, 0.0f, 1.0f, 1.0f}, 50.0f, false},
                 {"zero height", {2.0f, 2.0f, 0.0f, 2.0f}, 200.0f, false},
                 {"no size keeps the scale", {2.0f, 2.0f, 5.0f, 5.0f}, 37.0f, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ViewTransform v = makeView(400, 200, 37.0f);
        EXPECT_EQ(v.ZoomToRect(c.r), c.capped);
        EXPECT_FLOAT_EQ(v.scale, c.expectedScale);
        EXPECT_EQ(v.viewCenter, c.r.center());
    }
}

TEST(ShowEntireNetwork, FitsTheBoxWithinTheMargins) {
    const struct {
        const char* name;
        WorldRect box;
        float expectedScale;
    } cases[] = {{"width limits", {5.0f, 0.0f, 0.0f, 10.0f}, 50.0f},
                 {"height limits", {10.0f, 0.0f, 0.0f, 5.0f}, 30.0f},
                 {"single node", {4.0f, 4.0f, 3.0f, 3.0f}, 100.0f},
                 {"empty network", {0.0f, 0.0f, 0.0f, 0.0f}, 100.0f},
                 {"vertical line", {3.0f, 0.0f, 2.0f, 2.0f}, 100.0f},
                 {"horizontal line", {1.0f, 1.0f, 0.0f, 4.0f}, 125.0f},
                 {"no upper cap", {0.001f, 0.0f, 0.0f, 0.001f}, 300000.0f},
                 {"floored at the zoom limit", {1e5f, 0, 0, 1e5f}, 0.01f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ViewTransform v = makeView(800, 600, 5.0f, {9.0f, 9.0f});
        v.ShowEntireNetwork(c.box, 554, 354);
        EXPECT_FLOAT_EQ(v.scale, c.expectedScale);
        EXPECT_EQ(v.viewCenter, c.box.center());
    }
}

TEST(FittingLimits, AbsurdRectanglesAndTinySurfacesLeaveAUsableView) {
    const float big = std::numeric_limits<float>::max();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (const WorldRect& r : {WorldRect{big, -big, -big, big}, WorldRect{1e-40f, 0, 0, 1e-40f},
                               WorldRect{nan, nan, nan, nan}}) {
        ViewTransform v = makeView(400, 200);
        v.ZoomToRect(r);
        EXPECT_TRUE(isUsableScale(v.scale)) << v.scale;
        EXPECT_TRUE(std::isfinite(v.viewCenter.x) && std::isfinite(v.viewCenter.y));
    }
    for (const auto& [w, h] : {std::pair{40, 30}, std::pair{54, 54}, std::pair{0, 0}}) {
        ViewTransform v = makeView(w, h);
        v.ShowEntireNetwork(WorldRect{1.0f, 0.0f, 0.0f, 1.0f});
        EXPECT_TRUE(isUsableScale(v.scale)) << w << "x" << h << ": " << v.scale;
        EXPECT_GE(v.scale, ViewTransform::kMinScale);
    }
    ViewTransform v = makeView(800, 600);
    v.ShowEntireNetwork(WorldRect{1e-40f, 0.0f, 0.0f, 1e-40f});
    EXPECT_TRUE(isUsableScale(v.scale));
    EXPECT_GT(v.scale, ViewTransform::kMaxScale);
}

TEST(AutoScroll, FollowsThePointerOutOfTheWindow) {
    const struct {
        LogicalPoint p;
        bool moves;
        WorldPoint expectedCenter;
    } cases[] = {{{99, -49}, false, {0.0f, 0.0f}},
                 {{100, 0}, false, {0.0f, 0.0f}}, // on the right edge
                 {{130, 0}, true, {0.3f, 0.0f}},
                 {{-120, 70}, true, {-0.2f, 0.2f}},
                 {{0, -80}, true, {0.0f, -0.3f}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.p.x << ", " << c.p.y);
        ViewTransform v = makeView(200, 100); // logical client: x -100..100, y -50..50
        EXPECT_EQ(v.AutoScroll(c.p), c.moves);
        EXPECT_FLOAT_EQ(v.viewCenter.x, c.expectedCenter.x);
        EXPECT_FLOAT_EQ(v.viewCenter.y, c.expectedCenter.y);
    }
}

// ---- Scroll bars --------------------------------------------------------------------------------

// Each bar as (min, max, page, position).
TEST(ScrollBars, RangePageAndThumbForTheDataExtent) {
    const auto bars = [](int widthPx, int heightPx, const WorldRect& data) {
        const ViewTransform v = makeView(widthPx, heightPx);
        return std::pair(v.horizontalBar(data), v.verticalBar(data));
    };
    using Bars = std::pair<ScrollBarState, ScrollBarState>;
    // The extent grows by 27 units to 20.54 miles each way: max = floor(2054 - 0.5). The
    // window's left edge, -4 miles, lies 6.27 miles right of the extent's left; its top, 3
    // miles, lies 7.27 miles below the extent's top.
    EXPECT_EQ(bars(800, 600, {10.0f, -10.0f, -10.0f, 10.0f}),
              Bars({0, 2053, 800, 627}, {0, 2053, 600, 727}));
    // Data right of and below the window: both thumbs at the start.
    EXPECT_EQ(bars(200, 100, {-2.0f, -10.0f, 5.0f, 10.0f}),
              Bars({0, 1126, 200, 0}, {0, 1076, 100, 0}));
    // Data left of, or above, the window: the thumb exactly at the end.
    EXPECT_EQ(bars(200, 100, {0.5f, -0.5f, -10.0f, -5.0f}),
              Bars({0, 1126, 200, 927}, {0, 153, 100, 27}));
    EXPECT_EQ(bars(200, 100, {10.0f, 5.0f, -0.5f, 0.5f}),
              Bars({0, 199, 200, 0}, {0, 1076, 100, 977}));
    // The extent ends 0.00005 mile beyond the visible right edge, and its left edge is placed so
    // that the thumb measured from the left would round one unit short of the end.
    EXPECT_EQ(bars(200, 100, {0.5f, -0.5f, -10.00498f, 0.73005f}),
              Bars({0, 1127, 200, 928}, {0, 153, 100, 27}));
    EXPECT_EQ(bars(0, 100, {1, 0, 0, 1}), Bars()) << "no client, no bars";
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

TEST(ScrollBars, EachCodeMovesTheCentreByItsStep) {
    const struct {
        const char* name;
        ScrollCode code;
        int pos, trackPos;
        int expectedStep; // logical units
    } cases[] = {{"line up", ScrollCode::LineUp, 300, 0, -20},
                 {"line up at the start", ScrollCode::LineUp, 0, 0, -20},
                 {"line down", ScrollCode::LineDown, 300, 0, 20},
                 {"line down at the end", ScrollCode::LineDown, 801, 0, 20},
                 {"page up", ScrollCode::PageUp, 300, 0, -160},
                 {"page up near the start", ScrollCode::PageUp, 100, 0, -100},
                 {"page down", ScrollCode::PageDown, 300, 0, 160},
                 {"page down near the end", ScrollCode::PageDown, 700, 0, 101},
                 {"thumb track", ScrollCode::ThumbTrack, 300, 450, 150},
                 {"top", ScrollCode::Top, 300, 0, -300},
                 {"bottom", ScrollCode::Bottom, 300, 0, 501},
                 {"other", ScrollCode::Other, 300, 450, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ScrollBarState bar{0, 1000, 200, c.pos}; // last position 801
        ViewTransform h = makeView(200, 100, 50.0f, {1.0f, 1.0f});
        ViewTransform v = h;
        h.scroll(true, c.code, bar, c.trackPos);
        v.scroll(false, c.code, bar, c.trackPos);
        EXPECT_EQ(h.viewCenter, (WorldPoint{1.0f + c.expectedStep / 50.0f, 1.0f}));
        EXPECT_EQ(v.viewCenter, (WorldPoint{1.0f, 1.0f - c.expectedStep / 50.0f}));
    }
}

} // namespace

} // namespace vantry
