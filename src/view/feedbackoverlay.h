#pragma once

#include "model/geometry.h"
#include "view/viewtransform.h"

#include <QImage>
#include <QPoint>
#include <qnamespace.h>

#include <cstddef>
#include <vector>

namespace vantry {

class Network;
class Selection;
struct GhostLinks;

// A drag's feedback over the view's rendered image: lines, rectangles and node circles drawn
// by inverting what lies beneath, so that two drawings of one shape cancel out. Shapes are kept
// in the view's logical units, taken through the view's transform as they are added.
class FeedbackOverlay {
public:
    explicit FeedbackOverlay(const ViewTransform& transform) : transform_(transform) {}

    void clear() { shapes_.clear(); }
    bool empty() const { return shapes_.empty(); }
    std::size_t size() const { return shapes_.size(); }

    void line(WorldPoint a, WorldPoint b, Qt::PenStyle style, int width);
    void rect(WorldPoint a, WorldPoint b);
    void circle(WorldPoint p, int radius);
    // A line from a to b, drawn solid and 2 wide to the node b snaps to, else dashed to b.
    void rubberLink(const Network& network, WorldPoint a, WorldPoint b);
    // The selected nodes shifted by an offset, with the links that move with them.
    void moveGhost(const Selection& selection, WorldPoint offset, const GhostLinks& ghost);

    // Inverts the shapes on a frame of the view's image, at the frame's device pixels.
    void draw(QImage& frame) const;

private:
    struct Shape {
        enum Kind { Line, Rect, Circle } kind;
        LogicalPoint a, b;
        int radius;
        Qt::PenStyle style;
        int width;
        bool operator==(const Shape&) const = default;
    };
    // The pixels of a feedback circle of the given radius at f device pixels per logical unit,
    // relative to its centre pixel.
    const std::vector<QPoint>& circlePixels(int radius, double f) const;

    const ViewTransform& transform_;
    std::vector<Shape> shapes_;
    mutable std::vector<QPoint> circle_;
    mutable int circleRadius_ = -1;
    mutable double circleFactor_ = 0.0;
};

} // namespace vantry
