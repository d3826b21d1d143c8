#include "exchange/exchangeformats.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace vantry {

namespace {

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

} // namespace

const std::vector<ExchangeFormatInfo>& exchangeFormats() {
    static const std::vector<ExchangeFormatInfo> formats = {
        {ExchangeFormat::Gmns, "gmns", "GMNS", "", ""},
        {ExchangeFormat::GeoPackage, "gpkg", "GeoPackage", ".gpkg", "GPKG"},
        {ExchangeFormat::GeoJson, "geojson", "GeoJSON", ".geojson", "GeoJSON"},
        {ExchangeFormat::Shapefile, "shp", "Shapefile", ".shp", "ESRI Shapefile"},
        {ExchangeFormat::FlatGeobuf, "fgb", "FlatGeobuf", ".fgb", "FlatGeobuf"},
    };
    return formats;
}

const ExchangeFormatInfo& exchangeFormatInfo(ExchangeFormat format) {
    for (const ExchangeFormatInfo& info : exchangeFormats())
        if (info.format == format)
            return info;
    return exchangeFormats().front();
}

std::optional<ExchangeFormat> exchangeFormatNamed(std::string_view name) {
    for (const ExchangeFormatInfo& info : exchangeFormats())
        if (name == info.name)
            return info.format;
    return std::nullopt;
}

std::optional<ExchangeFormat> exchangeFormatOfPath(const std::string& path) {
    const std::filesystem::path p(path);
    std::error_code error;
    if (!p.has_filename() || std::filesystem::is_directory(p, error))
        return ExchangeFormat::Gmns;
    const std::string extension = lowered(p.extension().string());
    if (extension.empty())
        return ExchangeFormat::Gmns;
    // A GMNS folder is also named by its link table.
    if (lowered(p.filename().string()) == "link.csv")
        return ExchangeFormat::Gmns;
    if (extension == ".json")
        return ExchangeFormat::GeoJson;
    for (const ExchangeFormatInfo& info : exchangeFormats())
        if (*info.extension && extension == info.extension)
            return info.format;
    return std::nullopt;
}

} // namespace vantry
