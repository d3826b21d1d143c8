#pragma once

#include "model/geometry.h"

#include <cstdint>

namespace vantry {

// A point of the drawing surface in logical units: 0.01 inch, y growing upward, (0, 0) in the
// middle of the window.
struct LogicalPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const LogicalPoint&, const LogicalPoint&) = default;
};

// A rectangle of the surface in logical units; top is the larger y.
struct LogicalRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    // Half-open like the pixels it covers: left and top edges inside, right and bottom outside.
    bool contains(LogicalPoint p) const;
    friend bool operator==(const LogicalRect&, const LogicalRect&) = default;
};

// One scroll bar in the classic (min, max, page, position) model: the thumb covers `page`
// units and the position runs from min to max - page + 1.
struct ScrollBarState {
    int min = 0;
    int max = 0;
    int page = 0;
    int pos = 0;
    friend bool operator==(const ScrollBarState&, const ScrollBarState&) = default;
};

enum class ScrollCode { LineUp, LineDown, PageUp, PageDown, ThumbTrack, Top, Bottom, Other };

// What one view shows of the world: scale (logical units per mile), the world point at the
// centre of the window and the window's size. It converts between world miles, logical units
// and device pixels, and carries out zooming, fitting and scrolling. It is a plain value so
// that it can be used without any window (rendering to an image, tests).
class ViewTransform {
public:
    static constexpr float kMaxScale = 10000.0f;
    static constexpr float kMinScale = 0.01f;

    float scale = 100.0f;
    WorldPoint viewCenter;

    // The client area in device pixels and the fixed number of device pixels per logical
    // unit (1.0 for images and tests; the screen's logical DPI / 100 in the editor).
    void setClientSize(int widthPixels, int heightPixels, double pixelsPerLogical = 1.0);
    int clientWidthPixels() const { return widthPx_; }
    int clientHeightPixels() const { return heightPx_; }
    double pixelsPerLogical() const { return pixelsPerLogical_; }
    bool isEmpty() const { return widthPx_ <= 0 || heightPx_ <= 0; }

    // Client area in logical units: left = -(w / 2), top = h / 2 (truncating), with w and h the
    // client size converted to logical units; right = left + w, bottom = top - h.
    LogicalRect clientLogical() const;

    LogicalPoint deviceToLogical(double px, double py) const;
    // Device position (pixels from the client's top-left) of a logical point.
    double logicalToDeviceX(std::int32_t lx) const;
    double logicalToDeviceY(std::int32_t ly) const;

    LogicalPoint WorldToLogical(WorldPoint p) const;
    WorldPoint LogicalToWorld(LogicalPoint l) const;
    // The world rectangle the client area shows.
    WorldRect visibleWorld() const;

    // Zoom by 2 (or 1.2 when fine) up to kMaxScale; true when the cap was reached.
    bool ZoomInToCenter(bool fine = false);
    // Zoom by 0.5 (or 0.8333333 when fine) down to kMinScale; true when the floor was reached.
    bool ZoomOutFromCenter(bool fine = false);
    void CenterOn(WorldPoint p);
    // Fits r into the window; true when the scale had to be capped at kMaxScale. A side of zero
    // length does not limit the fit; a rectangle of no size only re-centres.
    bool ZoomToRect(const WorldRect& r);
    // Fits the box (the data extent) with 27 logical units of margin on each side, for a
    // surface of the given size in logical units (a surface smaller than its margins still fits
    // the box at a positive scale).
    void ShowEntireNetwork(const WorldRect& box, int widthLogical, int heightLogical);
    void ShowEntireNetwork(const WorldRect& box);
    // Shifts the view toward p when p (logical) lies outside the client area; true if it moved.
    bool AutoScroll(LogicalPoint p);

    // The two scroll bars for a data extent (network bounds united with the visible layers).
    ScrollBarState horizontalBar(const WorldRect& dataExtent) const;
    ScrollBarState verticalBar(const WorldRect& dataExtent) const;
    // Applies a scroll bar action to the centre; `bar` is the bar's current state and
    // trackPos the thumb position while tracking.
    void scroll(bool horizontal, ScrollCode code, const ScrollBarState& bar, int trackPos = 0);

private:
    WorldRect scrollExtent(const WorldRect& dataExtent) const;

    int widthPx_ = 0;
    int heightPx_ = 0;
    double pixelsPerLogical_ = 1.0;
};

// The transform for an image of `ratio` device pixels per widget pixel: the same logical area on
// as many more pixels, so that lines, numbers and pictures are drawn at the screen's resolution
// rather than enlarged afterwards.
ViewTransform atDeviceRatio(const ViewTransform& t, double ratio);

} // namespace vantry
