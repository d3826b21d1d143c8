#include "view/layers.h"

#include "picture/backgroundimage.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"
#include "tiger/tigerstore.h"

namespace vantry {

namespace {

bool showsPicture(const LayerData& data, const LayerVisibility& layers) {
    return layers.bitmap && data.picture.loaded();
}

bool showsTiger(const LayerData& data, const LayerVisibility& layers) {
    return layers.tiger && data.tiger.hasChains();
}

} // namespace

RenderOptions layerRenderOptions(const LayerData& data, const LayerVisibility& layers,
                                 bool printing) {
    const UserDefinedSettings& s = SingletonPtr<UserDefinedSettings>::instance();
    RenderOptions o;
    o.showGrid = layers.grid;
    o.showNumbers = layers.numbers;
    if (showsTiger(data, layers))
        o.tiger = &data.tiger;
    if (showsPicture(data, layers)) {
        o.bitmap = &data.picture;
        o.bitmapRect = data.network.bitmapRect();
        o.pixelsPerMile = data.pixelsPerMile;
    }
    o.printing = printing;
    o.backColor = s.backColor.value;
    o.gridPixels = s.gridPixels.value;
    return o;
}

WorldRect layerExtent(const LayerData& data, const LayerVisibility& layers) {
    WorldRect extent = data.network.bounds();
    if (showsPicture(data, layers))
        extent.unite(data.network.bitmapRect());
    if (showsTiger(data, layers))
        extent.unite(data.tiger.tigerExtent());
    return extent;
}

} // namespace vantry
