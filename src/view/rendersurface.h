#pragma once

#include "view/renderoptions.h"
#include "view/viewtransform.h"

#include <QColor>
#include <QRect>

#include <memory>
#include <string_view>

class QFont;
class QPainter;

namespace vantry {

class StampCache;

// A stored colour as the toolkit takes it.
QColor toQColor(ColorRef c);

// The size to give the painter for an outlined ellipse or rectangle that covers `pixels` device
// pixels: the painter's outline also covers the right and bottom edge of the size it is given.
double outlineSize(double pixels);

// A line's width in logical units and its colour.
struct LinePen {
    int width;
    ColorRef colour;
};

// Where one frame lands on a painter: logical positions on whole device pixels, line widths in
// whole pixels, what is near enough to the frame (or the area drawn) to be drawn at all, and
// numbers in the label font, stamped into images. Every part of a frame draws through it.
class RenderSurface {
public:
    enum TextAlign {
        AlignLeft = 0,
        AlignCenter = 1,
        AlignRight = 2,
        AlignTop = 0,
        AlignBottom = 4
    };

    struct DevicePoint {
        double x;
        double y;
    };

    RenderSurface(QPainter& painter, const ViewTransform& transform, const RenderOptions& options);
    ~RenderSurface();
    RenderSurface(const RenderSurface&) = delete;
    RenderSurface& operator=(const RenderSurface&) = delete;

    QPainter& painter() const { return painter_; }
    const ViewTransform& transform() const { return transform_; }
    const RenderOptions& options() const { return options_; }
    // The window in logical units.
    const LogicalRect& visible() const { return visible_; }
    // Objects are drawn when they come near this rectangle: the window, or the area drawn.
    const LogicalRect& cull() const { return cull_; }
    // Device pixels per logical unit.
    double scale() const { return f_; }
    // The height of a line of numbers in logical units.
    int labelHeight() const { return labelHeight_; }
    // Set when drawing into an image: nodes and numbers are then copied in as small pictures.
    StampCache* stamps() const { return stamps_.get(); }

    DevicePoint device(LogicalPoint p) const;
    DevicePoint device(std::int32_t x, std::int32_t y) const { return device(LogicalPoint{x, y}); }
    double pixels(int logicalWidth) const;
    // Whether anything drawn around logical point p within `margin` units can be seen.
    bool nearVisible(LogicalPoint p, int margin) const;
    void drawText(std::string_view text, LogicalPoint anchor, int align, ColorRef colour);

private:
    LogicalRect logicalArea(const QRect& area) const;

    QPainter& painter_;
    const ViewTransform& transform_;
    RenderOptions options_;
    LogicalRect visible_;
    LogicalRect cull_;
    double f_;
    std::unique_ptr<QFont> labelFont_;
    std::unique_ptr<StampCache> stamps_;
    double ascent_ = 0;
    double descent_ = 0;
    int labelHeight_ = 0;
};

// The nearest 32-bit whole number toward zero, the range's ends for anything beyond it.
std::int32_t trunc32(double v);

} // namespace vantry
