#pragma once

#include <string>
#include <string_view>

namespace vantry {

// Where a network lies on Earth: its miles, scaled to the CRS's linear unit and moved by the
// origin, are coordinates of a projected CRS.
struct Georeference {
    std::string crs; // "EPSG:2263" or a PROJ string, as given; empty: the network is not placed
    double originX = 0.0; // the CRS coordinates, in its own units, of the network's point 0,0
    double originY = 0.0;
    bool placed() const { return !crs.empty(); }
    bool operator==(const Georeference&) const = default;
};

// True when a file can hold the georeference and give it back: the CRS fits on one line (no line
// break, tab or other control character) and the origin is finite. Otherwise `why` says what is
// wrong in one line. An unplaced georeference always can.
bool checkGeoreference(const Georeference& g, std::string* why = nullptr);

// The georeference as the text format writes it after its keyword: "ORIGIN_X ORIGIN_Y CRS", each
// origin with the shortest digits that read back as the same double.
std::string formatGeoreference(const Georeference& g);
// Reads formatGeoreference's text (blanks before and between the fields do not matter; the CRS
// runs to the end, blanks after it dropped). False, with what is wrong in `why`, when the origin
// is not two finite numbers, the CRS is missing or it could not be kept; `g` is then unchanged.
bool parseGeoreference(std::string_view text, Georeference& g, std::string* why = nullptr);

} // namespace vantry
