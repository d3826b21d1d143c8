#pragma once

// A layer's lines in longitude and latitude, whatever coordinate system and kind of geometry the
// layer gives them in.

#include "streets/linesplitter.h"
#include "tiger/tigerstore.h"

#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <memory>
#include <string>
#include <vector>

namespace vantry {

// Longitude and latitude from the layer's own coordinates.
class ToLonLat {
public:
    // False, with why, when the layer's system cannot be taken to longitude and latitude, or
    // when a layer without one has coordinates that cannot be longitudes and latitudes.
    bool prepare(OGRLayer& layer, const std::string& path, std::string& why);

    // Appends the points of a line, dropping repeats of the point before; false when a point
    // cannot be converted or lies outside the globe.
    bool convert(const OGRLineString& line, std::vector<TigerPoint>& points);

private:
    std::unique_ptr<OGRCoordinateTransformation> transform_;
    std::vector<double> x_, y_;
};

// Appends the lines of one geometry, each with the attributes given: each part of a multi-line on
// its own, curves as line strings. usable becomes true when a line of two points or more was
// added, broken when a point could not be converted.
void addLines(const OGRGeometry& g, const TigerChain& attributes, ToLonLat& convert,
              std::vector<StreetLine>& lines, bool& usable, bool& broken);

} // namespace vantry
