#include "model/geometry.h"

#include <algorithm>
#include <cmath>

namespace vantry {

void WorldRect::extendTo(WorldPoint p) {
    top = std::max(top, p.y);
    bottom = std::min(bottom, p.y);
    left = std::min(left, p.x);
    right = std::max(right, p.x);
}

void WorldRect::unite(const WorldRect& r) {
    top = std::max(top, r.top);
    bottom = std::min(bottom, r.bottom);
    left = std::min(left, r.left);
    right = std::max(right, r.right);
}

bool WorldRect::contains(WorldPoint p) const {
    return left <= p.x && p.x <= right && bottom <= p.y && p.y <= top;
}

WorldPoint WorldRect::center() const {
    return {left + width() / 2.0f, bottom + height() / 2.0f};
}

void WorldRect::inflate(float d) {
    top += d;
    bottom -= d;
    left -= d;
    right += d;
}

float distance(WorldPoint a, WorldPoint b) {
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

namespace {

constexpr double kPi = 3.14159;

// Angle between two directions, folded into [0, pi].
double angleBetween(double fromY, double fromX, double toY, double toX) {
    double angle = std::fabs(std::atan2(fromY, fromX) - std::atan2(toY, toX));
    if (angle > kPi)
        angle = std::fabs(angle - 2.0 * kPi);
    return angle;
}

} // namespace

float distanceToSegment(WorldPoint a, WorldPoint b, WorldPoint p) {
    const float dA = distance(p, a);
    const float dB = distance(p, b);
    const float nearest = std::min(dA, dB);
    if (p == a || p == b || a == b)
        return nearest;

    const float dAB = distance(a, b);
    const float ux = (p.x - a.x) / dA, uy = (p.y - a.y) / dA;
    const float vx = (p.x - b.x) / dB, vy = (p.y - b.y) / dB;
    const float wx = (b.x - a.x) / dAB, wy = (b.y - a.y) / dAB;
    const float zx = (a.x - b.x) / dAB, zy = (a.y - b.y) / dAB;

    const double angleA = angleBetween(wy, wx, uy, ux);
    const double angleB = angleBetween(zy, zx, vy, vx);
    if (angleA >= kPi / 2.0 || angleB >= kPi / 2.0)
        return nearest;
    const double viaA = std::fabs(std::sin(angleA)) * dA;
    const double viaB = std::fabs(std::sin(angleB)) * dB;
    return static_cast<float>(std::min(viaA, viaB));
}

} // namespace vantry
