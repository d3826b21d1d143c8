#pragma once

// The seam between the street-data functions and the module that reads the files with GDAL.
// GDAL brings a hundred libraries of its own; loading them only when street data is first read
// keeps them out of every start of the editor and of vantry-cli.

#include "streets/streetreader.h"

#include <string>
#include <vector>

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

#define VANTRY_STREETS_EXPORT __attribute__((visibility("default")))

// The module's one entry point, looked up by this name.
extern "C" VANTRY_STREETS_EXPORT const StreetReaderApi* vantryStreetReader();
