#pragma once

#include "model/drawsizes.h"
#include "view/renderoptions.h"
#include "view/rendersurface.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

namespace vantry {

// Small pictures drawn once per render and copied into the target image: tens of thousands of
// node circles and numbers then cost a copy each instead of a path fill or a text layout. They
// are drawn with the same pens, brushes and font as direct drawing and placed on the same
// pixels, so at one pixel per logical unit the picture is the same to the pixel; at other
// scales an outline may fall one pixel differently.
class StampCache {
public:
    // `f` is the device pixels per logical unit.
    StampCache(QImage& target, const QRect& clip, const QFont& font, double f);

    static bool canDrawInto(QPainter& painter);

    // A node circle with its top-left corner at device (x, y).
    // The pen and brush are made only for the first node drawn.
    template <typename MakePen, typename MakeBrush>
    void node(double x, double y, bool selected, MakePen pen, MakeBrush brush) {
        Stamp& stamp = nodes_[selected ? 1 : 0];
        if (stamp.empty()) {
            const int size = static_cast<int>(std::ceil(2 * kNodeRadiusUnits * f_)) + 2 * kPad + 2;
            QImage image = blank(size, size);
            QPainter p(&image);
            p.setPen(pen());
            p.setBrush(brush());
            p.drawEllipse(QRectF(kPad, kPad, outlineSize(2 * kNodeRadiusUnits * f_),
                                 outlineSize(2 * kNodeRadiusUnits * f_)));
            p.end();
            stamp = Stamp(image);
        }
        copy(stamp, static_cast<int>(std::lround(x)) - kPad,
             static_cast<int>(std::lround(y)) - kPad);
    }

    // Whether the text is made only of digits, minus signs and points.
    static bool canStamp(std::string_view s);

    // Stamped text starting at device x with its baseline at y. Glyphs are placed as the
    // toolkit places unsmoothed text: positions cut to 64ths of a pixel, then the pixel below.
    void text(std::string_view s, double x, double y, ColorRef colour);

    // The advance of stamped text; these characters are not kerned.
    double width(std::string_view s);

private:
    static constexpr int kPad = 2;
    static constexpr const char* kCharacters = "0123456789-.";
    // A picture kept as its opaque runs of pixels, each copied in one go.
    struct Stamp {
        struct Run {
            int y, x, length;
            std::size_t first;
        };
        std::vector<Run> runs;
        std::vector<QRgb> pixels;

        Stamp() = default;
        explicit Stamp(const QImage& image);
        bool empty() const { return runs.empty() && pixels.empty(); }
    };
    struct Glyph {
        Stamp image;
        double advance = 0;
    };
    using Glyphs = std::vector<Glyph>;

    static int slot(char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        return c == '-' ? 10 : c == '.' ? 11 : -1;
    }

    static QImage blank(int w, int h);
    const Glyphs& glyphsFor(ColorRef colour);
    void copy(const Stamp& stamp, int x0, int y0);

    QImage& target_;
    QRect clip_;
    QFont font_;
    double f_;
    QRgb* bits_ = nullptr;
    std::ptrdiff_t stride_ = 0;
    double ascent_ = 0;
    int baseline_ = 0;
    int height_ = 0;
    Stamp nodes_[2];
    std::vector<double> advances_;
    std::map<ColorRef, Glyphs> glyphs_;
    ColorRef lastColour_ = 0;
    const Glyphs* lastGlyphs_ = nullptr;
};

} // namespace vantry
