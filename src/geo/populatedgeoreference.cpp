#include "geo/populatedgeoreference.h"

#include <charconv>
#include <cmath>

namespace vantry {

namespace {

constexpr double kMetresPerMile = 1609.344;
constexpr double kPi = 3.14159265358979323846;

void appendNumber(std::string& out, double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

} // namespace

Georeference populatedGeoreference(TigerPoint origin) {
    // A degree of latitude is kTigerMilesPerDegree miles anywhere, and a degree of longitude that
    // times the cosine of the point's own latitude: the sinusoidal projection on a sphere of
    // that many miles per degree.
    const double metresPerDegree = kTigerMilesPerDegree * kMetresPerMile;
    const double radius = metresPerDegree * 180.0 / kPi;
    // Longitudes may run past the 180th meridian where the data crosses it.
    const double longitude = std::remainder(origin.longitude * 0.000001, 360.0);
    Georeference g;
    g.crs = "+proj=sinu +lon_0=";
    appendNumber(g.crs, longitude);
    g.crs += " +R=";
    appendNumber(g.crs, radius);
    g.crs += " +units=m +no_defs +type=crs";
    g.originX = 0.0;
    g.originY = origin.latitude * 0.000001 * metresPerDegree;
    return g;
}

void placePopulated(Network& network, TigerPoint origin) {
    if (!network.georeference().placed())
        network.setGeoreference(populatedGeoreference(origin));
}

} // namespace vantry
