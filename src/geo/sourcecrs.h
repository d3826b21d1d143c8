#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantry {

// What PROJ makes of the CRS a file's coordinates are in.
struct SourceCrs {
    bool geographic = false; // degrees of longitude and latitude rather than a plane
    // The CRS as a georeference keeps it: "AUTHORITY:CODE" when PROJ knows one, otherwise a
    // one-line PROJ string or the text as given.
    std::string name;
};

// Reads a CRS as files state it (an EPSG code, "EPSG:n", WKT of any version, a PROJ string).
// Refused, with a one-line reason naming the CRS, when PROJ does not know it or it is neither a
// plane nor longitude and latitude.
std::optional<SourceCrs> readSourceCrs(const std::string& crs, std::string& why);

// Converts x, y pairs in the CRS to longitude and latitude of WGS 84, in place, longitude first
// whatever order the CRS gives its axes. False, with a one-line reason, when PROJ cannot convert
// the CRS or one of the points.
bool convertToLonLat(const std::string& crs, std::vector<double>& xy, std::string& why);

} // namespace vantry
