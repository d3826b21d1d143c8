#include "view/layers.h"

#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"

namespace {

bool showsBitmap(const CVantryDoc& doc, const LayerVisibility& layers) {
    return layers.bitmap && doc.background().loaded();
}

bool showsTiger(const CVantryDoc& doc, const LayerVisibility& layers) {
    return layers.tiger && doc.tiger().hasChains();
}

} // namespace

RenderOptions documentRenderOptions(const CVantryDoc& doc, const LayerVisibility& layers,
                                    bool printing) {
    const UserDefinedSettings& s = SingletonPtr<UserDefinedSettings>::instance();
    RenderOptions o;
    o.showGrid = layers.grid;
    o.showNumbers = layers.numbers;
    if (showsTiger(doc, layers))
        o.tiger = &doc.tiger();
    if (showsBitmap(doc, layers)) {
        o.bitmap = &doc.background();
        o.bitmapRect = doc.network().bitmapRect();
        o.pixelsPerMile = doc.pixelsPerMile();
    }
    o.printing = printing;
    o.backColor = s.backColor.value;
    o.gridPixels = s.gridPixels.value;
    return o;
}

WorldRect documentExtent(const CVantryDoc& doc, const LayerVisibility& layers) {
    WorldRect extent = doc.network().bounds();
    if (showsBitmap(doc, layers))
        extent.unite(doc.network().bitmapRect());
    if (showsTiger(doc, layers))
        extent.unite(doc.tiger().tigerExtent());
    return extent;
}
