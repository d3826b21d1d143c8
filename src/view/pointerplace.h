#pragma once

#include "geo/geotransform.h"

#include <optional>
#include <string>

namespace vantry {

// "40.712800° N, 74.006000° W": latitude, then longitude, each to a millionth of a degree with
// its hemisphere.
std::string formatLonLat(LonLat place);

// The pointer's longitude and latitude for the status bar. The transform is made once for each
// georeference the network has and kept until the georeference changes; a CRS PROJ refuses is
// remembered as refused, so that moving the pointer never asks PROJ again.
class PointerPlace {
public:
    // The point's place on Earth formatted as formatLonLat does; empty when the network is not
    // placed, its CRS is refused, or the point is beyond the projection's reach.
    std::string describe(const Georeference& g, WorldPoint miles);

private:
    Georeference madeFor_;
    std::optional<GeoTransform> transform_;
};

} // namespace vantry
