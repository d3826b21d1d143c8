#include "view/viewtransform.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace vantry {

namespace {

// Fits and rectangle zooms have no limits of their own. These bounds lie far beyond anything a
// network can ask for; they only keep the scale positive and every distance derived from it
// (27 / s, the window size / s, offsets x s) finite.
constexpr float kLowestScale = 1e-6f;
constexpr float kHighestScale = 1e9f;

constexpr int kFitMargin = 27;

// Truncates toward zero, saturating instead of overflowing; NaN becomes 0.
std::int32_t toInt32(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (v <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

std::int32_t clampToInt32(long long v) {
    return static_cast<std::int32_t>(std::clamp<long long>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Keeps a world coordinate finite when a step would carry it past the range of float.
float saturate(float v) {
    return std::clamp(v, std::numeric_limits<float>::lowest(), std::numeric_limits<float>::max());
}

bool isFinite(WorldPoint p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// A usable scale from a computed one: NaN keeps the fallback, anything else is held within the
// guard bounds.
float guardScale(float s, float fallback) {
    if (std::isnan(s))
        return fallback;
    return std::clamp(s, kLowestScale, kHighestScale);
}

// The scale as the conversions use it; the member is public and may hold anything.
float usableScale(float s) {
    return guardScale(s, 100.0f);
}

} // namespace

bool LogicalRect::contains(LogicalPoint p) const {
    return left <= p.x && p.x < right && bottom < p.y && p.y <= top;
}

void ViewTransform::setClientSize(int widthPixels, int heightPixels, double pixelsPerLogical) {
    widthPx_ = std::max(widthPixels, 0);
    heightPx_ = std::max(heightPixels, 0);
    pixelsPerLogical_ =
        (std::isfinite(pixelsPerLogical) && pixelsPerLogical > 0.0) ? pixelsPerLogical : 1.0;
}

LogicalRect ViewTransform::clientLogical() const {
    const std::int32_t w = toInt32(std::round(widthPx_ / pixelsPerLogical_));
    const std::int32_t h = toInt32(std::round(heightPx_ / pixelsPerLogical_));
    LogicalRect r;
    r.left = -(w / 2);
    r.top = h / 2;
    r.right = r.left + w;
    r.bottom = r.top - h;
    return r;
}

LogicalPoint ViewTransform::deviceToLogical(double px, double py) const {
    // The device position of a logical unit, divided back, can land a rounding error below that
    // unit; values within a millionth of a whole unit snap to it so the two conversions invert.
    const auto units = [this](double d) {
        const double q = d / pixelsPerLogical_;
        const double nearest = std::round(q);
        return std::abs(q - nearest) < 1e-6 ? nearest : std::floor(q);
    };
    const LogicalRect c = clientLogical();
    return {toInt32(units(px) + c.left), toInt32(c.top - units(py))};
}

double ViewTransform::logicalToDeviceX(std::int32_t lx) const {
    return (static_cast<double>(lx) - clientLogical().left) * pixelsPerLogical_;
}

double ViewTransform::logicalToDeviceY(std::int32_t ly) const {
    return (static_cast<double>(clientLogical().top) - ly) * pixelsPerLogical_;
}

LogicalPoint ViewTransform::WorldToLogical(WorldPoint p) const {
    const float s = usableScale(scale);
    const float dx = p.x - viewCenter.x;
    const float dy = p.y - viewCenter.y;
    return {toInt32(dx * s), toInt32(dy * s)};
}

WorldPoint ViewTransform::LogicalToWorld(LogicalPoint l) const {
    const float s = usableScale(scale);
    // The offset from the centre is rounded to a thousandth of a mile before the centre is
    // added, so that clicks give tidy coordinates whatever the centre.
    const auto rounded = [](float v) { return std::floor(v * 1000.0 + 0.5) * 0.001; };
    const double x = viewCenter.x + rounded(static_cast<float>(l.x) / s);
    const double y = viewCenter.y + rounded(static_cast<float>(l.y) / s);
    return {saturate(static_cast<float>(x)), saturate(static_cast<float>(y))};
}

WorldRect ViewTransform::visibleWorld() const {
    const float s = usableScale(scale);
    const LogicalRect c = clientLogical();
    const float w = static_cast<float>(c.right - c.left) / s;
    // Negative: logical y grows upward while the client rectangle runs top to bottom.
    const float h = static_cast<float>(c.bottom - c.top) / s;
    WorldRect r;
    r.left = saturate(viewCenter.x - w / 2.0f);
    r.right = saturate(viewCenter.x + w / 2.0f);
    r.top = saturate(viewCenter.y - h / 2.0f);
    r.bottom = saturate(viewCenter.y + h / 2.0f);
    return r;
}

bool ViewTransform::ZoomInToCenter(bool fine) {
    scale = usableScale(scale) * (fine ? 1.2f : 2.0f);
    if (scale >= kMaxScale) {
        scale = kMaxScale;
        return true;
    }
    return false;
}

bool ViewTransform::ZoomOutFromCenter(bool fine) {
    scale = usableScale(scale) * (fine ? 0.8333333f : 0.5f);
    if (scale <= kMinScale) {
        scale = kMinScale;
        return true;
    }
    return false;
}

void ViewTransform::CenterOn(WorldPoint p) {
    // A non-finite centre would poison every later conversion.
    if (isFinite(p))
        viewCenter = p;
}

bool ViewTransform::ZoomToRect(const WorldRect& r) {
    CenterOn(r.center());

    const LogicalRect c = clientLogical();
    const float w = static_cast<float>(c.right - c.left);
    const float h = static_cast<float>(c.top - c.bottom);
    if (w <= 0.0f || h <= 0.0f)
        return false;

    // The rectangle is spanned by two drag points in either order. A side of zero length cannot
    // limit the fit; with both zero there is nothing to fit and the scale stays.
    const float rw = std::abs(r.width());
    const float rh = std::abs(r.height());
    float s;
    if (rw > 0.0f && rh > 0.0f)
        s = std::min(w / rw, h / rh);
    else if (rw > 0.0f)
        s = w / rw;
    else if (rh > 0.0f)
        s = h / rh;
    else
        return false;

    s = guardScale(s, usableScale(scale));
    if (s >= kMaxScale) {
        scale = kMaxScale;
        return true;
    }
    scale = s;
    return false;
}

void ViewTransform::ShowEntireNetwork(const WorldRect& box, int widthLogical, int heightLogical) {
    // A surface smaller than its margins still gets one unit of room, so the fit stays positive.
    const long long margins = 2 * kFitMargin;
    const float usableW = static_cast<float>(std::max(std::llabs(widthLogical) - margins, 1LL));
    const float usableH = static_cast<float>(std::max(std::llabs(heightLogical) - margins, 1LL));

    const float bw = std::abs(box.width());
    const float bh = std::abs(box.height());
    float s;
    if (bw != 0.0f && bh != 0.0f)
        s = std::min(usableW / bw, usableH / bh);
    else if (bw == 0.0f && bh != 0.0f)
        s = usableH / bh;
    else if (bh == 0.0f && bw != 0.0f)
        s = usableW / bw;
    else
        s = 100.0f;

    s = guardScale(s, 100.0f);
    if (s < kMinScale)
        s = kMinScale;
    scale = s;
    CenterOn(box.center());
}

void ViewTransform::ShowEntireNetwork(const WorldRect& box) {
    const LogicalRect c = clientLogical();
    ShowEntireNetwork(box, c.right - c.left, c.top - c.bottom);
}

bool ViewTransform::AutoScroll(LogicalPoint p) {
    const LogicalRect c = clientLogical();
    if (c.contains(p))
        return false;

    long long dx = 0;
    if (p.x < c.left)
        dx = static_cast<long long>(p.x) - c.left;
    else if (p.x > c.right)
        dx = static_cast<long long>(p.x) - c.right;
    long long dy = 0;
    if (p.y > c.top)
        dy = static_cast<long long>(p.y) - c.top;
    else if (p.y < c.bottom)
        dy = static_cast<long long>(p.y) - c.bottom;
    if (dx == 0 && dy == 0)
        return false;

    const float s = usableScale(scale);
    viewCenter.x = saturate(viewCenter.x + static_cast<float>(dx) / s);
    viewCenter.y = saturate(viewCenter.y + static_cast<float>(dy) / s);
    return true;
}

WorldRect ViewTransform::scrollExtent(const WorldRect& dataExtent) const {
    const float s = usableScale(scale);
    const LogicalRect c = clientLogical();
    const float w = static_cast<float>(c.right - c.left) / s;
    const float h = static_cast<float>(c.bottom - c.top) / s;
    const WorldRect visible = visibleWorld();

    WorldRect e = dataExtent;
    e.inflate(static_cast<float>(kFitMargin) / s);
    const WorldPoint m = e.center();
    e.extendTo({m.x + w / 2.0f, m.y + h / 2.0f});
    e.extendTo({m.x - w / 2.0f, m.y - h / 2.0f});
    // The visible area must lie inside the extent, however far it has been scrolled from the
    // data; this is what lets line steps run past the data and grow the range.
    e.extendTo({visible.left, visible.top});
    e.extendTo({visible.right, visible.bottom});
    return e;
}

namespace {

// One scroll bar over `length` world units of extent at scale s, the view showing `page` units
// of it from `offset` world units past the extent's start. Float arithmetic, as everywhere the
// bars are worked out.
ScrollBarState scrollBar(float length, float s, double page, bool atEnd, float offset) {
    ScrollBarState bar;
    bar.max = toInt32(std::floor(length * s - 0.5));
    bar.page = toInt32(page);
    // Rounding would otherwise leave the thumb a unit short of the end when the view shows the
    // extent's last row or column.
    if (atEnd) {
        bar.pos = clampToInt32(static_cast<long long>(bar.max) - bar.page + 1);
    } else {
        const double fromStart = std::floor(offset * s + 0.5);
        bar.pos = fromStart < 0.0 ? 0 : toInt32(fromStart);
    }
    return bar;
}

} // namespace

ScrollBarState ViewTransform::horizontalBar(const WorldRect& dataExtent) const {
    if (isEmpty())
        return {};
    const LogicalRect c = clientLogical();
    const WorldRect e = scrollExtent(dataExtent);
    const WorldRect visible = visibleWorld();
    return scrollBar(e.width(), usableScale(scale), std::abs(static_cast<double>(c.right) - c.left),
                     std::abs(e.right - visible.right) < 0.0001, visible.left - e.left);
}

ScrollBarState ViewTransform::verticalBar(const WorldRect& dataExtent) const {
    if (isEmpty())
        return {};
    const LogicalRect c = clientLogical();
    const WorldRect e = scrollExtent(dataExtent);
    const WorldRect visible = visibleWorld();
    // World y grows upwards; the bar's position grows downwards from the extent's top.
    return scrollBar(e.height(), usableScale(scale),
                     std::abs(static_cast<double>(c.bottom) - c.top),
                     std::abs(e.bottom - visible.bottom) < 0.0001, e.top - visible.top);
}

void ViewTransform::scroll(bool horizontal, ScrollCode code, const ScrollBarState& bar,
                           int trackPos) {
    const long long pos = bar.pos;
    const long long maxPos = static_cast<long long>(bar.max) - bar.page + 1;
    const auto stepOf = [&bar](double fraction) {
        return static_cast<long long>(std::floor(bar.page * fraction + 0.5));
    };

    long long step = 0;
    switch (code) {
    case ScrollCode::LineUp:
        step = -stepOf(0.1);
        break;
    case ScrollCode::LineDown:
        step = stepOf(0.1);
        break;
    case ScrollCode::PageUp:
        step = std::max(-stepOf(0.8), bar.min - pos);
        break;
    case ScrollCode::PageDown:
        step = std::min(stepOf(0.8), maxPos - pos);
        break;
    case ScrollCode::ThumbTrack:
        step = trackPos - pos;
        break;
    case ScrollCode::Top:
        step = bar.min - pos;
        break;
    case ScrollCode::Bottom:
        step = maxPos - pos;
        break;
    case ScrollCode::Other:
        return;
    }

    // Scroll units are logical units; scrolling down moves the view south.
    const float delta = static_cast<float>(step) / usableScale(scale);
    if (horizontal)
        viewCenter.x = saturate(viewCenter.x + delta);
    else
        viewCenter.y = saturate(viewCenter.y - delta);
}

ViewTransform atDeviceRatio(const ViewTransform& t, double ratio) {
    if (ratio == 1.0)
        return t;
    ViewTransform device = t;
    device.setClientSize(static_cast<int>(std::lround(t.clientWidthPixels() * ratio)),
                         static_cast<int>(std::lround(t.clientHeightPixels() * ratio)),
                         t.pixelsPerLogical() * ratio);
    return device;
}

} // namespace vantry
