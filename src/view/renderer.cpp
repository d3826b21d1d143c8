#include "view/renderer.h"

#include "base/parallelbands.h"
#include "picture/backgroundimage.h"
#include "view/backgrounddrawing.h"
#include "view/gridlines.h"
#include "view/legenddrawing.h"
#include "view/linkcolouring.h"
#include "view/roaddrawing.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

namespace vantry {

NetworkRenderer::NetworkRenderer(QPainter& painter, const ViewTransform& transform,
                                 const RenderOptions& options)
    : surface_(painter, transform, options) {}

std::string NetworkRenderer::draw(const Network& network, const Selection* selection) {
    QPainter& painter = surface_.painter();
    const RenderOptions& options = surface_.options();
    const ViewTransform& transform = surface_.transform();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (!options.area.isNull())
        painter.setClipRect(options.area);
    if (!options.printing) {
        painter.fillRect(
            QRectF(0, 0, transform.clientWidthPixels(), transform.clientHeightPixels()),
            toQColor(options.backColor));
    }
    std::string readout;
    if (options.bitmap && options.bitmap->loaded())
        drawBackground(surface_, *options.bitmap);
    if (options.showGrid)
        readout = drawGrid(surface_);
    if (options.tiger)
        drawRoads(surface_, *options.tiger);
    for (const Node* n : network.nodes())
        drawNode(surface_, *n, false);
    for (const Link* l : network.links())
        drawLink(surface_, *l, false);
    if (!options.printing && selection) {
        for (const Node* n : selection->selectedNodes())
            drawNode(surface_, *n, true);
        for (const Link* l : selection->selectedLinks())
            drawLink(surface_, *l, true);
    }
    if (options.colouring)
        drawLegend(surface_, *options.colouring);
    painter.restore();
    return readout;
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
    forEachBand(height, bands, [&](int band, int top, int bottom) {
        // The whole frame, so that every shape meets the same edges as in one piece, but
        // clipped to the band's rows.
        QImage frame(bits, width, height, stride, QImage::Format_RGB32);
        RenderOptions bandOptions = options;
        bandOptions.area = QRect(0, top, width, bottom - top);
        texts[static_cast<std::size_t>(band)] =
            renderArea(frame, network, transform, bandOptions, selection);
    });
    if (readout)
        *readout = std::move(texts[0]);
    return image;
}

} // namespace vantry
