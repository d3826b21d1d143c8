#pragma once

#include "model/geometry.h"
#include "model/georeference.h"

#include <memory>
#include <optional>
#include <string>

namespace vantry {

// A place on Earth in degrees of WGS 84 (EPSG:4326), longitude first whatever order the CRS
// itself gives its axes.
struct LonLat {
    double longitude = 0.0;
    double latitude = 0.0;
};

// Converts between a placed network's miles (international miles of 1609.344 m) and longitude and
// latitude, through PROJ. Each transform has a PROJ context of its own, so that transforms may be
// used on different threads at once; one transform is used by one thread at a time.
class GeoTransform {
public:
    // The transform of a placed georeference. Refused, with a one-line reason naming the CRS,
    // when the network is not placed, PROJ does not know the CRS, or the CRS is not a projected
    // one (a geographic CRS has no linear unit for the miles to be scaled to).
    static std::optional<GeoTransform> make(const Georeference& g, std::string& why);

    GeoTransform(GeoTransform&& other) noexcept;
    GeoTransform& operator=(GeoTransform&& other) noexcept;
    GeoTransform(const GeoTransform&) = delete;
    GeoTransform& operator=(const GeoTransform&) = delete;
    ~GeoTransform();

    const Georeference& georeference() const { return georeference_; }
    // Metres in one unit of the CRS's axes: 1 for metres, 0.3048006096012192 for US survey feet.
    double metresPerUnit() const { return metresPerUnit_; }

    // Both give NaN coordinates for a point PROJ cannot convert (one beyond the projection's
    // reach).
    LonLat toLonLat(WorldPoint miles) const;
    WorldPoint fromLonLat(LonLat place) const;

private:
    struct Proj;
    GeoTransform(std::unique_ptr<Proj> proj, Georeference g, double metresPerUnit);

    std::unique_ptr<Proj> proj_;
    Georeference georeference_;
    double metresPerUnit_ = 1.0;
};

} // namespace vantry
