#pragma once

#include "exchange/exchangeformats.h"
#include "exchange/exchangetables.h"

#include <cstddef>
#include <string>

namespace vantry {

class Network;

// What an export wrote.
struct ExportResult {
    std::size_t nodes = 0;
    std::size_t links = 0;
    std::string crs; // the coordinates' CRS as the file states it: "EPSG:4326" or a local one
    std::vector<std::string> files; // every file written, the first one the path asked for
};

// Writes the network's links as line features and its nodes as point features, with every link
// attribute, in longitude and latitude (EPSG:4326) when the network is placed and otherwise in a
// local engineering CRS in miles. GMNS writes node.csv, link.csv and config.csv into the folder
// `path` (made when missing). Nothing is replaced until everything has been written; on failure
// nothing is left behind and why names the file and what went wrong.
bool exportNetwork(const Network& network, const std::string& path, ExchangeFormat format,
                   ExportResult& result, std::string& why, const ExchangeProgress& progress = {});

} // namespace vantry
