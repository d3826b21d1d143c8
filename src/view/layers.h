#pragma once

#include "model/network.h"
#include "view/renderer.h"

class CVantryDoc;

// The layers a view of a document shows besides the network. A picture or TIGER/Line layer that
// is switched on shows only while the document has it loaded.
struct LayerVisibility {
    bool grid = true;
    bool numbers = true;
    bool bitmap = false;
    bool tiger = false;
};

// What the renderer needs to draw the document with those layers, in the user's background
// colour and grid spacing. The editor's views and vantry-cli draw from the same options.
RenderOptions documentRenderOptions(const CVantryDoc& doc, const LayerVisibility& layers,
                                    bool printing);

// The world the document's shown data covers: the network's bounds, widened by the picture's
// rectangle and the TIGER/Line extent while those layers show. "Show Entire Network" fits it.
WorldRect documentExtent(const CVantryDoc& doc, const LayerVisibility& layers);
