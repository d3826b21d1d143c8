#pragma once

namespace vantry {

// Positions and rectangles in world miles, and the point-to-segment distance
// that hit testing and auto-populate share.

struct WorldPoint {
    float x = 0.0f;
    float y = 0.0f;

    friend bool operator==(const WorldPoint&, const WorldPoint&) = default;
};

// An axis-aligned rectangle in miles; y grows upward, so top is the largest y.
// The field order is part of how rectangles are exchanged with other code.
struct WorldRect {
    float top = 0.0f;
    float bottom = 0.0f;
    float left = 0.0f;
    float right = 0.0f;

    void extendTo(WorldPoint p);
    void unite(const WorldRect& r);
    bool contains(WorldPoint p) const;
    float width() const { return right - left; }
    float height() const { return top - bottom; }
    WorldPoint center() const;
    void inflate(float d);

    friend bool operator==(const WorldRect&, const WorldRect&) = default;
};

// Straight-line distance in miles, in single precision: hit testing, snapping, the tools and
// auto-populate all compare distances computed this one way.
float distance(WorldPoint a, WorldPoint b);

// Distance in miles from p to the segment a-b. The angle tests use the
// five-decimal value of pi on purpose: hit testing has always been tuned to it.
float distanceToSegment(WorldPoint a, WorldPoint b, WorldPoint p);

} // namespace vantry
