#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vantry {

// The nodes of a source: their ids as written and their coordinates in the source's CRS.
struct ImportNodes {
    std::vector<std::string> ids;
    std::vector<double> xy; // x then y for each id
};

// The link rows of a source as text, whatever the source's own kinds, so that every format is
// read by the same rules.
struct ImportRows {
    std::string fileName; // how messages name the table: "link.csv", "links"
    std::vector<std::string> fields;
    std::vector<std::vector<std::string>> cells;
    std::vector<std::size_t> rowNumbers; // as messages name the rows
};

// Everything an import reads from a source before it makes the network.
struct ImportData {
    ImportRows links;
    ImportNodes nodes;
    std::string crs;          // the coordinates' CRS as the source states it; empty: not stated
    std::string georeference; // formatGeoreference's text of the network exported; empty if none
    std::vector<std::string> warnings;
};

} // namespace vantry
