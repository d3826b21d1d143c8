#pragma once

// The plain tables that pass between the exchange functions and the module that reads and writes
// GIS files with GDAL. GDAL brings a hundred libraries of its own; like the street data reader,
// the exchange module is loaded only when a GIS file is first exported or imported.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vantry {

// Told how far an export or import has come, from 0 to 1; answering false cancels it.
using ExchangeProgress = std::function<bool(double)>;

enum class FieldKind { Integer, Real, Text };

// One attribute of every row of a table. Only the vector of the column's kind is used; nulls is
// empty when no row's value is null, and otherwise has one flag per row.
struct TableColumn {
    std::string name;
    FieldKind kind = FieldKind::Text;
    std::vector<std::int64_t> integers;
    std::vector<double> reals;
    std::vector<std::string> texts;
    std::vector<bool> nulls;
    bool isNull(std::size_t row) const { return !nulls.empty() && nulls[row]; }
};

// A layer of points or lines: its columns, and for each row the coordinates of its geometry in
// the table's CRS. Row i's points are xy[2 * starts[i]] .. xy[2 * starts[i + 1]] (x then y);
// starts has one more entry than there are rows. A row whose geometry is missing has no points.
struct FeatureTable {
    std::string name;
    bool points = false; // point features (one point a row) rather than lines
    std::vector<TableColumn> columns;
    std::vector<double> xy;
    std::vector<std::size_t> starts{0};
    std::size_t rows() const { return starts.size() - 1; }
};

// One item of a dataset's metadata, such as the georeference of the network it was exported from.
struct ExchangeMetadata {
    std::string name;
    std::string value;
};

// Raised whenever the table below changes, so that a program never calls a module built for
// another one.
constexpr int kExchangeModuleApiVersion = 1;

struct ExchangeModuleApi {
    int version;
    // Writes the tables as the layers of a new file, replacing `path` only once all is written.
    // driver is GDAL's name ("GPKG", "GeoJSON", "ESRI Shapefile", "FlatGeobuf"); crs is anything
    // OGRSpatialReference::SetFromUserInput takes ("EPSG:4326", WKT, a PROJ string). Formats of
    // one layer a file write the second and later tables beside the first, as
    // "NAME_<table name>.EXT". False, with why naming the file, when anything could not be
    // written; nothing is then left behind.
    // metadata is kept where the format keeps a dataset's metadata (GeoPackage, FlatGeobuf) and
    // left out where it keeps none.
    bool (*writeTables)(const std::string& path, const std::string& driver, const std::string& crs,
                        const std::vector<ExchangeMetadata>& metadata,
                        const std::vector<FeatureTable>& tables, std::string& why,
                        const ExchangeProgress& progress);
    // The file's vector layers, in its order.
    bool (*listLayers)(const std::string& path, std::vector<std::string>& layers, std::string& why);
    // Reads one layer (empty: the file's only or first one) with every field in its own kind
    // (integers and reals as such, everything else as text) and its geometry in the layer's own
    // coordinates; crs receives the layer's CRS as WKT, empty when it has none. Multi-part lines
    // give their parts joined in order.
    // metadata receives the dataset's metadata items (those writeTables kept).
    bool (*readTable)(const std::string& path, const std::string& layer, FeatureTable& table,
                      std::string& crs, std::vector<ExchangeMetadata>& metadata, std::string& why,
                      const ExchangeProgress& progress);
};

} // namespace vantry
