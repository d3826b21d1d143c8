#pragma once

#include "model/geometry.h"
#include "model/georeference.h"

#include <string>
#include <vector>

namespace vantry {

// Where an import puts the source's nodes, in the network's miles.
struct PlacedNodes {
    std::vector<WorldPoint> miles;
    Georeference georeference; // unplaced when the source had no place on Earth
    std::vector<std::string> warnings;
};

// Converts x, y pairs in the source's CRS to miles. The local miles CRS of an unplaced network's
// export keeps its coordinates as miles. Otherwise the exported network's georeference, when the
// source carries its text, gives back the same miles; a plane CRS is kept as the georeference
// with its origin at the data's centre; and longitude and latitude get a transverse Mercator
// projection about the centre. False, with PROJ's refusal naming the CRS, when the CRS or a
// point cannot be converted. Coordinates without a CRS are longitude and latitude when every
// one of them can be, and otherwise a plane in milesPerUnit, which leaves the network unplaced.
bool placeNodes(const std::string& crs, const std::string& georeferenceText,
                const std::vector<double>& xy, double milesPerUnit, PlacedNodes& placed,
                std::string& why);

} // namespace vantry
