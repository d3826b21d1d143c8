#include "view/rendersurface.h"

#include "picture/backgroundimage.h"
#include "view/labelfont.h"
#include "view/stampcache.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>

namespace vantry {

QColor toQColor(ColorRef c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

double outlineSize(double pixels) {
    return std::max(0.0, pixels - 1.0);
}

std::int32_t trunc32(double v) {
    if (!(v > -2147483648.0))
        return INT32_MIN;
    if (!(v < 2147483647.0))
        return INT32_MAX;
    return static_cast<std::int32_t>(v);
}

RenderSurface::RenderSurface(QPainter& painter, const ViewTransform& transform,
                             const RenderOptions& options)
    : painter_(painter), transform_(transform), options_(options),
      visible_(transform.clientLogical()), cull_(visible_), f_(transform.pixelsPerLogical()) {
    if (!options_.area.isNull()) {
        // A picture scaled onto the frame lands on other pixels when clipped at its left or
        // right; clipped at its top and bottom it does not. Its rows are drawn whole.
        if (options_.bitmap && options_.bitmap->loaded())
            options_.area = QRect(0, options_.area.top(), transform.clientWidthPixels(),
                                  options_.area.height());
        cull_ = logicalArea(options_.area);
    }
    labelFont_ = std::make_unique<QFont>(labelFont(f_));
    const QFontMetricsF metrics(*labelFont_);
    ascent_ = metrics.ascent();
    descent_ = metrics.descent();
    labelHeight_ = static_cast<int>(std::lround(metrics.height() / f_));
    if (StampCache::canDrawInto(painter_))
        stamps_ = std::make_unique<StampCache>(
            *static_cast<QImage*>(painter_.device()),
            options_.area.isNull() ? QRect(0, 0, INT_MAX, INT_MAX) : options_.area, *labelFont_,
            f_);
}

RenderSurface::~RenderSurface() = default;

bool RenderSurface::nearVisible(LogicalPoint p, int margin) const {
    return p.x >= cull_.left - margin && p.x <= cull_.right + margin && p.y <= cull_.top + margin &&
           p.y >= cull_.bottom - margin;
}

// The logical rectangle that holds every pixel of a device area of the frame, a unit wider on
// each side for the rounding between the two.
LogicalRect RenderSurface::logicalArea(const QRect& area) const {
    const auto at = [&](double pixels, std::int32_t start, double sign) {
        return trunc32(static_cast<double>(start) + sign * pixels / f_);
    };
    return {at(area.left(), visible_.left, 1.0) - 1, at(area.top(), visible_.top, -1.0) + 1,
            at(area.right() + 1, visible_.left, 1.0) + 1,
            at(area.bottom() + 1, visible_.top, -1.0) - 1};
}

// Lines are whole device pixels wide, at least one: thinner lines would be drawn as blends of
// their colour and what lies beneath, and the colours must stay exact.
double RenderSurface::pixels(int logicalWidth) const {
    return std::max(1.0, std::round(logicalWidth * f_));
}

// Everything is drawn on whole device pixels, so that a shape looks the same wherever it lies.
RenderSurface::DevicePoint RenderSurface::device(LogicalPoint p) const {
    return {std::floor((static_cast<double>(p.x) - visible_.left) * f_ + 0.5),
            std::floor((static_cast<double>(visible_.top) - p.y) * f_ + 0.5)};
}

void RenderSurface::drawText(std::string_view text, LogicalPoint anchor, int align,
                             ColorRef colour) {
    const DevicePoint at = device(anchor);
    const bool stamped = stamps_ && stamps_->canStamp(text) &&
                         painter_.compositionMode() == QPainter::CompositionMode_SourceOver;
    const QString s =
        stamped ? QString() : QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    double x = at.x;
    if ((align & 3) != AlignLeft) {
        const double width =
            stamped ? stamps_->width(text) : QFontMetricsF(*labelFont_).horizontalAdvance(s);
        x -= (align & 3) == AlignCenter ? width / 2.0 : width;
    }
    const double baseline = (align & AlignBottom) ? at.y - descent_ : at.y + ascent_;
    if (stamped) {
        stamps_->text(text, x, baseline, colour);
        return;
    }
    painter_.setFont(*labelFont_);
    painter_.setPen(toQColor(colour));
    painter_.drawText(QPointF(x, baseline), s);
}

} // namespace vantry
