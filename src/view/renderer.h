#pragma once

#include "model/network.h"
#include "view/networkdrawing.h"
#include "view/renderoptions.h"
#include "view/rendersurface.h"
#include "view/selection.h"
#include "view/viewtransform.h"

#include <string>

class QImage;
class QPainter;

namespace vantry {

// Draws one view of a network onto a painter whose coordinates are the device pixels of the
// surface the transform describes. The same code draws the screen, printed pages and images.
class NetworkRenderer {
public:
    NetworkRenderer(QPainter& painter, const ViewTransform& transform,
                    const RenderOptions& options);

    // Draws everything: the background picture, the grid, the roads, the nodes, the links and
    // the selection on top. Returns the grid readout for the status bar ("Grid: 1 miles"), or an
    // empty text when the grid is off.
    std::string draw(const Network& network, const Selection* selection);

private:
    RenderSurface surface_;
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

} // namespace vantry
