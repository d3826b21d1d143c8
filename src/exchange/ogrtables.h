#pragma once

// The functions of the exchange module's table, each in the file of its job. Only the module
// (and instrumented builds, which link it in) compiles them: they are the code that calls GDAL.

#include "exchange/exchangetables.h"

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <memory>
#include <string>
#include <vector>

namespace vantry {

bool ogrWriteTables(const std::string& path, const std::string& driver, const std::string& crs,
                    const std::vector<ExchangeMetadata>& metadata,
                    const std::vector<FeatureTable>& tables, std::string& why,
                    const ExchangeProgress& progress);

bool ogrListLayers(const std::string& path, std::vector<std::string>& layers, std::string& why);

bool ogrReadTable(const std::string& path, const std::string& layer, FeatureTable& table,
                  std::string& crs, std::vector<ExchangeMetadata>& metadata, std::string& why,
                  const ExchangeProgress& progress);

// GDAL's handles, released when they go.
struct DatasetCloser {
    void operator()(void* dataset) const { GDALClose(dataset); }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

struct SrsReleaser {
    void operator()(void* srs) const { OSRRelease(srs); }
};
using Srs = std::unique_ptr<void, SrsReleaser>;

struct FeatureDestroyer {
    void operator()(void* feature) const { OGR_F_Destroy(feature); }
};
using Feature = std::unique_ptr<void, FeatureDestroyer>;

// GDAL set up once for the module: its drivers registered and its messages kept from standard
// error (they come back through lastGdalError()).
void prepareGdal();
// GDAL's last message, or `fallback` when it gave none.
std::string lastGdalError(const char* fallback);

} // namespace vantry
