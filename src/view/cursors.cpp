#include "view/cursors.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vantry {

namespace {

constexpr int kSize = 32;

QPixmap blank() {
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// The standard arrow with its tip at (0, 0), white with a black outline.
void drawArrow(QPainter& p) {
    QPainterPath arrow;
    arrow.moveTo(0.5, 0.5);
    arrow.lineTo(0.5, 16.5);
    arrow.lineTo(4.5, 12.5);
    arrow.lineTo(7.5, 18.5);
    arrow.lineTo(9.5, 17.5);
    arrow.lineTo(6.5, 11.5);
    arrow.lineTo(11.5, 11.5);
    arrow.closeSubpath();
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(arrow);
}

QCursor arrowWith(void (*decoration)(QPainter&)) {
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    drawArrow(p);
    decoration(p);
    p.end();
    return QCursor(pixmap, 0, 0);
}

QPen outline() {
    return QPen(Qt::black, 1);
}

void hatchedDisc(QPainter& p) {
    p.setPen(outline());
    p.setBrush(QBrush(Qt::black, Qt::BDiagPattern));
    p.drawEllipse(QRectF(14.5, 14.5, 12, 12));
}

void oneBar(QPainter& p) {
    p.setPen(QPen(Qt::black, 3));
    p.drawLine(QPointF(14, 26), QPointF(26, 14));
}

void twoBars(QPainter& p) {
    p.setPen(QPen(Qt::black, 2));
    p.drawLine(QPointF(13, 25), QPointF(24, 14));
    p.drawLine(QPointF(17, 28), QPointF(28, 17));
}

void streetGrid(QPainter& p) {
    p.setPen(outline());
    for (int i = 0; i < 3; ++i) {
        p.drawLine(QPointF(14, 15.5 + 5 * i), QPointF(28, 15.5 + 5 * i));
        p.drawLine(QPointF(15.5 + 5 * i, 14), QPointF(15.5 + 5 * i, 28));
    }
}

QCursor distanceCursor() {
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(QPointF(5.5, 0), QPointF(5.5, 9));
    p.drawLine(QPointF(0, 4.5), QPointF(11, 4.5));
    // A small ruler beside the cross-hair.
    p.setBrush(Qt::white);
    p.drawRect(QRectF(9.5, 12.5, 18, 6));
    for (int x = 12; x < 28; x += 3)
        p.drawLine(QPointF(x + 0.5, 12.5), QPointF(x + 0.5, 15.5));
    p.end();
    return QCursor(pixmap, 5, 4);
}

QCursor panCursor() {
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setPen(outline());
    p.setBrush(Qt::black);
    const QPointF c(10.5, 10.5);
    p.drawRect(QRectF(8.5, 8.5, 4, 4));
    for (int i = 0; i < 4; ++i) {
        p.save();
        p.translate(c);
        p.rotate(90 * i);
        QPolygonF head;
        head << QPointF(0, -10) << QPointF(-3, -6) << QPointF(3, -6);
        p.drawPolygon(head);
        p.restore();
    }
    p.end();
    return QCursor(pixmap, 10, 10);
}

QCursor magnifier(bool plus) {
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    if (plus) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.drawRect(QRectF(0.5, 0.5, 10, 10));
    }
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(10, 10, 12, 12));
    p.drawLine(QPointF(20, 20), QPointF(28, 28));
    p.setPen(QPen(Qt::black, 1.5));
    p.drawLine(QPointF(13, 16), QPointF(19, 16));
    if (plus)
        p.drawLine(QPointF(16, 13), QPointF(16, 19));
    p.end();
    return QCursor(pixmap, 5, 5);
}

} // namespace

QCursor arrowCursor() {
    return QCursor(Qt::ArrowCursor);
}
QCursor nodeCursor() {
    return arrowWith(hatchedDisc);
}
QCursor linkCursor() {
    return arrowWith(oneBar);
}
QCursor twoWayLinkCursor() {
    return arrowWith(twoBars);
}
QCursor autoPopulateCursor() {
    return arrowWith(streetGrid);
}
QCursor distanceToolCursor() {
    return distanceCursor();
}
QCursor panToolCursor() {
    return panCursor();
}
QCursor zoomInCursor() {
    return magnifier(true);
}
QCursor zoomOutCursor() {
    return magnifier(false);
}

} // namespace vantry
