#pragma once

#include "model/network.h"
#include "view/selection.h"
#include "view/viewtransform.h"

#include <QRect>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

class QByteArray;
class QFont;
class QString;
class TigerData;
struct BackgroundImage;
class QImage;
class QPainter;
class StampCache;

// The drawn ends of a link from node position a to node position b: both lie on the node
// circles, 22.5 degrees to the right of the centre line, so that the two links of a two-way
// pair fall on opposite sides.
std::pair<WorldPoint, WorldPoint> LinkEndpoints(WorldPoint a, WorldPoint b, float scale);

// Grid line class of a coordinate: 0 on the axis, 1 off whole miles, 2 on whole miles, 3 on
// multiples of 10 miles, 4 on multiples of 100 miles.
int gridLineClass(float v);

// A grid label: the coordinate with the given number of decimals, never as a negative zero.
std::string gridLabel(float v, int decimals);

// The size to give the painter for an outlined ellipse or rectangle that covers `pixels` device
// pixels: the painter's outline also covers the right and bottom edge of the size it is given.
double outlineSize(double pixels);

// The family of the font numbers are drawn in: Liberation Sans as compiled into the program,
// registered with the font database on first use under the name "Vantry Label Sans", so that a
// machine's own fonts never change what is drawn.
QString labelFontFamily();

// A TrueType font's data with `family` as its family, full and PostScript name (without
// spaces), everything else as it was. Data that cannot be read as such a font comes back as it
// is.
QByteArray renameFontFamily(const QByteArray& font, const QString& family);

// The font numbers are drawn in at the given device pixels per logical unit: the compiled-in
// family, unsmoothed, unhinted and unkerned, so that every glyph has the same pixels wherever it
// is drawn and whatever the machine's font settings say.
QFont labelFont(double pixelsPerLogical);

// A Windows colour value 0x00BBGGRR, as the preferences store it.
using ColorRef = std::uint32_t;

// What to draw and how.
struct RenderOptions {
    // The background picture, or null when it is hidden, with the world rectangle it covers and
    // its whole pixels per mile.
    const BackgroundImage* bitmap = nullptr;
    WorldRect bitmapRect;
    std::int32_t pixelsPerMile = 0;
    // The TIGER/Line layer to draw behind the network, or null when it is hidden.
    const TigerData* tiger = nullptr;
    bool showGrid = true;
    bool showNumbers = true;
    // Printing leaves the paper white, draws no selection and reports no grid readout.
    bool printing = false;
    ColorRef backColor = 0xFFFFFF;
    int gridPixels = 50;
    // Only the frame's pixels in this rectangle are drawn, exactly as drawing the whole frame
    // draws them; null draws everything.
    QRect area;

    friend bool operator==(const RenderOptions&, const RenderOptions&) = default;
};

// Draws one view of a network onto a painter whose coordinates are the device pixels of the
// surface the transform describes. The same code draws the screen, printed pages and images.
class NetworkRenderer {
public:
    NetworkRenderer(QPainter& painter, const ViewTransform& transform,
                    const RenderOptions& options);
    ~NetworkRenderer();

    // Draws everything. Returns the grid readout for the status bar ("Grid: 1 miles"), or an
    // empty text when the grid is off.
    std::string draw(const Network& network, const Selection* selection);

    void drawNode(const Node& node, bool selected);
    void drawLink(const Link& link, bool selected);
    std::string drawGrid();
    void drawTiger(const TigerData& tiger);
    void drawBitmap(const BackgroundImage& image);

private:
    struct DevicePoint {
        double x;
        double y;
    };
    DevicePoint device(LogicalPoint p) const;
    double pixels(int logicalWidth) const;
    DevicePoint device(std::int32_t x, std::int32_t y) const { return device(LogicalPoint{x, y}); }
    void drawText(std::string_view text, LogicalPoint anchor, int align, ColorRef colour);
    void setLabelFont();
    // Whether anything drawn around logical point p within `margin` units can be seen.
    bool nearVisible(LogicalPoint p, int margin) const;
    LogicalRect logicalArea(const QRect& area) const;

    QPainter& painter_;
    const ViewTransform& transform_;
    RenderOptions options_;
    LogicalRect visible_;
    // Objects are drawn when they come near this rectangle: the window, or the area drawn.
    LogicalRect cull_;
    double f_;
    std::unique_ptr<QFont> labelFont_;
    // Set when drawing into an image: nodes and numbers are then copied in as small pictures.
    std::unique_ptr<StampCache> stamps_;
    double ascent_ = 0;
    double descent_ = 0;
    int labelHeight_ = 0;
};

// Renders a whole client area into a new image of the transform's client size, as the view
// does on every update. `readout` receives the grid readout. Large images are drawn in
// horizontal bands, one per processor, each exactly as renderArea draws it.
QImage renderToImage(const Network& network, const ViewTransform& transform,
                     const RenderOptions& options, const Selection* selection,
                     std::string* readout = nullptr);

// Draws the frame onto `target`, an RGB32 image of the transform's client size, and only its
// options.area part when that is set (a picture's rows are then drawn whole). Returns the
// grid readout.
std::string renderArea(QImage& target, const Network& network, const ViewTransform& transform,
                       const RenderOptions& options, const Selection* selection);
