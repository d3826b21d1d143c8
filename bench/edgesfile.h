#pragma once

#include <string>

namespace vantry {

// Writes a county-sized TIGER/Line EDGES shapefile at path (with its .shx, .dbf and .prj): a
// jittered street grid of about `edges` edges with the full EDGES attribute table, in NAD83
// longitude and latitude, with primary, secondary and local roads, ramps, and some streams and
// boundary lines that are not roads. False, with why, when it cannot be written.
bool writeEdgesShapefile(const std::string& path, int edges, std::string& why);

} // namespace vantry
