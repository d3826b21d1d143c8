#include "view/backgrounddrawing.h"

#include "picture/backgroundimage.h"
#include "view/rendersurface.h"

#include <QImage>
#include <QPainter>

#include <algorithm>

namespace vantry {

void drawBackground(RenderSurface& s, const BackgroundImage& image) {
    const double k = s.options().pixelsPerMile;
    if (k <= 0)
        return;
    const WorldRect& r = s.options().bitmapRect;
    // The picture's pixel rows count from its bottom edge, which lies one pixel below the
    // rectangle's bottom.
    const double ox = r.left;
    const double oy = r.bottom - 1.0 / k;
    const WorldPoint a = s.transform().LogicalToWorld({s.visible().left, s.visible().top});
    const WorldPoint b = s.transform().LogicalToWorld({s.visible().right, s.visible().bottom});
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
        return s.device(s.transform().WorldToLogical(w));
    };
    const RenderSurface::DevicePoint d0 = toDevice(x0, y0);
    const RenderSurface::DevicePoint d1 = toDevice(x1, y1);
    const QRectF target = QRectF(QPointF(d0.x, d0.y), QPointF(d1.x, d1.y)).normalized();
    // Rows are stored top first, while the source counts them from the bottom.
    const QRectF source(static_cast<double>(x0), static_cast<double>(image.height - y1),
                        static_cast<double>(x1 - x0), static_cast<double>(y1 - y0));
    const QImage picture(reinterpret_cast<const uchar*>(image.pixels.data()), image.width,
                         image.height, image.width * 4, QImage::Format_RGB32);
    s.painter().save();
    s.painter().setRenderHint(QPainter::SmoothPixmapTransform, false);
    s.painter().drawImage(target, picture, source);
    s.painter().restore();
}

} // namespace vantry
