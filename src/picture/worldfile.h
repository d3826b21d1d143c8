#pragma once

#include "picture/pixelgrid.h"

#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// Reads a world file: six numbers, one a line (pixel size in x, the two rotation terms, pixel
// size in y, then the CRS coordinates of the centre of the upper-left pixel). False, with a
// one-line reason naming `name`, when there are not six finite numbers or a pixel has no size.
bool parseWorldFile(std::string_view text, const std::string& name, PixelGrid& grid,
                    std::string& why);

// The files that may hold a picture's world file, in the order they are looked for: the
// extension's first and last letters and a "w" (.pgw, .jgw, .tfw, .bpw), the extension and a
// "w" (.pngw, .tifw, .bmpw), then .wld; each in the extension's own case and the other.
std::vector<std::string> worldFileNames(const std::string& picturePath);

// The CRS a GDAL auxiliary file (.aux.xml) gives in its SRS element, entities replaced; empty
// when it names none.
std::string auxiliaryCrs(std::string_view xml);

} // namespace vantry
