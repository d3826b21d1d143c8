#pragma once

#include <QByteArray>

namespace vantry {

// Where the main window was and how it looked when the program last ended: the toolkit's own
// geometry (size, position, maximised) and toolbar state, and whether the status bar showed.
// Kept as text values beside the preferences, under "Software\Kestrin\Vantry\Window".
struct WindowPlacement {
    QByteArray geometry;
    QByteArray state;
    bool statusBar = true;
};

// Empty blobs when nothing was stored or the stored text is not what a save writes.
WindowPlacement loadWindowPlacement();
void saveWindowPlacement(const WindowPlacement& placement);

} // namespace vantry
