#pragma once

#include "exchange/exporttables.h"

#include <string>
#include <vector>

namespace vantry {

struct Georeference;

// Writes node.csv, link.csv and config.csv into `folder` (made when missing), replacing files of
// those names only once all three are written. config.csv says miles, mph and the CRS, and holds
// a placed network's georeference. files receives the three paths; on failure nothing is left
// behind and why names the file ("Cannot write \"out/link.csv\": ..."). Progress is told as each
// file is written; answering false cancels the export.
bool writeGmns(const ExportTables& tables, const Georeference& georeference,
               const std::string& folder, std::vector<std::string>& files, std::string& why,
               const ExchangeProgress& progress = {});

// A field as CSV writes it: quoted, with quotes doubled, when it holds a comma, a quote, a line
// break or blanks at either end.
void appendCsvField(std::string& out, std::string_view field);

} // namespace vantry
