#include "view/networkdrawing.h"

#include "model/drawsizes.h"
#include "view/legenddrawing.h"
#include "view/linkcolouring.h"
#include "view/rendersurface.h"
#include "view/stampcache.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace vantry {

namespace {

constexpr int kNodeRadius = kNodeRadiusUnits;
constexpr ColorRef kNodeFill = 0xB5B5B5;
constexpr ColorRef kSelectedPen = 0xFF00FF;
constexpr ColorRef kNodeNumber = 0x00FFFF;
constexpr ColorRef kLinkNumberMask = 0xC0C0C0;
constexpr float kShortestLink = kShortestLinkUnits;
constexpr double kEndAngle = 0.39269875;
// Nodes and links that cannot reach into the window, numbers included, are not drawn at all.
constexpr int kCullMargin = 80;

ColorRef linkFill(LinkType type) {
    switch (type) {
    case LinkType::Mainline:
    case LinkType::Ramp:
        return 0xCBD157;
    case LinkType::Workzone:
        return 0x0000FF;
    case LinkType::Detour1:
    case LinkType::Detour2:
        return 0xDF2B2B;
    default:
        return 0x000000;
    }
}

WorldPoint rotate(WorldPoint v, double a) {
    const double c = std::cos(a), s = std::sin(a);
    return {static_cast<float>(v.x * c - v.y * s), static_cast<float>(v.x * s + v.y * c)};
}

// A whole number in decimal digits, without taking memory.
struct NumberText {
    explicit NumberText(std::int32_t v) {
        const auto [end, error] = std::to_chars(digits, digits + sizeof digits, v);
        length = error == std::errc() ? static_cast<std::size_t>(end - digits) : 0;
    }
    std::string_view view() const { return {digits, length}; }
    char digits[16];
    std::size_t length;
};

// A logical point with room for links whose ends lie far outside the 32-bit range.
struct Logical64 {
    std::int64_t x = 0;
    std::int64_t y = 0;
};

// Links with an end farther than this outside the window are cut near it.
constexpr std::int64_t kFarUnits = 1 << 20;

// The logical position as WorldToLogical computes it, without its clamping to 32 bits.
Logical64 logical64(const ViewTransform& t, WorldPoint p) {
    const LogicalPoint l = t.WorldToLogical(p);
    const auto wide = [](float v, std::int32_t clamped) -> std::int64_t {
        if (clamped != INT32_MAX && clamped != INT32_MIN)
            return clamped;
        if (!std::isfinite(v))
            return clamped;
        return static_cast<std::int64_t>(std::clamp(static_cast<double>(v), -4.0e18, 4.0e18));
    };
    const float s = t.scale;
    return {wide((p.x - t.viewCenter.x) * s, l.x), wide((p.y - t.viewCenter.y) * s, l.y)};
}

bool within(const LogicalRect& r, Logical64 p, std::int64_t margin) {
    return p.x >= r.left - margin && p.x <= r.right + margin && p.y <= r.top + margin &&
           p.y >= r.bottom - margin;
}

// Cuts the segment a-b to the window grown by kCullMargin on each side (Liang-Barsky); false
// when no part of it comes that near.
bool clipSegment(const LogicalRect& r, Logical64& a, Logical64& b) {
    const double x0 = static_cast<double>(a.x), y0 = static_cast<double>(a.y);
    const double dx = static_cast<double>(b.x) - x0, dy = static_cast<double>(b.y) - y0;
    const double left = r.left - kCullMargin, right = r.right + kCullMargin;
    const double bottom = r.bottom - kCullMargin, top = r.top + kCullMargin;
    double t0 = 0.0, t1 = 1.0;
    const auto edge = [&](double p, double q) {
        if (p == 0.0)
            return q >= 0.0;
        const double t = q / p;
        if (p < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        return t0 <= t1;
    };
    if (!edge(-dx, x0 - left) || !edge(dx, right - x0) || !edge(-dy, y0 - bottom) ||
        !edge(dy, top - y0))
        return false;
    const Logical64 start{std::llround(x0 + t0 * dx), std::llround(y0 + t0 * dy)};
    const Logical64 end{std::llround(x0 + t1 * dx), std::llround(y0 + t1 * dy)};
    a = start;
    b = end;
    return true;
}

QPointF devicePoint(Logical64 p, const LogicalRect& visible, double f) {
    return {std::floor((static_cast<double>(p.x) - visible.left) * f + 0.5),
            std::floor((static_cast<double>(visible.top) - p.y) * f + 0.5)};
}

} // namespace

std::pair<WorldPoint, WorldPoint> LinkEndpoints(WorldPoint a, WorldPoint b, float scale) {
    const WorldPoint d{b.x - a.x, b.y - a.y};
    const float length = std::sqrt(d.x * d.x + d.y * d.y);
    if (length == 0.0f || scale <= 0.0f)
        return {a, b};
    const float k = (static_cast<float>(kNodeRadius) / scale) / length;
    const WorldPoint ra = rotate(d, -kEndAngle);
    const WorldPoint rb = rotate(WorldPoint{a.x - b.x, a.y - b.y}, kEndAngle);
    return {WorldPoint{a.x + ra.x * k, a.y + ra.y * k}, WorldPoint{b.x + rb.x * k, b.y + rb.y * k}};
}

void drawNode(RenderSurface& s, const Node& node, bool selected) {
    const LogicalPoint p = s.transform().WorldToLogical(node.position());
    if (!s.nearVisible(p, kCullMargin))
        return;
    const auto pen = [&] {
        return QPen(toQColor(selected ? kSelectedPen : 0), s.pixels(selected ? 2 : 1));
    };
    const auto brush = [] { return QBrush(toQColor(kNodeFill)); };
    const RenderSurface::DevicePoint topLeft = s.device(p.x - kNodeRadius, p.y + kNodeRadius);
    if (s.stamps()) {
        s.stamps()->node(topLeft.x, topLeft.y, selected, pen, brush);
    } else {
        s.painter().setPen(pen());
        s.painter().setBrush(brush());
        const double size = outlineSize(2 * kNodeRadius * s.scale());
        s.painter().drawEllipse(QRectF(topLeft.x, topLeft.y, size, size));
    }

    if (s.options().showNumbers) {
        s.drawText(NumberText(node.id()).view(), {p.x, p.y + s.labelHeight() / 2},
                   RenderSurface::AlignCenter | RenderSurface::AlignTop, kNodeNumber);
    }
}

void drawLink(RenderSurface& s, const Link& link, bool selected) {
    if (!link.fromNode() || !link.toNode())
        return;
    const WorldPoint a = link.fromNode()->position();
    const WorldPoint b = link.toNode()->position();
    const float worldLength = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
    if (worldLength * s.transform().scale < kShortestLink)
        return;

    // Most links of a large network are far from what is drawn: their nodes' positions tell,
    // before the drawn ends (within a node's radius of them) are worked out.
    const LogicalPoint la = s.transform().WorldToLogical(a);
    const LogicalPoint lb = s.transform().WorldToLogical(b);
    constexpr std::int64_t kNodeMargin = kCullMargin + kNodeRadius + 2;
    if (std::int64_t{std::max(la.x, lb.x)} < s.cull().left - kNodeMargin ||
        std::int64_t{std::min(la.x, lb.x)} > s.cull().right + kNodeMargin ||
        std::int64_t{std::min(la.y, lb.y)} > s.cull().top + kNodeMargin ||
        std::int64_t{std::max(la.y, lb.y)} < s.cull().bottom - kNodeMargin)
        return;

    const int w = link.type() == LinkType::None ? kLinkHalfWidthUnits / 2 : kLinkHalfWidthUnits;
    const auto [ea, eb] = LinkEndpoints(a, b, s.transform().scale);
    Logical64 p1 = logical64(s.transform(), ea);
    Logical64 p2 = logical64(s.transform(), eb);
    if (std::max(p1.x, p2.x) < s.cull().left - kCullMargin ||
        std::min(p1.x, p2.x) > s.cull().right + kCullMargin ||
        std::min(p1.y, p2.y) > s.cull().top + kCullMargin ||
        std::max(p1.y, p2.y) < s.cull().bottom - kCullMargin)
        return;
    // A link reaching far beyond the window is cut to the part near it, so that every corner
    // stays well inside what the painter can draw; the cut ends lie outside the window.
    if ((!within(s.visible(), p1, kFarUnits) || !within(s.visible(), p2, kFarUnits)) &&
        !clipSegment(s.visible(), p1, p2))
        return;
    const std::int64_t dx = p2.x - p1.x;
    const std::int64_t dy = p2.y - p1.y;
    const float len = std::sqrt(static_cast<float>(dx) * static_cast<float>(dx) +
                                static_cast<float>(dy) * static_cast<float>(dy));

    int n;
    int ux, uy;
    if (len > 9.0f) {
        ux = static_cast<int>(dx * 9 / len);
        uy = static_cast<int>(dy * 9 / len);
        n = 9;
    } else {
        n = static_cast<int>(len);
        ux = static_cast<int>(dx);
        uy = static_cast<int>(dy);
    }
    // Both drawn ends fell on one point: there is no direction to draw.
    if (n == 0)
        return;
    const int px = uy * w / n;
    const int py = -(ux * w / n);
    int ex, ey;
    if (len > 18.0f) {
        ex = 2 * ux;
        ey = 2 * uy;
    } else {
        ex = static_cast<int>(ux * len / n);
        ey = static_cast<int>(uy * len / n);
    }
    const int m = static_cast<int>(std::sqrt(static_cast<double>(px * px + py * py))) + 4;
    const double theta = std::atan2(static_cast<double>(py), static_cast<double>(px));
    const int qx = static_cast<int>(m * std::cos(theta));
    const int qy = static_cast<int>(m * std::sin(theta));

    const Logical64 corners[5] = {p1,
                                  p2,
                                  {p2.x - ex + qx, p2.y - ey + qy},
                                  {p2.x - ex + px, p2.y - ey + py},
                                  {p1.x + px, p1.y + py}};
    QPolygonF polygon;
    for (const Logical64& c : corners)
        polygon << devicePoint(c, s.visible(), s.scale());
    s.painter().setPen(QPen(toQColor(selected ? kSelectedPen : 0), s.pixels(selected ? 2 : 1)));
    ColorRef fill = linkFill(link.type());
    if (const LinkColouring* colouring = s.options().colouring)
        if (const std::optional<std::uint32_t> rgb = colouring->colourOf(link))
            fill = colourRefOf(*rgb);
    s.painter().setBrush(toQColor(fill));
    s.painter().drawPolygon(polygon);

    if (s.options().showNumbers) {
        const auto hx = static_cast<std::int32_t>((p2.x - p1.x) / 2);
        const auto hy = static_cast<std::int32_t>((p2.y - p1.y) / 2);
        int align = hy == 0 ? RenderSurface::AlignCenter
                            : (hy > 0 ? RenderSurface::AlignLeft : RenderSurface::AlignRight);
        align |= hx < 0 ? RenderSurface::AlignBottom : RenderSurface::AlignTop;
        s.drawText(
            NumberText(link.id()).view(),
            {static_cast<std::int32_t>(p1.x + hx + px), static_cast<std::int32_t>(p1.y + hy + py)},
            align, s.options().backColor ^ kLinkNumberMask);
    }
}

} // namespace vantry
