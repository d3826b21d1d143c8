#include "view/renderer.h"

#include "model/drawsizes.h"

#include "document/background.h"
#include "tiger/tigerstore.h"

#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QImage>
#include <QLineF>
#include <QPaintEngine>
#include <QPainter>
#include <QPolygonF>
#include <QtEndian>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <sstream>
#include <system_error>
#include <thread>
#include <vector>

// Resources of a static library are registered only when asked for by name, which cannot be
// done inside a namespace.
static void registerRenderResources() {
    Q_INIT_RESOURCE(fonts);
}

namespace {

constexpr int kNodeRadius = kNodeRadiusUnits;
constexpr ColorRef kNodeFill = 0xB5B5B5;
constexpr ColorRef kSelectedPen = 0xFF00FF;
constexpr ColorRef kNodeNumber = 0x00FFFF;
constexpr ColorRef kLinkNumberMask = 0xC0C0C0;
constexpr float kShortestLink = kShortestLinkUnits;
constexpr double kEndAngle = 0.39269875;
// 8.5 points in hundredths of an inch.
constexpr double kLabelFontHeight = 8.5 * 100.0 / 72.0;

enum TextAlign { AlignLeft = 0, AlignCenter = 1, AlignRight = 2, AlignTop = 0, AlignBottom = 4 };

QColor toQColor(ColorRef c) {
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                  static_cast<int>((c >> 16) & 0xFF));
}

ColorRef linkFill(LinkType type) {
    switch (type) {
    case Mainline:
    case Ramp:
        return 0xCBD157;
    case Workzone:
        return 0x0000FF;
    case Detour1:
    case Detour2:
        return 0xDF2B2B;
    default:
        return 0x000000;
    }
}

struct GridPen {
    int width;
    ColorRef colour;
};

constexpr GridPen kGridPens[5] = {
    {2, 0x397090}, {1, 0x404040}, {1, 0xC0C0C0}, {2, 0x404040}, {2, 0xC0C0C0}};

WorldPoint rotate(WorldPoint v, double a) {
    const double c = std::cos(a), s = std::sin(a);
    return {static_cast<float>(v.x * c - v.y * s), static_cast<float>(v.x * s + v.y * c)};
}

std::int32_t trunc32(double v) {
    if (!(v > -2147483648.0))
        return INT32_MIN;
    if (!(v < 2147483647.0))
        return INT32_MAX;
    return static_cast<std::int32_t>(v);
}

// Writes a float the way a default-formatted stream does: six significant digits, no trailing
// zeros.
std::string streamFormatted(float v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

} // namespace

double outlineSize(double pixels) {
    return std::max(0.0, pixels - 1.0);
}

namespace {

quint32 tableChecksum(const char* data, qsizetype length) {
    quint32 sum = 0;
    for (qsizetype i = 0; i < length; i += 4) {
        char word[4] = {};
        std::memcpy(word, data + i, static_cast<std::size_t>(std::min<qsizetype>(4, length - i)));
        sum += qFromBigEndian<quint32>(word);
    }
    return sum;
}

// The names that make up a family: family, unique, full, PostScript, typographic family and
// WWS family.
bool namesFamily(quint16 nameId) {
    return nameId == 1 || nameId == 3 || nameId == 4 || nameId == 6 || nameId == 16 || nameId == 21;
}

} // namespace

QByteArray renameFontFamily(const QByteArray& font, const QString& family) {
    const auto u16 = [&font](qsizetype at) { return qFromBigEndian<quint16>(font.data() + at); };
    const auto u32 = [&font](qsizetype at) { return qFromBigEndian<quint32>(font.data() + at); };
    if (font.size() < 12)
        return font;
    const int tables = u16(4);
    const qsizetype directory = 12 + 16 * qsizetype{tables};
    if (font.size() < directory)
        return font;
    const auto tableAt = [&](const char* tag) -> qsizetype {
        for (int i = 0; i < tables; ++i)
            if (std::memcmp(font.data() + 12 + 16 * i, tag, 4) == 0)
                return 12 + 16 * i;
        return -1;
    };
    const qsizetype nameRecord = tableAt("name");
    if (nameRecord < 0)
        return font;
    const qsizetype nameAt = u32(nameRecord + 8), nameLength = u32(nameRecord + 12);
    if (nameLength < 6 || nameAt > font.size() - nameLength || u16(nameAt) != 0)
        return font;
    const int count = u16(nameAt + 2);
    const qsizetype strings = nameAt + u16(nameAt + 4);
    if (6 + 12 * qsizetype{count} > nameLength)
        return font;

    // A new name table: every record kept, those of the family given the new name.
    QByteArray records, text;
    for (int i = 0; i < count; ++i) {
        const qsizetype at = nameAt + 6 + 12 * i;
        const quint16 platform = u16(at), nameId = u16(at + 6);
        QByteArray value;
        if (namesFamily(nameId)) {
            const QString name = nameId == 6 ? QString(family).remove(QLatin1Char(' ')) : family;
            if (platform == 1) {
                value = name.toLatin1();
            } else {
                for (QChar c : name) {
                    value.append(static_cast<char>(c.unicode() >> 8));
                    value.append(static_cast<char>(c.unicode() & 0xFF));
                }
            }
        } else {
            const qsizetype from = strings + u16(at + 10), length = u16(at + 8);
            if (from + length > nameAt + nameLength)
                return font;
            value = font.mid(from, length);
        }
        char record[12];
        std::memcpy(record, font.data() + at, 8);
        qToBigEndian<quint16>(static_cast<quint16>(value.size()), record + 8);
        qToBigEndian<quint16>(static_cast<quint16>(text.size()), record + 10);
        records.append(record, 12);
        text.append(value);
    }
    if (text.size() > 0xFFFF || 6 + records.size() > 0xFFFF)
        return font;
    char header[6];
    qToBigEndian<quint16>(0, header);
    qToBigEndian<quint16>(static_cast<quint16>(count), header + 2);
    qToBigEndian<quint16>(static_cast<quint16>(6 + records.size()), header + 4);
    const QByteArray name = QByteArray(header, 6) + records + text;

    // The tables again in their order, each on a four-byte boundary, the directory following.
    QByteArray out = font.left(directory);
    qsizetype head = -1;
    for (int i = 0; i < tables; ++i) {
        const qsizetype record = 12 + 16 * i;
        QByteArray data;
        if (record == nameRecord) {
            data = name;
        } else {
            const qsizetype at = u32(record + 8), length = u32(record + 12);
            if (at > font.size() || length > font.size() - at)
                return font;
            data = font.mid(at, length);
        }
        const bool isHead = std::memcmp(font.data() + record, "head", 4) == 0;
        if (isHead) {
            if (data.size() < 12)
                return font;
            // The whole font's checksum is worked out below, with this left out.
            qToBigEndian<quint32>(0, data.data() + 8);
            head = out.size();
        }
        qToBigEndian<quint32>(tableChecksum(data.constData(), data.size()),
                              out.data() + record + 4);
        qToBigEndian<quint32>(static_cast<quint32>(out.size()), out.data() + record + 8);
        qToBigEndian<quint32>(static_cast<quint32>(data.size()), out.data() + record + 12);
        out.append(data);
        out.append((4 - data.size() % 4) % 4, '\0');
    }
    if (head >= 0)
        qToBigEndian<quint32>(0xB1B0AFBAu - tableChecksum(out.constData(), out.size()),
                              out.data() + head + 8);
    return out;
}

QString labelFontFamily() {
    // Bands of a frame are drawn on several threads; the first to get here registers the font.
    // It is registered under a name of its own: under its own name the font database could
    // take a Liberation Sans the machine has, of another version, in its place.
    static const QString family = [] {
        registerRenderResources();
        QFile file(QStringLiteral(":/fonts/LiberationSans-Regular.ttf"));
        const QByteArray font = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const int id = QFontDatabase::addApplicationFontFromData(
            renameFontFamily(font, QStringLiteral("Vantry Label Sans")));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        return families.isEmpty() ? QStringLiteral("Liberation Sans") : families.first();
    }();
    return family;
}

QFont labelFont(double pixelsPerLogical) {
    QFont font(labelFontFamily());
    font.setPixelSize(
        std::max(1, static_cast<int>(std::lround(kLabelFontHeight * pixelsPerLogical))));
    // Numbers are drawn in exact colours so that they read the same on every background.
    font.setStyleStrategy(QFont::NoAntialias);
    // Hinting would follow the machine's font configuration; stamped numbers are laid out one
    // glyph at a time, which kerning would contradict.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(false);
    return font;
}

// Small pictures drawn once per render and copied into the target image: tens of thousands of
// node circles and numbers then cost a copy each instead of a path fill or a text layout. They
// are drawn with the same pens, brushes and font as direct drawing and placed on the same
// pixels, so at one pixel per logical unit the picture is the same to the pixel; at other
// scales an outline may fall one pixel differently.
class StampCache {
public:
    StampCache(QImage& target, const QRect& clip, const QFont& font, double f)
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

    static bool canDrawInto(QPainter& painter) {
        QPaintDevice* device = painter.device();
        if (!device || device->devType() != QInternal::Image)
            return false;
        const auto* image = static_cast<QImage*>(device);
        return (image->format() == QImage::Format_RGB32 ||
                image->format() == QImage::Format_ARGB32) &&
               painter.transform().isIdentity();
    }

    // A node circle with its top-left corner at device (x, y).
    // The pen and brush are made only for the first node drawn.
    template <typename MakePen, typename MakeBrush>
    void node(double x, double y, bool selected, MakePen pen, MakeBrush brush) {
        Stamp& stamp = nodes_[selected ? 1 : 0];
        if (stamp.empty()) {
            const int size = static_cast<int>(std::ceil(2 * kNodeRadius * f_)) + 2 * kPad + 2;
            QImage image = blank(size, size);
            QPainter p(&image);
            p.setPen(pen());
            p.setBrush(brush());
            p.drawEllipse(QRectF(kPad, kPad, outlineSize(2 * kNodeRadius * f_),
                                 outlineSize(2 * kNodeRadius * f_)));
            p.end();
            stamp = Stamp(image);
        }
        copy(stamp, static_cast<int>(std::lround(x)) - kPad,
             static_cast<int>(std::lround(y)) - kPad);
    }

    // Whether the text is made only of digits, minus signs and points.
    static bool canStamp(std::string_view s) {
        for (char c : s)
            if (slot(c) < 0)
                return false;
        return true;
    }

    // Stamped text starting at device x with its baseline at y. Glyphs are placed as the
    // toolkit places unsmoothed text: positions cut to 64ths of a pixel, then the pixel below.
    void text(std::string_view s, double x, double y, ColorRef colour) {
        const Glyphs& glyphs = glyphsFor(colour);
        std::int64_t pen = static_cast<std::int64_t>(x * 64.0);
        const int row = static_cast<int>(floorDiv(static_cast<std::int64_t>(y * 64.0) + 32, 64));
        for (char c : s) {
            const Glyph& g = glyphs[static_cast<std::size_t>(slot(c))];
            copy(g.image, static_cast<int>(floorDiv(pen, 64)) - kPad, row - baseline_);
            pen += std::llround(g.advance * 64.0);
        }
    }

    // The advance of stamped text; these characters are not kerned.
    double width(std::string_view s) {
        double w = 0;
        for (char c : s)
            w += advances_[static_cast<std::size_t>(slot(c))];
        return w;
    }

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
        explicit Stamp(const QImage& image) {
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
        bool empty() const { return runs.empty() && pixels.empty(); }
    };
    struct Glyph {
        Stamp image;
        double advance = 0;
    };
    using Glyphs = std::vector<Glyph>;

    static std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
        return a >= 0 ? a / b : -((-a + b - 1) / b);
    }

    static int slot(char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        return c == '-' ? 10 : c == '.' ? 11 : -1;
    }

    static QImage blank(int w, int h) {
        QImage image(w, h, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        return image;
    }

    const Glyphs& glyphsFor(ColorRef colour) {
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

    void copy(const Stamp& stamp, int x0, int y0) {
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

std::pair<WorldPoint, WorldPoint> LinkEndpoints(WorldPoint a, WorldPoint b, float scale) {
    const WorldPoint d{b.x - a.x, b.y - a.y};
    const float length = std::sqrt(d.x * d.x + d.y * d.y);
    if (length == 0.0f || scale <= 0.0f)
        return {a, b};
    const float k = (static_cast<float>(kNodeRadius) / scale) / length;
    const WorldPoint ra = rotate(d, -kEndAngle);
    const WorldPoint rb = rotate(WorldPoint{a.x - b.x, a.y - b.y}, kEndAngle);
    return {WorldPoint{a.x + ra.x * k, a.y + ra.y * k}, WorldPoint{b.x + rb.x * k, b.y + rb.y * k}};
}

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

NetworkRenderer::NetworkRenderer(QPainter& painter, const ViewTransform& transform,
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

NetworkRenderer::~NetworkRenderer() = default;

bool NetworkRenderer::nearVisible(LogicalPoint p, int margin) const {
    return p.x >= cull_.left - margin && p.x <= cull_.right + margin && p.y <= cull_.top + margin &&
           p.y >= cull_.bottom - margin;
}

// The logical rectangle that holds every pixel of a device area of the frame, a unit wider on
// each side for the rounding between the two.
LogicalRect NetworkRenderer::logicalArea(const QRect& area) const {
    const auto at = [&](double pixels, std::int32_t start, double sign) {
        return trunc32(static_cast<double>(start) + sign * pixels / f_);
    };
    return {at(area.left(), visible_.left, 1.0) - 1, at(area.top(), visible_.top, -1.0) + 1,
            at(area.right() + 1, visible_.left, 1.0) + 1,
            at(area.bottom() + 1, visible_.top, -1.0) - 1};
}

// Lines are whole device pixels wide, at least one: thinner lines would be drawn as blends of
// their colour and what lies beneath, and the colours must stay exact.
double NetworkRenderer::pixels(int logicalWidth) const {
    return std::max(1.0, std::round(logicalWidth * f_));
}

// Everything is drawn on whole device pixels, so that a shape looks the same wherever it lies.
NetworkRenderer::DevicePoint NetworkRenderer::device(LogicalPoint p) const {
    return {std::floor((static_cast<double>(p.x) - visible_.left) * f_ + 0.5),
            std::floor((static_cast<double>(visible_.top) - p.y) * f_ + 0.5)};
}

std::string NetworkRenderer::draw(const Network& network, const Selection* selection) {
    painter_.save();
    painter_.setRenderHint(QPainter::Antialiasing, false);
    if (!options_.area.isNull())
        painter_.setClipRect(options_.area);
    if (!options_.printing) {
        painter_.fillRect(
            QRectF(0, 0, transform_.clientWidthPixels(), transform_.clientHeightPixels()),
            toQColor(options_.backColor));
    }
    std::string readout;
    if (options_.bitmap && options_.bitmap->loaded())
        drawBitmap(*options_.bitmap);
    if (options_.showGrid)
        readout = drawGrid();
    if (options_.tiger)
        drawTiger(*options_.tiger);
    for (const Node* n : network.nodes())
        drawNode(*n, false);
    for (const Link* l : network.links())
        drawLink(*l, false);
    if (!options_.printing && selection) {
        for (const Node* n : selection->selectedNodes())
            drawNode(*n, true);
        for (const Link* l : selection->selectedLinks())
            drawLink(*l, true);
    }
    painter_.restore();
    return readout;
}

void NetworkRenderer::setLabelFont() {
    painter_.setFont(*labelFont_);
}

void NetworkRenderer::drawText(std::string_view text, LogicalPoint anchor, int align,
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
    setLabelFont();
    painter_.setPen(toQColor(colour));
    painter_.drawText(QPointF(x, baseline), s);
}

namespace {

// A whole number in decimal digits, without taking memory.
struct NumberText {
    explicit NumberText(std::int32_t v) {
        const auto [end, error] = std::to_chars(digits, digits + sizeof digits, v);
        length = error == std::errc() ? static_cast<std::size_t>(end - digits) : 0;
    }
    std::string_view view() const { return {digits, length}; }
    char digits[16];
    std::size_t length;
};

} // namespace

// Nodes and links that cannot reach into the window, numbers included, are not drawn at all.
constexpr int kCullMargin = 80;

namespace {

// A logical point with room for links whose ends lie far outside the 32-bit range.
struct Logical64 {
    std::int64_t x = 0;
    std::int64_t y = 0;
};

// Links with an end farther than this outside the window are cut near it.
constexpr std::int64_t kFarUnits = 1 << 20;

// The logical position as WorldToLogical computes it, without its clamping to 32 bits.
Logical64 logical64(const ViewTransform& t, WorldPoint p) {
    const LogicalPoint l = t.WorldToLogical(p);
    const auto wide = [](float v, std::int32_t clamped) -> std::int64_t {
        if (clamped != INT32_MAX && clamped != INT32_MIN)
            return clamped;
        if (!std::isfinite(v))
            return clamped;
        return static_cast<std::int64_t>(std::clamp(static_cast<double>(v), -4.0e18, 4.0e18));
    };
    const float s = t.scale;
    return {wide((p.x - t.viewCenter.x) * s, l.x), wide((p.y - t.viewCenter.y) * s, l.y)};
}

bool within(const LogicalRect& r, Logical64 p, std::int64_t margin) {
    return p.x >= r.left - margin && p.x <= r.right + margin && p.y <= r.top + margin &&
           p.y >= r.bottom - margin;
}

// Cuts the segment a-b to the window grown by kCullMargin on each side (Liang-Barsky); false
// when no part of it comes that near.
bool clipSegment(const LogicalRect& r, Logical64& a, Logical64& b) {
    const double x0 = static_cast<double>(a.x), y0 = static_cast<double>(a.y);
    const double dx = static_cast<double>(b.x) - x0, dy = static_cast<double>(b.y) - y0;
    const double left = r.left - kCullMargin, right = r.right + kCullMargin;
    const double bottom = r.bottom - kCullMargin, top = r.top + kCullMargin;
    double t0 = 0.0, t1 = 1.0;
    const auto edge = [&](double p, double q) {
        if (p == 0.0)
            return q >= 0.0;
        const double t = q / p;
        if (p < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        return t0 <= t1;
    };
    if (!edge(-dx, x0 - left) || !edge(dx, right - x0) || !edge(-dy, y0 - bottom) ||
        !edge(dy, top - y0))
        return false;
    const Logical64 start{std::llround(x0 + t0 * dx), std::llround(y0 + t0 * dy)};
    const Logical64 end{std::llround(x0 + t1 * dx), std::llround(y0 + t1 * dy)};
    a = start;
    b = end;
    return true;
}

QPointF devicePoint(Logical64 p, const LogicalRect& visible, double f) {
    return {std::floor((static_cast<double>(p.x) - visible.left) * f + 0.5),
            std::floor((static_cast<double>(visible.top) - p.y) * f + 0.5)};
}

} // namespace

void NetworkRenderer::drawNode(const Node& node, bool selected) {
    const LogicalPoint p = transform_.WorldToLogical(node.position());
    if (!nearVisible(p, kCullMargin))
        return;
    const auto pen = [&] {
        return QPen(toQColor(selected ? kSelectedPen : 0), pixels(selected ? 2 : 1));
    };
    const auto brush = [] { return QBrush(toQColor(kNodeFill)); };
    const DevicePoint topLeft = device(p.x - kNodeRadius, p.y + kNodeRadius);
    if (stamps_) {
        stamps_->node(topLeft.x, topLeft.y, selected, pen, brush);
    } else {
        painter_.setPen(pen());
        painter_.setBrush(brush());
        const double size = outlineSize(2 * kNodeRadius * f_);
        painter_.drawEllipse(QRectF(topLeft.x, topLeft.y, size, size));
    }

    if (options_.showNumbers) {
        drawText(NumberText(node.id()).view(), {p.x, p.y + labelHeight_ / 2},
                 AlignCenter | AlignTop, kNodeNumber);
    }
}

void NetworkRenderer::drawLink(const Link& link, bool selected) {
    if (!link.fromNode() || !link.toNode())
        return;
    const WorldPoint a = link.fromNode()->position();
    const WorldPoint b = link.toNode()->position();
    const float worldLength = std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y));
    if (worldLength * transform_.scale < kShortestLink)
        return;

    // Most links of a large network are far from what is drawn: their nodes' positions tell,
    // before the drawn ends (within a node's radius of them) are worked out.
    const LogicalPoint la = transform_.WorldToLogical(a);
    const LogicalPoint lb = transform_.WorldToLogical(b);
    constexpr std::int64_t kNodeMargin = kCullMargin + kNodeRadius + 2;
    if (std::int64_t{std::max(la.x, lb.x)} < cull_.left - kNodeMargin ||
        std::int64_t{std::min(la.x, lb.x)} > cull_.right + kNodeMargin ||
        std::int64_t{std::min(la.y, lb.y)} > cull_.top + kNodeMargin ||
        std::int64_t{std::max(la.y, lb.y)} < cull_.bottom - kNodeMargin)
        return;

    const int w = link.type() == None ? kLinkHalfWidthUnits / 2 : kLinkHalfWidthUnits;
    const auto [ea, eb] = LinkEndpoints(a, b, transform_.scale);
    Logical64 p1 = logical64(transform_, ea);
    Logical64 p2 = logical64(transform_, eb);
    if (std::max(p1.x, p2.x) < cull_.left - kCullMargin ||
        std::min(p1.x, p2.x) > cull_.right + kCullMargin ||
        std::min(p1.y, p2.y) > cull_.top + kCullMargin ||
        std::max(p1.y, p2.y) < cull_.bottom - kCullMargin)
        return;
    // A link reaching far beyond the window is cut to the part near it, so that every corner
    // stays well inside what the painter can draw; the cut ends lie outside the window.
    if ((!within(visible_, p1, kFarUnits) || !within(visible_, p2, kFarUnits)) &&
        !clipSegment(visible_, p1, p2))
        return;
    const std::int64_t dx = p2.x - p1.x;
    const std::int64_t dy = p2.y - p1.y;
    const float len = std::sqrt(static_cast<float>(dx) * static_cast<float>(dx) +
                                static_cast<float>(dy) * static_cast<float>(dy));

    int n;
    int ux, uy;
    if (len > 9.0f) {
        ux = static_cast<int>(dx * 9 / len);
        uy = static_cast<int>(dy * 9 / len);
        n = 9;
    } else {
        n = static_cast<int>(len);
        ux = static_cast<int>(dx);
        uy = static_cast<int>(dy);
    }
    // Both drawn ends fell on one point: there is no direction to draw.
    if (n == 0)
        return;
    const int px = uy * w / n;
    const int py = -(ux * w / n);
    int ex, ey;
    if (len > 18.0f) {
        ex = 2 * ux;
        ey = 2 * uy;
    } else {
        ex = static_cast<int>(ux * len / n);
        ey = static_cast<int>(uy * len / n);
    }
    const int m = static_cast<int>(std::sqrt(static_cast<double>(px * px + py * py))) + 4;
    const double theta = std::atan2(static_cast<double>(py), static_cast<double>(px));
    const int qx = static_cast<int>(m * std::cos(theta));
    const int qy = static_cast<int>(m * std::sin(theta));

    const Logical64 corners[5] = {p1,
                                  p2,
                                  {p2.x - ex + qx, p2.y - ey + qy},
                                  {p2.x - ex + px, p2.y - ey + py},
                                  {p1.x + px, p1.y + py}};
    QPolygonF polygon;
    for (const Logical64& c : corners)
        polygon << devicePoint(c, visible_, f_);
    painter_.setPen(QPen(toQColor(selected ? kSelectedPen : 0), pixels(selected ? 2 : 1)));
    painter_.setBrush(toQColor(linkFill(link.type())));
    painter_.drawPolygon(polygon);

    if (options_.showNumbers) {
        const auto hx = static_cast<std::int32_t>((p2.x - p1.x) / 2);
        const auto hy = static_cast<std::int32_t>((p2.y - p1.y) / 2);
        int align = hy == 0 ? AlignCenter : (hy > 0 ? AlignLeft : AlignRight);
        align |= hx < 0 ? AlignBottom : AlignTop;
        drawText(
            NumberText(link.id()).view(),
            {static_cast<std::int32_t>(p1.x + hx + px), static_cast<std::int32_t>(p1.y + hy + py)},
            align, options_.backColor ^ kLinkNumberMask);
    }
}

namespace {

// The pen of a TIGER/Line chain by its feature class.
GridPen tigerPen(const std::string& cfcc) {
    const char c1 = cfcc.size() > 0 ? cfcc[0] : ' ';
    const char c2 = cfcc.size() > 1 ? cfcc[1] : ' ';
    if (c1 == 'A') {
        if (c2 == '1')
            return {2, 0xA00000};
        if (c2 == '2')
            return {1, 0xA000FF};
        return {1, 0x808080};
    }
    if (c1 == 'H')
        return {(c2 == '0' || c2 == '3' || c2 == '4' || c2 == '5') ? 2 : 1, 0xFF0000};
    return {0, 0x000000};
}

// From this many logical units per mile a view shows single streets, and one-way chains show
// which way they run.
constexpr float kStreetZoomScale = 1000.0f;

// A chevron at the middle of a one-way chain's line, pointing the way traffic runs, drawn with
// the current pen; size is its length in device pixels. Lines too short to hold it get none.
void drawChainDirection(QPainter& painter, ChainTraffic traffic, const std::vector<QPointF>& points,
                        double size) {
    if (traffic != ChainTraffic::Forward && traffic != ChainTraffic::Backward)
        return;
    double length = 0;
    for (std::size_t i = 1; i < points.size(); ++i)
        length += QLineF(points[i - 1], points[i]).length();
    if (length < 3 * size)
        return;
    double left = length / 2;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const QLineF segment(points[i - 1], points[i]);
        if (segment.length() < left || segment.length() == 0) {
            left -= segment.length();
            continue;
        }
        const QPointF tip = segment.pointAt(left / segment.length());
        QPointF along = (segment.p2() - segment.p1()) / segment.length() * size;
        if (traffic == ChainTraffic::Backward)
            along = -along;
        const QPointF across(-along.y() / 2, along.x() / 2);
        const QPointF wings[] = {tip - along + across, tip, tip - along - across};
        painter.drawPolyline(wings, 3);
        return;
    }
}

} // namespace

void NetworkRenderer::drawBitmap(const BackgroundImage& image) {
    const double k = options_.pixelsPerMile;
    if (k <= 0)
        return;
    const WorldRect& r = options_.bitmapRect;
    // The picture's pixel rows count from its bottom edge, which lies one pixel below the
    // rectangle's bottom.
    const double ox = r.left;
    const double oy = r.bottom - 1.0 / k;
    const WorldPoint a = transform_.LogicalToWorld({visible_.left, visible_.top});
    const WorldPoint b = transform_.LogicalToWorld({visible_.right, visible_.bottom});
    auto pixel = [&](double v, double o) {
        const double p = (v - o) * k;
        return static_cast<long long>(std::clamp(p, -4.0e9, 4.0e9));
    };
    long long x0 = std::min(pixel(a.x, ox), pixel(b.x, ox)) - 1;
    long long x1 = std::max(pixel(a.x, ox), pixel(b.x, ox)) + 1;
    long long y0 = std::min(pixel(a.y, oy), pixel(b.y, oy)) - 1;
    long long y1 = std::max(pixel(a.y, oy), pixel(b.y, oy)) + 1;
    // Only the part of the picture that exists is painted; the destination shrinks with it.
    x0 = std::max(x0, 0LL);
    y0 = std::max(y0, 0LL);
    x1 = std::min<long long>(x1, image.width);
    y1 = std::min<long long>(y1, image.height);
    if (x0 >= x1 || y0 >= y1)
        return;
    auto toDevice = [&](long long px, long long py) {
        const WorldPoint w{static_cast<float>(px / k + ox), static_cast<float>(py / k + oy)};
        return device(transform_.WorldToLogical(w));
    };
    const DevicePoint d0 = toDevice(x0, y0);
    const DevicePoint d1 = toDevice(x1, y1);
    const QRectF target = QRectF(QPointF(d0.x, d0.y), QPointF(d1.x, d1.y)).normalized();
    // Rows are stored top first, while the source counts them from the bottom.
    const QRectF source(static_cast<double>(x0), static_cast<double>(image.height - y1),
                        static_cast<double>(x1 - x0), static_cast<double>(y1 - y0));
    const QImage picture(reinterpret_cast<const uchar*>(image.pixels.data()), image.width,
                         image.height, image.width * 4, QImage::Format_RGB32);
    painter_.save();
    painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter_.drawImage(target, picture, source);
    painter_.restore();
}

void NetworkRenderer::drawTiger(const TigerData& tiger) {
    painter_.save();
    painter_.setBrush(Qt::NoBrush);
    WorldRect visible = transform_.visibleWorld();
    if (!options_.area.isNull()) {
        const WorldPoint a = transform_.LogicalToWorld({cull_.left, cull_.top});
        const WorldPoint b = transform_.LogicalToWorld({cull_.right, cull_.bottom});
        visible = WorldRect{a.y, b.y, a.x, b.x};
    }
    const float margin = 4.0f / transform_.scale;
    const float minX = std::min(visible.left, visible.right) - margin;
    const float maxX = std::max(visible.left, visible.right) + margin;
    const float minY = std::min(visible.top, visible.bottom) - margin;
    const float maxY = std::max(visible.top, visible.bottom) + margin;
    const std::vector<WorldPoint>& world = tiger.worldPoints();
    std::vector<QPointF> points;
    GridPen current{-1, 0};
    for (const TigerData::WorldChain& wc : tiger.worldChains()) {
        // Chains wholly outside the window are not drawn.
        if (wc.box.right < minX || wc.box.left > maxX || wc.box.top < minY || wc.box.bottom > maxY)
            continue;
        points.clear();
        const std::size_t end = wc.first + wc.count;
        for (std::size_t i = wc.first; i < end; ++i) {
            const DevicePoint d = device(transform_.WorldToLogical(world[i]));
            // A point on the same pixel as the one before adds nothing to the line.
            if (!points.empty() && points.back().x() == d.x && points.back().y() == d.y &&
                i + 1 < end)
                continue;
            points.emplace_back(d.x, d.y);
        }
        const GridPen pen = tigerPen(wc.chain->cfcc);
        if (pen.width != current.width || pen.colour != current.colour) {
            // Cosmetic pens take the toolkit's fast path for long polylines; on whole pixels
            // they cover the same pixels.
            QPen qpen(toQColor(pen.colour), pixels(pen.width));
            qpen.setCosmetic(true);
            painter_.setPen(qpen);
            current = pen;
        }
        painter_.drawPolyline(points.data(), static_cast<int>(points.size()));
        if (transform_.scale >= kStreetZoomScale)
            drawChainDirection(painter_, chainTraffic(*wc.chain), points, pixels(6));
    }
    painter_.restore();
}

std::string NetworkRenderer::drawGrid() {
    const float scale = transform_.scale;
    const WorldPoint c = transform_.viewCenter;
    // A spacing of zero or less would ask for lines a thousandth of a mile apart at any zoom.
    const int gridPixels = std::max(1, options_.gridPixels);
    float step = 0.001f;
    while (step * scale < static_cast<float>(gridPixels) && std::isfinite(step * 10.0f))
        step *= 10.0f;
    const int decimals = std::max(0, static_cast<int>(std::floor(0.5 - std::log10(step))));
    const float unit = static_cast<float>(std::pow(10.0, -decimals));
    const std::string readout = "Grid: " + streamFormatted(step) + " miles";

    const float xmin = static_cast<float>(std::min(visible_.left, visible_.right)) / scale + c.x;
    const float xmax = static_cast<float>(std::max(visible_.left, visible_.right)) / scale + c.x;
    const float ymin = static_cast<float>(std::min(visible_.top, visible_.bottom)) / scale + c.y;
    const float ymax = static_cast<float>(std::max(visible_.top, visible_.bottom)) / scale + c.y;

    // Far from the origin a step can be too small to change a float; never loop for ever.
    const double spanLines = std::max(xmax - xmin, ymax - ymin) / static_cast<double>(step) + 4.0;
    const long maxLines = static_cast<long>(std::min(spanLines, 100000.0));

    painter_.save();
    // Printers and PDF files cannot invert what is beneath; there the lines get the colour the
    // inversion would give on white paper.
    const bool canXor =
        painter_.paintEngine() && painter_.paintEngine()->hasFeature(QPaintEngine::RasterOpModes);
    const ColorRef xorMask = canXor ? options_.backColor : 0;
    if (canXor)
        painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter_.setBrush(Qt::NoBrush);
    auto setGridPen = [&](float v) {
        const GridPen& pen = kGridPens[gridLineClass(v)];
        painter_.setPen(
            QPen(toQColor(pen.colour ^ xorMask), pixels(pen.width), Qt::SolidLine, Qt::FlatCap));
    };
    auto rounded = [&](float v) { return static_cast<float>(std::floor(v / unit + 0.5) * unit); };

    const float firstY = (std::floor(ymin / step) + 1.0f) * step;
    long count = 0;
    for (float y = firstY; y < ymax && count < maxLines; ++count) {
        const float v = rounded(y);
        setGridPen(v);
        const std::int32_t ly = trunc32((v - c.y) * scale);
        const DevicePoint from = device(visible_.left, ly);
        const DevicePoint to = device(visible_.right, ly);
        painter_.drawLine(QPointF(from.x, from.y), QPointF(to.x, to.y));
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
        const DevicePoint from = device(lx, visible_.top);
        const DevicePoint to = device(lx, visible_.bottom);
        painter_.drawLine(QPointF(from.x, from.y), QPointF(to.x, to.y));
        const float next = v + step;
        if (!(next > x))
            break;
        x = next;
    }
    painter_.restore();

    auto label = [&](float v) { return gridLabel(v, decimals); };
    count = 0;
    for (float y = firstY; y < ymax && count < maxLines; ++count) {
        drawText(label(y), {visible_.left, trunc32((y - c.y) * scale)}, AlignLeft | AlignTop, 0);
        const float next = y + step;
        if (!(next > y))
            break;
        y = next;
    }
    count = 0;
    for (float x = firstX; x <= xmax && count < maxLines; ++count) {
        drawText(label(x), {trunc32((x - c.x) * scale), visible_.top}, AlignLeft | AlignTop, 0);
        const float next = x + step;
        if (!(next > x))
            break;
        x = next;
    }
    return options_.printing ? std::string() : readout;
}

std::string renderArea(QImage& target, const Network& network, const ViewTransform& transform,
                       const RenderOptions& options, const Selection* selection) {
    QPainter painter(&target);
    NetworkRenderer renderer(painter, transform, options);
    return renderer.draw(network, selection);
}

namespace {

// Below this many pixels a second thread costs more than it saves.
constexpr std::int64_t kBandPixels = 250000;

int bandCount(int width, int height) {
    const std::int64_t pixels = static_cast<std::int64_t>(width) * height;
    if (pixels < kBandPixels || height < 64)
        return 1;
    const int processors = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(processors, 1, 8);
}

} // namespace

QImage renderToImage(const Network& network, const ViewTransform& transform,
                     const RenderOptions& options, const Selection* selection,
                     std::string* readout) {
    const int width = std::max(1, transform.clientWidthPixels());
    const int height = std::max(1, transform.clientHeightPixels());
    QImage image(width, height, QImage::Format_RGB32);
    const int bands = bandCount(width, height);
    if (bands == 1) {
        std::string text = renderArea(image, network, transform, options, selection);
        if (readout)
            *readout = std::move(text);
        return image;
    }
    // Every band draws into its own rows of the one image; each has its own painter, fonts and
    // stamps, and only reads the network.
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    std::vector<std::string> texts(static_cast<std::size_t>(bands));
    auto drawBand = [&](int band) {
        const int top = height * band / bands;
        const int bottom = height * (band + 1) / bands;
        // The whole frame, so that every shape meets the same edges as in one piece, but
        // clipped to the band's rows.
        QImage frame(bits, width, height, stride, QImage::Format_RGB32);
        RenderOptions bandOptions = options;
        bandOptions.area = QRect(0, top, width, bottom - top);
        texts[static_cast<std::size_t>(band)] =
            renderArea(frame, network, transform, bandOptions, selection);
    };
    // A failure in any band (memory, mostly) reaches the caller once every band has stopped:
    // the image's rows must not be freed under a band still drawing.
    std::vector<std::exception_ptr> failures(static_cast<std::size_t>(bands));
    auto guarded = [&](int band) {
        try {
            drawBand(band);
        } catch (...) {
            failures[static_cast<std::size_t>(band)] = std::current_exception();
        }
    };
    std::vector<std::thread> workers;
    for (int band = 1; band < bands; ++band) {
        try {
            workers.emplace_back(guarded, band);
        } catch (const std::system_error&) {
            // No thread to be had: this thread draws the band itself.
            guarded(band);
        }
    }
    guarded(0);
    for (std::thread& worker : workers)
        worker.join();
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
    if (readout)
        *readout = std::move(texts[0]);
    return image;
}
