#pragma once

#include "exchange/exchangetables.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vantry {

class Network;

// The link attributes an import fills, each from one field of the source.
enum class ImportField {
    LinkId,
    FromNode,
    ToNode,
    Directed,
    Lanes,
    Capacity,
    FreeSpeed,
    JamDensity,
    Length,
    LengthAuto,
    Direction,
    LinkType,
    FacilityType,
    Description,
    TwoWaySide,
    Count
};

// How dialogs and messages name a field: "lanes", "free-flow speed".
const char* importFieldLabel(ImportField field);

enum class LengthUnit { Unknown, Miles, Feet, Metres, Kilometres };
enum class SpeedUnitOfSource { Unknown, MilesPerHour, KilometresPerHour };

// For each attribute, the source field it is read from; empty when it is not read.
using FieldMapping = std::array<std::string, static_cast<std::size_t>(ImportField::Count)>;

// What a first look at a source found: its fields, the mapping chosen by their names, and the
// units and CRS it states.
struct ImportSource {
    std::string path;  // the GMNS folder, its link.csv, or the GIS file
    std::string layer; // the GIS layer read; empty for GMNS
    bool gmns = false;
    std::vector<std::string> fields;             // the link table's fields, in its order
    FieldMapping mapping;                        // chosen by name, case-blind
    LengthUnit lengthUnit = LengthUnit::Unknown; // Unknown: not stated, ask the user
    SpeedUnitOfSource speedUnit = SpeedUnitOfSource::Unknown;
    std::string crs; // as stated (GMNS config.csv's crs, or the layer's); empty when not stated
};

// Looks at the source without reading its rows. A GIS file's layer is source.layer when that is
// set on entry, otherwise the one named "links" or else its first. False, with why naming the
// file, when it cannot be read as a GMNS folder, a link.csv or a GIS line layer (a GMNS folder
// without node.csv, a layer without lines or from/to fields).
bool inspectImport(const std::string& path, ImportSource& source, std::string& why);

// What the user confirmed: the mapping and the units (never Unknown).
struct ImportChoices {
    FieldMapping mapping;
    LengthUnit lengthUnit = LengthUnit::Miles;
    SpeedUnitOfSource speedUnit = SpeedUnitOfSource::MilesPerHour;
};

struct ImportResult {
    std::size_t rows = 0;  // link rows or features read
    std::size_t links = 0; // links made (an undirected row makes two)
    std::size_t nodes = 0;
    // One line each, naming the row and field ("link.csv row 12, lanes: \"two\" is not a
    // number"), or a remark on the whole source (lengths read as feet).
    std::vector<std::string> warnings;
};

// Reads the source into the empty network: nodes placed in miles around the data's centre, the
// network georeferenced, every link row a link (an undirected one two) with its values as they
// are. What cannot be read is reported by row and field and the rest is kept. False, with why,
// when nothing could be read or a link names a node that does not exist; the network is then
// left empty.
bool importNetwork(const ImportSource& source, const ImportChoices& choices, Network& network,
                   ImportResult& result, std::string& why, const ExchangeProgress& progress = {});

} // namespace vantry
