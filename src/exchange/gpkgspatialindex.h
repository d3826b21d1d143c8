#pragma once

#include "exchange/exchangetables.h"

#include <string>
#include <vector>

namespace vantry {

// Builds the spatial index of each table of a GeoPackage GDAL has written without one, as the
// R*-tree GeoPackage readers expect (its table, triggers and extension row), packed at once from
// the tables' own coordinates. SQLite inserting a million boxes one by one takes three quarters
// of an export's time; packing them sorted along a Hilbert curve takes a fraction of a second
// and gives a tree at least as good for queries. Feature i of a table must be its row i + 1.
bool buildGeoPackageIndexes(const std::string& path, const std::vector<FeatureTable>& tables,
                            std::string& why);

} // namespace vantry
