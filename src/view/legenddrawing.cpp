#include "view/legenddrawing.h"

#include "view/labelfont.h"
#include "view/linkcolouring.h"
#include "view/rendersurface.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>

namespace vantry {

namespace {

// Sizes in logical units.
constexpr double kMargin = 10;
constexpr double kPad = 6;
constexpr double kSwatch = 12;
constexpr double kGap = 6;
constexpr double kRowSpace = 4;

} // namespace

ColorRef colourRefOf(std::uint32_t rgb) {
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

void drawLegend(RenderSurface& s, const LinkColouring& colouring) {
    const double f = s.scale();
    const QFont font = labelFont(f);
    const QFontMetricsF metrics(font);
    const QString title =
        QString::fromUtf8(colourFieldTitle(colouring.field()).data(),
                          static_cast<qsizetype>(colourFieldTitle(colouring.field()).size()));
    std::vector<QString> labels;
    for (const ColourClass& c : colouring.classes())
        labels.push_back(QString::fromStdString(c.label));
    if (labels.empty())
        labels.push_back(QStringLiteral("no links"));

    const double pad = std::round(kPad * f), swatch = std::round(kSwatch * f);
    const double gap = std::round(kGap * f);
    const double row = std::ceil(std::max(swatch, metrics.height()) + kRowSpace * f);
    double labelWidth = 0;
    for (const QString& label : labels)
        labelWidth = std::max(labelWidth, metrics.horizontalAdvance(label));
    const double width =
        std::ceil(2 * pad + std::max(metrics.horizontalAdvance(title), swatch + gap + labelWidth));
    const double height = std::ceil(2 * pad + row * static_cast<double>(labels.size() + 1));
    const double left = std::round(kMargin * f);
    const double top = std::round(s.transform().clientHeightPixels() - kMargin * f - height);

    QPainter& p = s.painter();
    p.save();
    p.setPen(QPen(toQColor(0), s.pixels(1)));
    p.setBrush(toQColor(0xFFFFFF));
    p.drawRect(QRectF(left, top, outlineSize(width), outlineSize(height)));
    p.setFont(font);
    const auto text = [&](const QString& t, double x, double rowTop) {
        p.setPen(toQColor(0));
        p.drawText(
            QPointF(x, std::round(rowTop + (row + metrics.ascent() - metrics.descent()) / 2)), t);
    };
    text(title, left + pad, top + pad);
    const auto& classes = colouring.classes();
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const double rowTop = top + pad + row * static_cast<double>(i + 1);
        double x = left + pad;
        if (i < classes.size()) {
            p.setPen(QPen(toQColor(0), s.pixels(1)));
            p.setBrush(toQColor(colourRefOf(classes[i].rgb)));
            p.drawRect(QRectF(x, std::round(rowTop + (row - swatch) / 2), outlineSize(swatch),
                              outlineSize(swatch)));
            x += swatch + gap;
        }
        text(labels[i], x, rowTop);
    }
    p.restore();
}

} // namespace vantry
