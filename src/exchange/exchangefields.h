#pragma once

// The names every exchange format gives the network's layers and attributes, so that an export
// and an import always agree on them.

#include "model/network.h"

#include <string_view>

namespace vantry {

inline constexpr const char* kLinksLayer = "links";
inline constexpr const char* kNodesLayer = "nodes";

namespace linkfield {
inline constexpr const char* kLinkId = "link_id";
inline constexpr const char* kFromNodeId = "from_node_id";
inline constexpr const char* kToNodeId = "to_node_id";
inline constexpr const char* kDirected = "directed";      // always 1 (true) on export
inline constexpr const char* kLength = "length";          // miles
inline constexpr const char* kLengthAuto = "length_auto"; // 1 when the length is automatic
inline constexpr const char* kLanes = "lanes";
inline constexpr const char* kCapacity = "capacity";          // vehicles per lane per hour
inline constexpr const char* kFreeSpeed = "free_speed";       // mph
inline constexpr const char* kJamDensity = "jam_density";     // vehicles per lane per mile
inline constexpr const char* kFacilityType = "facility_type"; // facilityTypeText below
inline constexpr const char* kLinkType = "link_type";         // the network's own type code
inline constexpr const char* kDirection = "direction";        // I or O
inline constexpr const char* kTwoWaySide = "two_way_side";
inline constexpr const char* kName = "name"; // the link's description
} // namespace linkfield

namespace nodefield {
inline constexpr const char* kNodeId = "node_id";
inline constexpr const char* kXCoord = "x_coord"; // GMNS node.csv only: the others have geometry
inline constexpr const char* kYCoord = "y_coord";
} // namespace nodefield

// The facility type a link of this type is in the files other modelling tools read; empty for
// a link without a type.
inline const char* facilityTypeText(LinkType type) {
    switch (type) {
    case LinkType::Mainline:
        return "mainline";
    case LinkType::Workzone:
        return "work zone";
    case LinkType::Detour1:
        return "detour 1";
    case LinkType::Detour2:
        return "detour 2";
    case LinkType::Ramp:
        return "ramp";
    case LinkType::None:
        break;
    }
    return "";
}

// Where an export keeps a placed network's georeference (formatGeoreference's text): a column of
// GMNS config.csv, and a dataset metadata item of the GIS formats that keep metadata.
inline constexpr const char* kGeoreferenceColumn = "vantry_georeference";
inline constexpr const char* kGeoreferenceMetadata = "VANTRY_GEOREFERENCE";

// The CRS of an unplaced network's export: plane coordinates in international miles with no
// place on Earth. GIS programs show it as a local plane with a mile unit and measure in miles;
// an import recognises it by its name and keeps the coordinates as the network's miles.
inline constexpr const char* kLocalMilesCrsName = "Vantry network miles";
inline constexpr const char* kLocalMilesCrsWkt = "LOCAL_CS[\"Vantry network miles\","
                                                 "LOCAL_DATUM[\"Vantry network\",32767],"
                                                 "UNIT[\"mile\",1609.344],"
                                                 "AXIS[\"X\",EAST],"
                                                 "AXIS[\"Y\",NORTH]]";

// True when a CRS as a file states it (WKT of any version, or config.csv's text) is the local
// miles CRS of an unplaced network.
inline bool isLocalMilesCrs(std::string_view crs) {
    return crs.find(kLocalMilesCrsName) != std::string_view::npos;
}

} // namespace vantry
