#pragma once

#include "exchange/exchangetables.h"

#include <string>
#include <vector>

namespace vantry {

class Network;

// A network as the layers every export writes: its links as lines and its nodes as points, with
// the fields of exchangefields.h.
struct ExportTables {
    FeatureTable links;
    FeatureTable nodes;
    std::string crs;      // for GDAL: "EPSG:4326", or the WKT of the local miles CRS
    std::string crsLabel; // as the file names it: "EPSG:4326" or the local CRS's name
    std::vector<ExchangeMetadata> metadata; // the georeference of a placed network
};

// Builds the tables: coordinates in longitude and latitude when the network is placed, otherwise
// in its own miles. False, with why, when the network's CRS cannot be used or a node lies where
// it cannot be converted.
bool buildExportTables(const Network& network, ExportTables& tables, std::string& why,
                       const ExchangeProgress& progress = {});

// The number a float holds, as the double its shortest decimal text reads as: 0.1f becomes 0.1
// rather than 0.100000001490116, and still reads back as the same float.
double plainDouble(float value);

} // namespace vantry
