#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// The formats a network is exported to and imported from besides its own two.
enum class ExchangeFormat { Gmns, GeoPackage, GeoJson, Shapefile, FlatGeobuf };

struct ExchangeFormatInfo {
    ExchangeFormat format;
    const char* name;      // as --format takes it: "gmns", "gpkg", "geojson", "shp", "fgb"
    const char* label;     // as dialogs show it: "GeoPackage"
    const char* extension; // ".gpkg"; empty for GMNS, which is a folder
    const char* driver;    // GDAL's driver name; empty for GMNS, which is written without GDAL
};

const std::vector<ExchangeFormatInfo>& exchangeFormats();
const ExchangeFormatInfo& exchangeFormatInfo(ExchangeFormat format);
// The format --format names; nullopt for a name no format has.
std::optional<ExchangeFormat> exchangeFormatNamed(std::string_view name);
// The format a path's extension chooses, case-blind; a path without an extension (or naming a
// folder) is a GMNS folder; nullopt for an extension no format has.
std::optional<ExchangeFormat> exchangeFormatOfPath(const std::string& path);

} // namespace vantry
