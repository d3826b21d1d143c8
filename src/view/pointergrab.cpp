#include "view/pointergrab.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>

namespace vantry {

PointerGrab::PointerGrab(QWidget& view, QWidget& viewport, std::function<void()> lost)
    : view_(view), viewport_(viewport), lost_(std::move(lost)) {}

PointerGrab::~PointerGrab() {
    release();
}

bool PointerGrab::captured() const {
    return holding_ && QWidget::mouseGrabber() == &viewport_;
}

void PointerGrab::take() {
    if (!holding_) {
        holding_ = true;
        qApp->installEventFilter(this);
    }
    viewport_.grabMouse();
}

void PointerGrab::release() {
    if (!holding_)
        return;
    holding_ = false;
    qApp->removeEventFilter(this);
    if (QWidget::mouseGrabber() == &viewport_)
        viewport_.releaseMouse();
}

void PointerGrab::lose() {
    if (!holding_)
        return;
    release();
    lost_();
}

void PointerGrab::forwardClick(QPoint global) const {
    QWidget* target = QApplication::widgetAt(global);
    if (!target || target == &viewport_)
        return;
    const QPointF local = target->mapFromGlobal(QPointF(global));
    QMouseEvent press(QEvent::MouseButtonPress, local, QPointF(global), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, QPointF(global), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

bool PointerGrab::eventFilter(QObject* watched, QEvent* event) {
    if (!holding_)
        return false;
    // Each of these takes the mouse away from the view, whether or not the toolkit's grab
    // itself is taken over.
    switch (event->type()) {
    case QEvent::Show: {
        const auto* w = qobject_cast<const QWidget*>(watched);
        if (w && w->isWindow() && (w->windowType() == Qt::Popup || w->isModal()))
            lose();
        break;
    }
    case QEvent::WindowDeactivate:
    case QEvent::WindowBlocked:
        if (watched == view_.window())
            lose();
        break;
    case QEvent::ApplicationDeactivate:
        lose();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const auto* w = qobject_cast<const QWidget*>(watched);
        if (w && w != &viewport_ && !view_.isAncestorOf(w))
            lose();
        break;
    }
    default:
        break;
    }
    return false;
}

} // namespace vantry
