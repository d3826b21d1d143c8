#pragma once

#include <QCursor>

namespace vantry {

// The pointer shown over the map for each tool: the arrow, or an arrow or cross-hair with the
// tool's sign. The tool table names which tool shows which.
QCursor arrowCursor();
QCursor nodeCursor();
QCursor linkCursor();
QCursor twoWayLinkCursor();
QCursor autoPopulateCursor();
QCursor distanceToolCursor();
QCursor panToolCursor();
QCursor zoomInCursor();
QCursor zoomOutCursor();

} // namespace vantry
