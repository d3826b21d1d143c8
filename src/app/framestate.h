#pragma once

#include <QRect>

class QMainWindow;

namespace vantry {

// The window's rectangle moved, and shrunk where it must be, so that all of it lies within the
// available area of a screen: a screen that has become smaller since the window was placed
// does not leave it out of reach.
QRect clampToScreen(QRect window, QRect available);

// Puts the main window back as the previous run left it (size, position, maximised, toolbar and
// status bar), within the screen it comes back on. Before the window is shown.
void restoreFrameState(QMainWindow& frame);
// Keeps the main window's placement for the next run.
void saveFrameState(const QMainWindow& frame);

// From now on keeps the main window's placement whenever it changes (the window moved, resized,
// maximised; a dock or toolbar moved, floated, shown or hidden), a moment after the last change
// so that a drag writes once, not at every step. A run that is killed then comes back as it was
// last seen. The keeper belongs to the frame.
void keepFrameState(QMainWindow& frame);

} // namespace vantry
