#include "exchange/gmnssource.h"

#include "base/files.h"
#include "exchange/csvtable.h"
#include "exchange/exchangefields.h"
#include "exchange/fieldmatch.h"
#include "exchange/unitcheck.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vantry {

namespace {

namespace fs = std::filesystem;

std::string folderOf(const std::string& path) {
    std::error_code ec;
    const fs::path p = pathFromUtf8(path);
    if (fs::is_directory(p, ec))
        return path;
    return utf8FromPath(p.parent_path().empty() ? fs::path(".") : p.parent_path());
}

std::string fileIn(const std::string& folder, const char* name) {
    return utf8FromPath(pathFromUtf8(folder) / name);
}

bool exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(pathFromUtf8(path), ec);
}

bool isDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
}

// GMNS writes the CRS as an EPSG code, often without its authority; "WGS84" and the like mean
// longitude and latitude.
std::string crsOfConfig(const std::string& text) {
    if (isDigits(text))
        return "EPSG:" + text;
    for (const char* lonLat : {"wgs84", "wgs 84", "wgs-84", "lonlat", "latlon", "lat-long",
                               "latlong", "lat/lon", "lon/lat", "long-lat"})
        if (sameFieldName(text, lonLat))
            return "EPSG:4326";
    return text;
}

struct GmnsConfig {
    LengthUnit length = LengthUnit::Unknown;
    SpeedUnitOfSource speed = SpeedUnitOfSource::Unknown;
    std::string crs;
    std::string georeference;
};

bool readConfig(const std::string& folder, GmnsConfig& config, std::string& why) {
    const std::string path = fileIn(folder, "config.csv");
    if (!exists(path))
        return true;
    CsvTable table;
    if (!readCsvFile(path, table, why))
        return false;
    if (table.rows.empty())
        return true;
    const auto cell = [&](const char* name) -> std::string {
        const int c = table.column(name);
        if (c < 0 || static_cast<std::size_t>(c) >= table.rows[0].size())
            return {};
        return table.rows[0][static_cast<std::size_t>(c)];
    };
    config.length = lengthUnitNamed(cell("long_length"));
    config.speed = speedUnitNamed(cell("speed"));
    config.crs = crsOfConfig(cell("crs"));
    config.georeference = cell(kGeoreferenceColumn);
    return true;
}

bool checkFolder(const std::string& folder, std::string& why) {
    for (const char* name : {"node.csv", "link.csv"})
        if (!exists(fileIn(folder, name))) {
            why = "Cannot import \"" + folder + "\" as GMNS: it has no " + name + ".";
            return false;
        }
    return true;
}

int firstColumn(const CsvTable& table, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (const int c = table.column(name); c >= 0)
            return c;
    return -1;
}

bool readNodes(const std::string& folder, ImportNodes& nodes, std::string& why) {
    CsvTable table;
    if (!readCsvFile(fileIn(folder, "node.csv"), table, why))
        return false;
    const int id = firstColumn(table, {nodefield::kNodeId, "id", "node", "n"});
    const int x = firstColumn(table, {nodefield::kXCoord, "x", "lon", "longitude", "long"});
    const int y = firstColumn(table, {nodefield::kYCoord, "y", "lat", "latitude"});
    if (id < 0 || x < 0 || y < 0) {
        why = "Cannot import node.csv: it has no " +
              std::string(id < 0  ? nodefield::kNodeId
                          : x < 0 ? nodefield::kXCoord
                                  : nodefield::kYCoord) +
              " column.";
        return false;
    }
    nodes.ids.reserve(table.rows.size());
    nodes.xy.reserve(2 * table.rows.size());
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        const std::vector<std::string>& row = table.rows[r];
        double xy[2] = {0.0, 0.0};
        const int columns[2] = {x, y};
        for (int k = 0; k < 2; ++k) {
            const auto c = static_cast<std::size_t>(columns[k]);
            const std::string text = c < row.size() ? row[c] : std::string();
            char* end = nullptr;
            xy[k] = std::strtod(text.c_str(), &end);
            if (text.empty() || *end != '\0' || !std::isfinite(xy[k])) {
                why = "node.csv row " + std::to_string(table.rowNumbers[r]) + ", " +
                      table.header[c] + ": \"" + text + "\" is not a number.";
                return false;
            }
        }
        const auto c = static_cast<std::size_t>(id);
        nodes.ids.push_back(c < row.size() ? row[c] : std::string());
        nodes.xy.push_back(xy[0]);
        nodes.xy.push_back(xy[1]);
    }
    return true;
}

} // namespace

bool looksLikeGmns(const std::string& path) {
    std::error_code ec;
    const fs::path p = pathFromUtf8(path);
    if (fs::is_directory(p, ec))
        return true;
    // Any other CSV file is a GIS layer, such as one with a WKT column of lines.
    return sameFieldName(utf8FromPath(p.filename()), "link.csv") ||
           (sameFieldName(utf8FromPath(p.extension()), ".csv") &&
            exists(utf8FromPath(p.parent_path() / "node.csv")));
}

bool inspectGmns(const std::string& path, ImportSource& source, std::string& why) {
    const std::string folder = folderOf(path);
    if (!checkFolder(folder, why))
        return false;
    GmnsConfig config;
    if (!readConfig(folder, config, why))
        return false;
    CsvTable links;
    if (!readCsvFile(fileIn(folder, "link.csv"), links, why, true))
        return false;
    source.path = path;
    source.layer.clear();
    source.gmns = true;
    source.fields = links.header;
    source.mapping = matchFields(links.header);
    source.lengthUnit = config.length;
    source.speedUnit = config.speed;
    source.crs = config.crs;
    return true;
}

bool readGmns(const ImportSource& source, ImportData& data, std::string& why) {
    const std::string folder = folderOf(source.path);
    if (!checkFolder(folder, why))
        return false;
    GmnsConfig config;
    if (!readConfig(folder, config, why) || !readNodes(folder, data.nodes, why))
        return false;
    CsvTable links;
    if (!readCsvFile(fileIn(folder, "link.csv"), links, why))
        return false;
    data.links.fileName = "link.csv";
    data.links.fields = std::move(links.header);
    data.links.cells = std::move(links.rows);
    data.links.rowNumbers = std::move(links.rowNumbers);
    // GMNS's coordinates are longitude and latitude unless config.csv says otherwise.
    data.crs = config.crs.empty() ? std::string("EPSG:4326") : config.crs;
    data.georeference = config.georeference;
    return true;
}

} // namespace vantry
