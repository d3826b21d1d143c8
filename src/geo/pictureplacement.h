#pragma once

#include "model/georeference.h"
#include "picture/pixelgrid.h"

#include <cstdint>
#include <string>

namespace vantry {

// Where a background picture belongs on a placed network, from what the picture says of itself:
// a world file beside it, or a GeoTIFF's own tags.
struct PicturePlacement {
    enum class Kind {
        None,    // the picture says nothing of where it lies, or the network is not placed
        Placed,  // the rectangle below holds
        Refused, // the picture says where it lies, but it cannot be put there: `note` says why
    };
    Kind kind = Kind::None;
    // The picture's outer edges, network miles.
    double left = 0.0;
    double bottom = 0.0;
    double right = 0.0;
    double top = 0.0;
    // One line for the user: "Placed from pic.pgw (EPSG:2263)", or why it could not be.
    std::string note;
};

// The placement of a grid of `width` x `height` pixels in `crs` (empty: the network's own) on a
// network placed by `network`. `source` names the file the grid came from, for the note. The
// network's own CRS converts straight to miles; another goes through longitude and latitude,
// and the rectangle is the one that holds the four corners.
PicturePlacement placeGrid(const PixelGrid& grid, std::int32_t width, std::int32_t height,
                           const std::string& crs, const Georeference& network,
                           const std::string& source);

// Looks beside the picture at `picturePath` for what places it (a GeoTIFF's tags first, then a
// world file, whose CRS a .aux.xml or .prj file beside it gives, else the network's) and places
// it. A network that is not placed gets Kind::None without a look at any file.
PicturePlacement placePicture(const std::string& picturePath, std::int32_t width,
                              std::int32_t height, const Georeference& network);

} // namespace vantry
