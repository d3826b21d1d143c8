#include "view/pointerplace.h"

#include <cmath>
#include <cstdio>

namespace vantry {

std::string formatLonLat(LonLat place) {
    char text[80];
    std::snprintf(text, sizeof text, "%.6f\u00b0 %c, %.6f\u00b0 %c", std::fabs(place.latitude),
                  place.latitude < 0 ? 'S' : 'N', std::fabs(place.longitude),
                  place.longitude < 0 ? 'W' : 'E');
    return text;
}

std::string PointerPlace::describe(const Georeference& g, WorldPoint miles) {
    if (!(g == madeFor_)) {
        madeFor_ = g;
        transform_.reset();
        // A refused CRS shows no place; the dialog that set it has told the user why.
        std::string why;
        if (g.placed())
            transform_ = GeoTransform::make(g, why);
    }
    if (!transform_)
        return {};
    const LonLat place = transform_->toLonLat(miles);
    if (!std::isfinite(place.longitude) || !std::isfinite(place.latitude))
        return {};
    return formatLonLat(place);
}

} // namespace vantry
