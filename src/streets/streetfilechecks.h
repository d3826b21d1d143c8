#pragma once

// What is looked at before a library is handed a file of street data: GDAL and libosmium wait
// for ever on a pipe, and GDAL gives up the process on a shapefile's sidecar of absurd size.

#include <string>

namespace vantry {

// A file's name as messages show it, in double quotes.
std::string quotedName(const std::string& path);

// False, with why naming the file and the reason, when there is no file at path, it is empty, it
// is not a file to be read whole (a pipe or a device would keep a library waiting for ever), or a
// file the reader would open beside it (a shapefile's index, coordinate system or code page, a
// GeoPackage's journals, in either letter case, as GDAL looks for them) is no ordinary file or is
// larger than any real one could be.
bool checkStreetFile(const std::string& path, std::string& why);

} // namespace vantry
