#include "app/framestate.h"

#include "settings/windowplacement.h"

#include <QDockWidget>
#include <QEvent>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <algorithm>

namespace vantry {

namespace {

WindowPlacement placementOf(const QMainWindow& frame) {
    WindowPlacement placement;
    placement.geometry = frame.saveGeometry();
    placement.state = frame.saveState();
    // The status bar is not part of the toolkit's state.
    placement.statusBar = !frame.statusBar()->isHidden();
    return placement;
}

// Watches the frame and the bars and docks around it, and writes the placement once they have
// been still for a moment.
class FrameStateKeeper : public QObject {
public:
    explicit FrameStateKeeper(QMainWindow& frame) : QObject(&frame), frame_(frame) {
        timer_.setSingleShot(true);
        timer_.setInterval(kSettleMs);
        connect(&timer_, &QTimer::timeout, this, &FrameStateKeeper::save);
        frame.installEventFilter(this);
        frame.statusBar()->installEventFilter(this);
        for (QToolBar* bar : frame.findChildren<QToolBar*>())
            bar->installEventFilter(this);
        for (QDockWidget* dock : frame.findChildren<QDockWidget*>()) {
            dock->installEventFilter(this);
            connect(dock, &QDockWidget::dockLocationChanged, this, &FrameStateKeeper::changed);
            connect(dock, &QDockWidget::topLevelChanged, this, &FrameStateKeeper::changed);
        }
        last_ = placementOf(frame);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::WindowStateChange:
            // As the program ends the window is hidden and written by whoever closes it.
            if (watched == &frame_ && event->type() == QEvent::Hide)
                timer_.stop();
            else
                changed();
            break;
        default:
            break;
        }
        return false;
    }

private:
    // Long enough for a drag to be one change, short enough to be written before anything
    // else is likely to happen.
    static constexpr int kSettleMs = 400;

    void changed() {
        if (frame_.isVisible())
            timer_.start();
    }

    void save() {
        if (!frame_.isVisible())
            return;
        const WindowPlacement now = placementOf(frame_);
        if (now.geometry == last_.geometry && now.state == last_.state &&
            now.statusBar == last_.statusBar)
            return;
        saveWindowPlacement(now);
        last_ = now;
    }

    QMainWindow& frame_;
    QTimer timer_;
    WindowPlacement last_;
};

} // namespace

QRect clampToScreen(QRect window, QRect available) {
    if (available.isEmpty())
        return window;
    window.setWidth(std::min(window.width(), available.width()));
    window.setHeight(std::min(window.height(), available.height()));
    const int x =
        std::clamp(window.left(), available.left(), available.right() - window.width() + 1);
    const int y =
        std::clamp(window.top(), available.top(), available.bottom() - window.height() + 1);
    window.moveTo(x, y);
    return window;
}

void restoreFrameState(QMainWindow& frame) {
    const WindowPlacement placement = loadWindowPlacement();
    // Blobs that are not the toolkit's are refused by it, and the window keeps its first size.
    if (!placement.geometry.isEmpty())
        frame.restoreGeometry(placement.geometry);
    if (!placement.state.isEmpty())
        frame.restoreState(placement.state);
    frame.statusBar()->setVisible(placement.statusBar);
    if (frame.isMaximized() || frame.isFullScreen())
        return;
    const QScreen* screen = QGuiApplication::screenAt(frame.geometry().center());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The frame drawn by the window manager lies around the geometry; it must fit as well.
    const QRect outer = frame.frameGeometry();
    const QMargins margins(
        frame.geometry().left() - outer.left(), frame.geometry().top() - outer.top(),
        outer.right() - frame.geometry().right(), outer.bottom() - frame.geometry().bottom());
    const QRect fitted = clampToScreen(outer, screen->availableGeometry()) - margins;
    if (fitted != frame.geometry())
        frame.setGeometry(fitted);
}

void saveFrameState(const QMainWindow& frame) {
    saveWindowPlacement(placementOf(frame));
}

void keepFrameState(QMainWindow& frame) {
    new FrameStateKeeper(frame);
}

} // namespace vantry
