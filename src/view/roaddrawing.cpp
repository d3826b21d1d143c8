#include "view/roaddrawing.h"

#include "tiger/tigerstore.h"
#include "view/rendersurface.h"

#include <QLineF>
#include <QPainter>

#include <algorithm>
#include <string>
#include <vector>

namespace vantry {

namespace {

// The pen of a TIGER/Line chain by its feature class.
LinePen tigerPen(const std::string& cfcc) {
    const char c1 = cfcc.size() > 0 ? cfcc[0] : ' ';
    const char c2 = cfcc.size() > 1 ? cfcc[1] : ' ';
    if (c1 == 'A') {
        if (c2 == '1')
            return {2, 0xA00000};
        if (c2 == '2')
            return {1, 0xA000FF};
        return {1, 0x808080};
    }
    if (c1 == 'H')
        return {(c2 == '0' || c2 == '3' || c2 == '4' || c2 == '5') ? 2 : 1, 0xFF0000};
    return {0, 0x000000};
}

// From this many logical units per mile a view shows single streets, and one-way chains show
// which way they run.
constexpr float kStreetZoomScale = 1000.0f;

// A chevron at the middle of a one-way chain's line, pointing the way traffic runs, drawn with
// the current pen; size is its length in device pixels. Lines too short to hold it get none.
void drawChainDirection(QPainter& painter, ChainTraffic traffic, const std::vector<QPointF>& points,
                        double size) {
    if (traffic != ChainTraffic::Forward && traffic != ChainTraffic::Backward)
        return;
    double length = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
        length += QLineF(points[i - 1], points[i]).length();
    if (length < 3 * size)
        return;
    double left = length / 2;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const QLineF segment(points[i - 1], points[i]);
        if (segment.length() < left || segment.length() == 0) {
            left -= segment.length();
            continue;
        }
        const QPointF tip = segment.pointAt(left / segment.length());
        QPointF along = (segment.p2() - segment.p1()) / segment.length() * size;
        if (traffic == ChainTraffic::Backward)
            along = -along;
        const QPointF across(-along.y() / 2, along.x() / 2);
        const QPointF wings[] = {tip - along + across, tip, tip - along - across};
        painter.drawPolyline(wings, 3);
        return;
    }
}

} // namespace

void drawRoads(RenderSurface& s, const TigerData& tiger) {
    s.painter().save();
    s.painter().setBrush(Qt::NoBrush);
    WorldRect visible = s.transform().visibleWorld();
    if (!s.options().area.isNull()) {
        const WorldPoint a = s.transform().LogicalToWorld({s.cull().left, s.cull().top});
        const WorldPoint b = s.transform().LogicalToWorld({s.cull().right, s.cull().bottom});
        visible = WorldRect{a.y, b.y, a.x, b.x};
    }
    const float margin = 4.0f / s.transform().scale;
    const float minX = std::min(visible.left, visible.right) - margin;
    const float maxX = std::max(visible.left, visible.right) + margin;
    const float minY = std::min(visible.top, visible.bottom) - margin;
    const float maxY = std::max(visible.top, visible.bottom) + margin;
    const std::vector<WorldPoint>& world = tiger.worldPoints();
    std::vector<QPointF> points;
    LinePen current{-1, 0};
    for (const TigerData::WorldChain& wc : tiger.worldChains()) {
        // Chains wholly outside the window are not drawn.
        if (wc.box.right < minX || wc.box.left > maxX || wc.box.top < minY || wc.box.bottom > maxY)
            continue;
        points.clear();
        const std::size_t end = wc.first + wc.count;
        for (std::size_t i = wc.first; i < end; ++i) {
            const RenderSurface::DevicePoint d = s.device(s.transform().WorldToLogical(world[i]));
            // A point on the same pixel as the one before adds nothing to the line.
            if (!points.empty() && points.back().x() == d.x && points.back().y() == d.y &&
                i + 1 < end)
                continue;
            points.emplace_back(d.x, d.y);
        }
        const LinePen pen = tigerPen(wc.chain->cfcc);
        if (pen.width != current.width || pen.colour != current.colour) {
            // Cosmetic pens take the toolkit's fast path for long polylines; on whole pixels
            // they cover the same pixels.
            QPen qpen(toQColor(pen.colour), s.pixels(pen.width));
            qpen.setCosmetic(true);
            s.painter().setPen(qpen);
            current = pen;
        }
        s.painter().drawPolyline(points.data(), static_cast<int>(points.size()));
        if (s.transform().scale >= kStreetZoomScale)
            drawChainDirection(s.painter(), chainTraffic(*wc.chain), points, s.pixels(6));
    }
    s.painter().restore();
}

} // namespace vantry
