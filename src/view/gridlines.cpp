#include "view/gridlines.h"

#include "view/rendersurface.h"

#include <QPaintEngine>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <sstream>

namespace vantry {

namespace {

constexpr LinePen kGridPens[5] = {
    {2, 0x397090}, {1, 0x404040}, {1, 0xC0C0C0}, {2, 0x404040}, {2, 0xC0C0C0}};

// Writes a float the way a default-formatted stream does: six significant digits, no trailing
// zeros.
std::string streamFormatted(float v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

} // namespace

std::string gridLabel(float v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, static_cast<double>(v));
    std::string text = buf;
    const float unit = static_cast<float>(std::pow(10.0, -decimals));
    if (!text.empty() && text[0] == '-' && std::fabs(v) < unit)
        text.erase(0, 1);
    return text;
}

int gridLineClass(float v) {
    const double scaled = std::floor(std::fabs(static_cast<double>(v)) * 1000.0 + 0.5);
    if (!(scaled < 9.0e18))
        return 4;
    long long n = static_cast<long long>(scaled);
    if (n == 0)
        return 0;
    long long p = 1;
    while (n % 10 == 0) {
        n /= 10;
        p *= 10;
    }
    if (p <= 100)
        return 1;
    if (p == 1000)
        return 2;
    if (p == 10000)
        return 3;
    return 4;
}

std::string drawGrid(RenderSurface& s) {
    QPainter& painter = s.painter();
    const LogicalRect& visible = s.visible();
    const float scale = s.transform().scale;
    const WorldPoint c = s.transform().viewCenter;
    // A spacing of zero or less would ask for lines a thousandth of a mile apart at any zoom.
    const int gridPixels = std::max(1, s.options().gridPixels);
    float step = 0.001f;
    while (step * scale < static_cast<float>(gridPixels) && std::isfinite(step * 10.0f))
        step *= 10.0f;
    const int decimals = std::max(0, static_cast<int>(std::floor(0.5 - std::log10(step))));
    const float unit = static_cast<float>(std::pow(10.0, -decimals));
    const std::string readout = "Grid: " + streamFormatted(step) + " miles";

    const float xmin = static_cast<float>(std::min(visible.left, visible.right)) / scale + c.x;
    const float xmax = static_cast<float>(std::max(visible.left, visible.right)) / scale + c.x;
    const float ymin = static_cast<float>(std::min(visible.top, visible.bottom)) / scale + c.y;
    const float ymax = static_cast<float>(std::max(visible.top, visible.bottom)) / scale + c.y;

    // Far from the origin a step can be too small to change a float; never loop for ever.
    const double spanLines = std::max(xmax - xmin, ymax - ymin) / static_cast<double>(step) + 4.0;
    const long maxLines = static_cast<long>(std::min(spanLines, 100000.0));

    painter.save();
    // Printers and PDF files cannot invert what is beneath; there the lines get the colour the
    // inversion would give on white paper.
    const bool canXor =
        painter.paintEngine() && painter.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    const ColorRef xorMask = canXor ? s.options().backColor : 0;
    if (canXor)
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setBrush(Qt::NoBrush);
    auto setGridPen = [&](float v) {
        const LinePen& pen = kGridPens[gridLineClass(v)];
        painter.setPen(
            QPen(toQColor(pen.colour ^ xorMask), s.pixels(pen.width), Qt::SolidLine, Qt::FlatCap));
    };
    auto rounded = [&](float v) { return static_cast<float>(std::floor(v / unit + 0.5) * unit); };

    const float firstY = (std::floor(ymin / step) + 1.0f) * step;
    long count = 0;
    for (float y = firstY; y < ymax && count < maxLines; ++count) {
        const float v = rounded(y);
        setGridPen(v);
        const std::int32_t ly = trunc32((v - c.y) * scale);
        const RenderSurface::DevicePoint from = s.device(visible.left, ly);
        const RenderSurface::DevicePoint to = s.device(visible.right, ly);
        painter.drawLine(QPointF(from.x, from.y), QPointF(to.x, to.y));
        const float next = v + step;
        if (!(next > y))
            break;
        y = next;
    }
    const float firstX = (std::floor(xmin / step) + 1.0f) * step;
    count = 0;
    for (float x = firstX; x < xmax && count < maxLines; ++count) {
        const float v = rounded(x);
        setGridPen(v);
        const std::int32_t lx = trunc32((v - c.x) * scale);
        const RenderSurface::DevicePoint from = s.device(lx, visible.top);
        const RenderSurface::DevicePoint to = s.device(lx, visible.bottom);
        painter.drawLine(QPointF(from.x, from.y), QPointF(to.x, to.y));
        const float next = v + step;
        if (!(next > x))
            break;
        x = next;
    }
    painter.restore();

    auto label = [&](float v) { return gridLabel(v, decimals); };
    count = 0;
    for (float y = firstY; y < ymax && count < maxLines; ++count) {
        s.drawText(label(y), {visible.left, trunc32((y - c.y) * scale)},
                   RenderSurface::AlignLeft | RenderSurface::AlignTop, 0);
        const float next = y + step;
        if (!(next > y))
            break;
        y = next;
    }
    count = 0;
    for (float x = firstX; x <= xmax && count < maxLines; ++count) {
        s.drawText(label(x), {trunc32((x - c.x) * scale), visible.top},
                   RenderSurface::AlignLeft | RenderSurface::AlignTop, 0);
        const float next = x + step;
        if (!(next > x))
            break;
        x = next;
    }
    return s.options().printing ? std::string() : readout;
}

} // namespace vantry
