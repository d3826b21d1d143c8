#pragma once

#include "document/vantrydoc.h"
#include "view/layers.h"

namespace vantry {

// What a document holds for drawing, for the editor's views and vantry-cli (the renderer itself
// knows no document).
inline LayerData documentLayers(const CVantryDoc& doc) {
    return {doc.network(), doc.background(), doc.pixelsPerMile(), doc.tiger()};
}

} // namespace vantry
