#include "streets/layergeometry.h"

#include "streets/gdalmessages.h"
#include "streets/streetfilechecks.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace vantry {

bool ToLonLat::prepare(OGRLayer& layer, const std::string& path, std::string& why) {
    const OGRSpatialReference* srs = layer.GetSpatialRef();
    if (!srs) {
        OGREnvelope box;
        if (layer.GetExtent(&box, TRUE) == OGRERR_NONE &&
            !(box.MinX >= -180 && box.MaxX <= 180 && box.MinY >= -90 && box.MaxY <= 90)) {
            char range[160];
            std::snprintf(range, sizeof range, "x from %g to %g, y from %g to %g", box.MinX,
                          box.MaxX, box.MinY, box.MaxY);
            why = "Cannot place " + quotedName(path) + " on the map: layer \"" + layer.GetName() +
                  "\" names no coordinate system, and its coordinates (" + range +
                  ") are not longitudes and latitudes.";
            return false;
        }
        return true;
    }
    OGRSpatialReference source(*srs);
    source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    OGRSpatialReference target;
    target.SetWellKnownGeogCS("WGS84");
    target.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    transform_.reset(OGRCreateCoordinateTransformation(&source, &target));
    if (!transform_) {
        why = "Cannot place " + quotedName(path) +
              " on the map: the coordinate system of layer \"" + layer.GetName() +
              "\" cannot be converted to longitude and latitude (" +
              QuietErrors::last("no conversion is known") + ").";
        return false;
    }
    return true;
}

bool ToLonLat::convert(const OGRLineString& line, std::vector<TigerPoint>& points) {
    const int n = line.getNumPoints();
    x_.resize(static_cast<std::size_t>(n));
    y_.resize(static_cast<std::size_t>(n));
    line.getPoints(x_.data(), sizeof(double), y_.data(), sizeof(double));
    if (transform_ && n > 0 && !transform_->Transform(n, x_.data(), y_.data()))
        return false;
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        const double lon = x_[i], lat = y_[i];
        if (!(lon >= -180 && lon <= 180 && lat >= -90 && lat <= 90))
            return false;
        const TigerPoint p{static_cast<std::int32_t>(std::lround(lat * 1e6)),
                           static_cast<std::int32_t>(std::lround(lon * 1e6))};
        if (points.empty() || !(points.back() == p))
            points.push_back(p);
    }
    return true;
}

void addLines(const OGRGeometry& g, const TigerChain& attributes, ToLonLat& convert,
              std::vector<StreetLine>& lines, bool& usable, bool& broken) {
    switch (wkbFlatten(g.getGeometryType())) {
    case wkbLineString: {
        StreetLine line{attributes, {}};
        if (!convert.convert(*g.toLineString(), line.points)) {
            broken = true;
        } else if (line.points.size() >= 2) {
            lines.push_back(std::move(line));
            usable = true;
        }
        return;
    }
    case wkbMultiLineString:
    case wkbGeometryCollection:
    case wkbMultiCurve:
        for (const OGRGeometry* part : *g.toGeometryCollection())
            if (part)
                addLines(*part, attributes, convert, lines, usable, broken);
        return;
    case wkbCircularString:
    case wkbCompoundCurve: {
        const std::unique_ptr<OGRGeometry> linear(g.getLinearGeometry());
        if (linear)
            addLines(*linear, attributes, convert, lines, usable, broken);
        return;
    }
    default:
        return;
    }
}

} // namespace vantry
