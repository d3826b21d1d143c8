#include "exchange/nodeplacement.h"

#include "exchange/exchangefields.h"
#include "geo/geotransform.h"
#include "geo/sourcecrs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace vantry {

namespace {

constexpr double kMetresPerMile = 1609.344;

struct Centre {
    double x = 0.0;
    double y = 0.0;
};

Centre centreOf(const std::vector<double>& xy) {
    if (xy.size() < 2)
        return {};
    double minX = xy[0], maxX = xy[0], minY = xy[1], maxY = xy[1];
    for (std::size_t i = 0; i + 1 < xy.size(); i += 2) {
        minX = std::min(minX, xy[i]);
        maxX = std::max(maxX, xy[i]);
        minY = std::min(minY, xy[i + 1]);
        maxY = std::max(maxY, xy[i + 1]);
    }
    return {(minX + maxX) / 2.0, (minY + maxY) / 2.0};
}

bool fitsLonLat(const std::vector<double>& xy) {
    for (std::size_t i = 0; i + 1 < xy.size(); i += 2)
        if (!(std::fabs(xy[i]) <= 180.0) || !(std::fabs(xy[i + 1]) <= 90.0))
            return false;
    return true;
}

void keepAsMiles(const std::vector<double>& xy, PlacedNodes& placed) {
    placed.miles.reserve(xy.size() / 2);
    for (std::size_t i = 0; i + 1 < xy.size(); i += 2)
        placed.miles.push_back({static_cast<float>(xy[i]), static_cast<float>(xy[i + 1])});
}

bool milesFromLonLat(const std::vector<double>& lonLat, const GeoTransform& transform,
                     PlacedNodes& placed, std::string& why) {
    placed.miles.reserve(lonLat.size() / 2);
    for (std::size_t i = 0; i + 1 < lonLat.size(); i += 2) {
        const WorldPoint p = transform.fromLonLat({lonLat[i], lonLat[i + 1]});
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) {
            why = "PROJ cannot place the point at longitude " + std::to_string(lonLat[i]) +
                  ", latitude " + std::to_string(lonLat[i + 1]) + " in \"" +
                  transform.georeference().crs + "\"";
            return false;
        }
        placed.miles.push_back(p);
    }
    return true;
}

std::string projectionAbout(Centre lonLat) {
    char text[160];
    std::snprintf(text, sizeof text, "+proj=tmerc +lat_0=%.9g +lon_0=%.9g +ellps=WGS84 +units=m",
                  lonLat.y, lonLat.x);
    return text;
}

} // namespace

bool placeNodes(const std::string& statedCrs, const std::string& georeferenceText,
                const std::vector<double>& xy, double milesPerUnit, PlacedNodes& placed,
                std::string& why) {
    placed = PlacedNodes{};
    if (isLocalMilesCrs(statedCrs)) {
        keepAsMiles(xy, placed);
        return true;
    }
    std::string crs = statedCrs;
    if (crs.empty()) {
        if (!fitsLonLat(xy)) {
            const Centre centre = centreOf(xy);
            placed.miles.reserve(xy.size() / 2);
            for (std::size_t i = 0; i + 1 < xy.size(); i += 2)
                placed.miles.push_back({static_cast<float>((xy[i] - centre.x) * milesPerUnit),
                                        static_cast<float>((xy[i + 1] - centre.y) * milesPerUnit)});
            placed.warnings.push_back("The source states no CRS: its coordinates are taken as a "
                                      "plane in the lengths' unit, and the network is not placed.");
            return true;
        }
        crs = "EPSG:4326";
        placed.warnings.push_back("The source states no CRS: its coordinates are taken as "
                                  "longitude and latitude (WGS 84).");
    }
    const std::optional<SourceCrs> source = readSourceCrs(crs, why);
    if (!source)
        return false;

    Georeference exported;
    std::string refused;
    if (!georeferenceText.empty() && !parseGeoreference(georeferenceText, exported, &refused)) {
        placed.warnings.push_back("The georeference the file carries cannot be read (" + refused +
                                  "); the network is placed about the data's centre instead.");
        exported = Georeference{};
    }
    if (exported.placed()) {
        std::optional<GeoTransform> transform = GeoTransform::make(exported, refused);
        if (!transform) {
            placed.warnings.push_back("The georeference the file carries cannot be used (" +
                                      refused +
                                      "); the network is placed about the data's "
                                      "centre instead.");
        } else {
            std::vector<double> lonLat = xy;
            if (!convertToLonLat(source->name, lonLat, why))
                return false;
            placed.georeference = exported;
            return milesFromLonLat(lonLat, *transform, placed, why);
        }
    }

    if (!source->geographic) {
        const Centre centre = centreOf(xy);
        const Georeference g{source->name, centre.x, centre.y};
        std::optional<GeoTransform> transform = GeoTransform::make(g, why);
        if (!transform)
            return false;
        const double milesPerCrsUnit = transform->metresPerUnit() / kMetresPerMile;
        placed.miles.reserve(xy.size() / 2);
        for (std::size_t i = 0; i + 1 < xy.size(); i += 2)
            placed.miles.push_back({static_cast<float>((xy[i] - centre.x) * milesPerCrsUnit),
                                    static_cast<float>((xy[i + 1] - centre.y) * milesPerCrsUnit)});
        placed.georeference = g;
        return true;
    }

    std::vector<double> lonLat = xy;
    if (!convertToLonLat(source->name, lonLat, why))
        return false;
    const Georeference g{projectionAbout(centreOf(lonLat)), 0.0, 0.0};
    std::optional<GeoTransform> transform = GeoTransform::make(g, why);
    if (!transform)
        return false;
    placed.georeference = g;
    return milesFromLonLat(lonLat, *transform, placed, why);
}

} // namespace vantry
