#pragma once

#include "geo/geotransform.h"

#include <memory>
#include <optional>
#include <string>

namespace vantry {

// Converts points of any CRS PROJ knows (an EPSG code, a PROJ string, the WKT a .prj file or a
// GDAL auxiliary file holds; projected or geographic) to longitude and latitude. One context of
// its own, like GeoTransform; used by one thread at a time.
class CrsPoints {
public:
    // Refused, with a one-line reason naming the CRS, when PROJ does not know it or cannot
    // convert it to longitude and latitude.
    static std::optional<CrsPoints> make(const std::string& crs, std::string& why);

    CrsPoints(CrsPoints&& other) noexcept;
    CrsPoints& operator=(CrsPoints&& other) noexcept;
    CrsPoints(const CrsPoints&) = delete;
    CrsPoints& operator=(const CrsPoints&) = delete;
    ~CrsPoints();

    // "EPSG:2263" when PROJ knows the CRS by a code (a .prj file's WKT says none), else its name.
    const std::string& label() const { return label_; }
    // True when `crs` is the same CRS, however it is written.
    bool sameAs(const std::string& crs) const;
    // NaN coordinates for a point PROJ cannot convert.
    LonLat toLonLat(double x, double y) const;

private:
    struct Proj;
    CrsPoints(std::unique_ptr<Proj> proj, std::string label);

    std::unique_ptr<Proj> proj_;
    std::string label_;
};

} // namespace vantry
