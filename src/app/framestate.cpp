#include "app/framestate.h"

#include "settings/windowplacement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QStatusBar>

#include <algorithm>

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
    WindowPlacement placement;
    placement.geometry = frame.saveGeometry();
    placement.state = frame.saveState();
    // The status bar is not part of the toolkit's state.
    placement.statusBar = !frame.statusBar()->isHidden();
    saveWindowPlacement(placement);
}
