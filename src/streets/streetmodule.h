#pragma once

// The seam between the street-data functions and the module that reads the files with GDAL.
// GDAL brings a hundred libraries of its own; loading them only when street data is first read
// keeps them out of every start of the editor and of vantry-cli.

#include "streets/streetreader.h"

#include <string>
#include <vector>

namespace vantry {

// Raised whenever the table below changes, so that a program never calls a module built for
// another one.
constexpr int kStreetReaderApiVersion = 3;

struct StreetReaderApi {
    int version;
    bool (*listLayers)(const std::string& path, std::vector<std::string>& layers, std::string& why);
    bool (*readChains)(const std::string& path, const std::string& layer,
                       const StreetReadOptions& options, StreetRead& result, std::string& why,
                       const StreetProgress& progress);
};

// What looking for the module found: its table, or why there is none.
struct StreetModule {
    const StreetReaderApi* api = nullptr;
    std::string failure;
};

// Where the module may be, in the order tried: named by VANTRY_STREETS_MODULE (for a relocated
// installation), installed beside the program's own folder, or where this build put it.
std::vector<std::string> streetModulePlaces();

// Loads the first of `places` that holds this version's street data reader. When none does, the
// failure says of each place why not ("/opt/x.so: no such file or directory"). Only a regular
// file is handed to the system's loader, which would wait on a pipe for ever.
StreetModule loadStreetModule(const std::vector<std::string>& places);

#define VANTRY_STREETS_EXPORT __attribute__((visibility("default")))

// The module's one entry point, looked up by this name.
extern "C" VANTRY_STREETS_EXPORT const StreetReaderApi* vantryStreetReader();

} // namespace vantry
