#include "exchange/exchangemodule.h"

#include "base/files.h"
#include "exchange/ogrtables.h"

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>

#include <mutex>

namespace vantry {

namespace {

// Messages are collected per thread: what a failed call said is read back by the same thread.
void quietHandler(CPLErr, CPLErrorNum, const char*) {}

} // namespace

void prepareGdal() {
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        CPLSetErrorHandler(quietHandler);
    });
}

std::string lastGdalError(const char* fallback) {
    const char* message = CPLGetLastErrorMsg();
    return message && *message ? std::string(message) : std::string(fallback);
}

bool ogrListLayers(const std::string& path, std::vector<std::string>& layers, std::string& why) {
    layers.clear();
    if (!checkReadableFile(path, why)) {
        why = "Cannot read \"" + path + "\": " + why + ".";
        return false;
    }
    prepareGdal();
    CPLErrorReset();
    GDALDatasetH dataset =
        GDALOpenEx(path.c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY, nullptr, nullptr, nullptr);
    if (!dataset) {
        why = "Cannot read \"" + path + "\": " + lastGdalError("it is not a GIS file GDAL knows") +
              ".";
        return false;
    }
    for (int i = 0; i < GDALDatasetGetLayerCount(dataset); ++i)
        layers.emplace_back(OGR_L_GetName(GDALDatasetGetLayer(dataset, i)));
    GDALClose(dataset);
    return true;
}

extern "C" const ExchangeModuleApi* vantryExchangeModule() {
    static const ExchangeModuleApi api{kExchangeModuleApiVersion, ogrWriteTables, ogrListLayers,
                                       ogrReadTable};
    return &api;
}

} // namespace vantry
