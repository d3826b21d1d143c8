#pragma once

#include "exchange/importrows.h"
#include "exchange/networkimport.h"

#include <string>

namespace vantry {

// True when the path names a GMNS folder, its link.csv, or a .csv file beside a node.csv.
bool looksLikeGmns(const std::string& path);

// Reads the folder's config.csv (when there is one) and link.csv's header: the fields, the units
// and the CRS stated. False, with why naming the file, when the folder has no node.csv or
// link.csv or one cannot be read.
bool inspectGmns(const std::string& path, ImportSource& source, std::string& why);

// Reads node.csv, link.csv and config.csv of the folder the source names. A node whose
// coordinates cannot be read is refused, naming its row and field.
bool readGmns(const ImportSource& source, ImportData& data, std::string& why);

} // namespace vantry
