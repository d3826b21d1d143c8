#include "view/stampcache.h"

#include <QFontMetrics>
#include <QString>

#include <algorithm>
#include <utility>

namespace vantry {

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

StampCache::StampCache(QImage& target, const QRect& clip, const QFont& font, double f)
    : target_(target), clip_(clip & target.rect()), font_(font), f_(f) {
    bits_ = reinterpret_cast<QRgb*>(target_.bits());
    stride_ = target_.bytesPerLine() / 4;
    const QFontMetricsF metrics(font);
    ascent_ = metrics.ascent();
    baseline_ = kPad + static_cast<int>(std::ceil(ascent_));
    height_ = baseline_ + static_cast<int>(std::ceil(metrics.descent())) + kPad;
    for (const char* c = kCharacters; *c; ++c)
        advances_.push_back(metrics.horizontalAdvance(QLatin1Char(*c)));
}

bool StampCache::canDrawInto(QPainter& painter) {
    QPaintDevice* device = painter.device();
    if (!device || device->devType() != QInternal::Image)
        return false;
    const auto* image = static_cast<QImage*>(device);
    return (image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32) &&
           painter.transform().isIdentity();
}

bool StampCache::canStamp(std::string_view s) {
    for (char c : s)
        if (slot(c) < 0)
            return false;
    return true;
}

void StampCache::text(std::string_view s, double x, double y, ColorRef colour) {
    const Glyphs& glyphs = glyphsFor(colour);
    std::int64_t pen = static_cast<std::int64_t>(x * 64.0);
    const int row = static_cast<int>(floorDiv(static_cast<std::int64_t>(y * 64.0) + 32, 64));
    for (char c : s) {
        const Glyph& g = glyphs[static_cast<std::size_t>(slot(c))];
        copy(g.image, static_cast<int>(floorDiv(pen, 64)) - kPad, row - baseline_);
        pen += std::llround(g.advance * 64.0);
    }
}

double StampCache::width(std::string_view s) {
    double w = 0;
    for (char c : s)
        w += advances_[static_cast<std::size_t>(slot(c))];
    return w;
}

StampCache::Stamp::Stamp(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width();) {
            if (qAlpha(line[x]) == 0) {
                ++x;
                continue;
            }
            const int start = x;
            const std::size_t first = pixels.size();
            while (x < image.width() && qAlpha(line[x]) != 0)
                pixels.push_back(line[x++] | 0xFF000000u);
            runs.push_back({y, start, x - start, first});
        }
    }
}

QImage StampCache::blank(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

const StampCache::Glyphs& StampCache::glyphsFor(ColorRef colour) {
    // Nearly every text of a frame has the colour of the one before.
    if (lastGlyphs_ && lastColour_ == colour)
        return *lastGlyphs_;
    auto it = glyphs_.find(colour);
    if (it != glyphs_.end()) {
        lastColour_ = colour;
        lastGlyphs_ = &it->second;
        return it->second;
    }
    Glyphs glyphs;
    for (const char* c = kCharacters; *c; ++c) {
        Glyph g;
        g.advance = advances_[glyphs.size()];
        QImage image = blank(static_cast<int>(std::ceil(g.advance)) + 2 * kPad + 2, height_);
        QPainter p(&image);
        p.setFont(font_);
        p.setPen(toQColor(colour));
        p.drawText(QPointF(kPad, baseline_), QString(QLatin1Char(*c)));
        p.end();
        g.image = Stamp(image);
        glyphs.push_back(std::move(g));
    }
    lastColour_ = colour;
    lastGlyphs_ = &glyphs_.emplace(colour, std::move(glyphs)).first->second;
    return *lastGlyphs_;
}

void StampCache::copy(const Stamp& stamp, int x0, int y0) {
    const int left = clip_.left(), right = clip_.right() + 1;
    const int top = clip_.top(), bottom = clip_.bottom() + 1;
    for (const Stamp::Run& run : stamp.runs) {
        const int y = y0 + run.y;
        if (y < top || y >= bottom)
            continue;
        int x = x0 + run.x;
        int length = run.length;
        std::size_t first = run.first;
        if (x < left) {
            length -= left - x;
            first += static_cast<std::size_t>(left - x);
            x = left;
        }
        length = std::min(length, right - x);
        if (length <= 0)
            continue;
        QRgb* to = bits_ + static_cast<std::ptrdiff_t>(y) * stride_ + x;
        const QRgb* from = stamp.pixels.data() + first;
        // Runs are a few pixels long: a plain loop beats a call to memcpy.
        for (int i = 0; i < length; ++i)
            to[i] = from[i];
    }
}

} // namespace vantry
