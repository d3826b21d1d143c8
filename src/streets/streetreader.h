#pragma once

// Street data from the files GIS programs exchange (OpenStreetMap .osm, .osm.bz2 and .osm.pbf
// through libosmium; TIGER/Line shapefiles, GeoPackage, GeoJSON, FlatGeobuf and any other line
// layer through GDAL), turned into the same chains as the TIGER/Line record files give, with
// their coordinates in millionths of a degree of longitude and latitude.

#include "streets/streetrules.h"
#include "tiger/tigerstore.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vantry {

// How a layer's features become chains.
enum class StreetSchema { OpenStreetMap, TigerLine, Lines };

// Told how far a read has come, from 0 to 1; answering false cancels it.
using StreetProgress = std::function<bool(double)>;

// What the user says about a layer that the layer cannot say itself.
struct StreetReadOptions {
    // The unit of a bare number in a speed field. Guess takes kilometres per hour for layers that
    // look like OpenStreetMap (an osm_id, fclass or highway field) and miles per hour otherwise;
    // OpenStreetMap files always mean kilometres per hour.
    SpeedUnit speedUnit = SpeedUnit::Guess;
    // Whether railway tracks are read, to be drawn; they never become links.
    bool railways = false;
};

// What one read found.
struct StreetRead {
    std::vector<TigerChain> chains;
    std::string layer;
    StreetSchema schema = StreetSchema::Lines;
    std::size_t features = 0; // features in the layer
    std::size_t lines = 0;    // features that held a usable line
    std::size_t skipped = 0;  // features without one (points, areas, empty or broken lines)
    // Features of things that are neither roads nor water (power lines, walls, fences, the
    // outlines of buildings, railways unless asked for), left out; they are among the skipped.
    std::size_t others = 0;
    // Features with a line that lies off the globe or cannot be converted to longitude and
    // latitude; they are among the skipped, and worth telling the user about.
    std::size_t broken = 0;
    bool cancelled = false;
};

// The layers of the file that hold lines, in the file's order; an OpenStreetMap file offers its
// ways only. False, with why naming the file and the reason, when the file cannot be read as
// street data or holds no line layer.
bool listStreetLayers(const std::string& path, std::vector<std::string>& layers, std::string& why);

// Reads one line layer into chains: layer names it, or is empty for a file with a single line
// layer. Only roads, the ways beside them and water are read, and railways when asked for.
// Coordinates are taken to longitude and latitude from the layer's coordinate system; a layer
// without one is taken as longitude and latitude when its extent fits, and refused otherwise.
// False, with why naming the file and the reason, when nothing could be read, the layer holds no
// lines, or the read was cancelled (result.cancelled then says so).
bool readStreetChains(const std::string& path, const std::string& layer,
                      const StreetReadOptions& options, StreetRead& result, std::string& why,
                      const StreetProgress& progress = {});

} // namespace vantry
