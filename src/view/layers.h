#pragma once

#include "model/network.h"
#include "view/renderoptions.h"

#include <cstdint>

namespace vantry {

struct BackgroundImage;
class TigerData;

// The layers a view shows besides the network. A picture or TIGER/Line layer that is switched on
// shows only while it is loaded.
struct LayerVisibility {
    bool grid = true;
    bool numbers = true;
    bool bitmap = false;
    bool tiger = false;
};

// What a view can draw: the network, the background picture with its whole pixels per mile
// (its rectangle is the network's), and the road chains.
struct LayerData {
    const Network& network;
    const BackgroundImage& picture;
    std::int32_t pixelsPerMile;
    const TigerData& tiger;
};

// What the renderer needs to draw that data with those layers, in the user's background colour
// and grid spacing. The editor's views and vantry-cli draw from the same options.
RenderOptions layerRenderOptions(const LayerData& data, const LayerVisibility& layers,
                                 bool printing);

// The world the shown data covers: the network's bounds, widened by the picture's rectangle and
// the TIGER/Line extent while those layers show. "Show Entire Network" fits it.
WorldRect layerExtent(const LayerData& data, const LayerVisibility& layers);

} // namespace vantry
