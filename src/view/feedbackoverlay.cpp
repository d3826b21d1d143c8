#include "view/feedbackoverlay.h"

#include "model/drawsizes.h"
#include "view/hittest.h"
#include "view/networkdrawing.h"
#include "view/rendersurface.h"
#include "view/selection.h"
#include "view/tools.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vantry {

namespace {

QPointF deviceOf(const ViewTransform& t, LogicalPoint p) {
    return {std::floor(t.logicalToDeviceX(p.x) + 0.5), std::floor(t.logicalToDeviceY(p.y) + 0.5)};
}

QPen feedbackPen(Qt::PenStyle style, int width, double f) {
    return QPen(Qt::white, std::max(1.0, std::round(width * f)), style);
}

// Draws a feedback circle of device radius r around device centre c.
void drawCircle(QPainter& painter, QPointF c, double r) {
    painter.drawEllipse(
        QRectF(c.x() - r + 0.5, c.y() - r + 0.5, outlineSize(2 * r), outlineSize(2 * r)));
}

} // namespace

void FeedbackOverlay::line(WorldPoint a, WorldPoint b, Qt::PenStyle style, int width) {
    shapes_.push_back(
        {Shape::Line, transform_.WorldToLogical(a), transform_.WorldToLogical(b), 0, style, width});
}

void FeedbackOverlay::rect(WorldPoint a, WorldPoint b) {
    shapes_.push_back({Shape::Rect, transform_.WorldToLogical(a), transform_.WorldToLogical(b), 0,
                       Qt::DashLine, 1});
}

void FeedbackOverlay::circle(WorldPoint p, int radius) {
    const LogicalPoint c = transform_.WorldToLogical(p);
    shapes_.push_back({Shape::Circle, c, c, radius, Qt::DashLine, 1});
}

void FeedbackOverlay::rubberLink(const Network& network, WorldPoint a, WorldPoint b) {
    const WorldPoint snapped = SnapToNode(network, b, transform_.scale);
    const double moved =
        std::hypot(static_cast<double>(snapped.x) - b.x, static_cast<double>(snapped.y) - b.y);
    if (moved > 0.0001)
        line(a, snapped, Qt::SolidLine, 2);
    else
        line(a, b, Qt::DashLine, 1);
}

void FeedbackOverlay::moveGhost(const Selection& selection, WorldPoint offset,
                                const GhostLinks& ghost) {
    auto shifted = [&](const Node* n, bool moves) {
        WorldPoint p = n->position();
        if (moves) {
            p.x += offset.x;
            p.y += offset.y;
        }
        return p;
    };
    shapes_.reserve(shapes_.size() + selection.nodeCount() + ghost.links.size());
    for (const Node* n : selection.selectedNodes())
        circle(shifted(n, true), kNodeRadiusUnits);
    const float shortest = kShortestLinkUnits / transform_.scale;
    for (const GhostLinks::Entry& e : ghost.links) {
        const WorldPoint from = shifted(e.link->fromNode(), e.fromMoves);
        const WorldPoint to = shifted(e.link->toNode(), e.toMoves);
        // As on the map, a link too short to see is left out.
        if (distance(from, to) < shortest)
            continue;
        const auto [a, b] = LinkEndpoints(from, to, transform_.scale);
        line(a, b, Qt::DashLine, 1);
    }
}

const std::vector<QPoint>& FeedbackOverlay::circlePixels(int radius, double f) const {
    if (circleRadius_ != radius || circleFactor_ != f) {
        // The circle drawn once around a whole pixel: every circle centre is a whole pixel, so
        // any other circle covers the same pixels moved by a whole number of pixels.
        const int reach = static_cast<int>(std::ceil(radius * f)) + 4;
        QImage stamp(2 * reach + 1, 2 * reach + 1, QImage::Format_RGB32);
        stamp.fill(Qt::black);
        QPainter painter(&stamp);
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.setPen(feedbackPen(Qt::DashLine, 1, f));
        painter.setBrush(Qt::NoBrush);
        drawCircle(painter, QPointF(reach, reach), radius * f);
        painter.end();
        circle_.clear();
        for (int y = 0; y < stamp.height(); ++y)
            for (int x = 0; x < stamp.width(); ++x)
                if ((stamp.pixel(x, y) & 0xFFFFFF) != 0)
                    circle_.emplace_back(x - reach, y - reach);
        circleRadius_ = radius;
        circleFactor_ = f;
    }
    return circle_;
}

void FeedbackOverlay::draw(QImage& frame) const {
    // Circles are inverted pixel by pixel from one drawing: a ghost of tens of thousands of
    // nodes then costs a few pixels each. Inverting is its own inverse and order does not
    // matter, so the other shapes are drawn on top afterwards.
    // The frame has the device pixels of the screen, which the feedback is drawn at too.
    const ViewTransform t = atDeviceRatio(transform_, frame.devicePixelRatio());
    const double f = t.pixelsPerLogical();
    const int w = frame.width(), h = frame.height();
    const bool direct =
        frame.format() == QImage::Format_RGB32 || frame.format() == QImage::Format_ARGB32;
    for (const Shape& shape : shapes_) {
        if (shape.kind != Shape::Circle || !direct)
            continue;
        const QPointF c = deviceOf(t, shape.a);
        const int cx = static_cast<int>(c.x()), cy = static_cast<int>(c.y());
        for (const QPoint& d : circlePixels(shape.radius, f)) {
            const int x = cx + d.x(), y = cy + d.y();
            if (x >= 0 && x < w && y >= 0 && y < h)
                reinterpret_cast<QRgb*>(frame.scanLine(y))[x] ^= 0x00FFFFFF;
        }
    }
    QPainter painter(&frame);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    // The painter works in the frame's device pixels, as the transform does.
    painter.scale(1.0 / frame.devicePixelRatio(), 1.0 / frame.devicePixelRatio());
    for (const Shape& shape : shapes_) {
        if (shape.kind == Shape::Circle && direct)
            continue;
        painter.setPen(feedbackPen(shape.style, shape.width, f));
        // Shapes are outlines only: the inside is left as it is.
        painter.setBrush(Qt::NoBrush);
        switch (shape.kind) {
        case Shape::Line:
            painter.drawLine(deviceOf(t, shape.a), deviceOf(t, shape.b));
            break;
        case Shape::Rect: {
            const QRectF r = QRectF(deviceOf(t, shape.a), deviceOf(t, shape.b)).normalized();
            painter.drawRect(
                QRectF(r.topLeft(), QSizeF(outlineSize(r.width()), outlineSize(r.height()))));
            break;
        }
        case Shape::Circle:
            drawCircle(painter, deviceOf(t, shape.a), shape.radius * f);
            break;
        }
    }
}

} // namespace vantry
