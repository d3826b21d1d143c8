#pragma once

// What a line of street data is, by its OpenStreetMap tags or by the value of a layer's class
// field: a road, a way beside the roads, water, a railway, or nothing to be drawn.

#include <string>
#include <string_view>
#include <utility>

namespace vantry {

struct OsmTags;

// What a line of street data is drawn as. Lines that are none of these (power lines, walls,
// fences, boundaries) are not read at all, and railways only when the user asks for them.
enum class LineKind { None, Road, Way, Water, Railway };

// The kind of an OpenStreetMap way by its tags: any highway that is built (roads, and the
// footways, tracks and paths beside them), water that flows or lies (waterway river, stream,
// canal, drain, ditch; natural water and coastline), railway tracks.
LineKind osmLineKind(const OsmTags& tags);

// The kind of a line by the value of a layer's class field (highway, fclass, class, type or
// MTFCC): OpenStreetMap's words, as the widely used shapefiles put roads, waterways and
// railways in one field, or a TIGER/Line MTFCC (S roads and paths, H water, R rail).
LineKind classLineKind(std::string_view value);

// True for a class word that names a line no one travels along or that is not built: power
// lines and cables, walls, fences and other barriers, dams, pipelines, boundaries, MTFCCs of
// boundaries (L...), and OpenStreetMap's words for ways proposed or gone.
bool namesNoWay(std::string_view value);

// True for the highway kinds that are roads: motorway, trunk, primary, secondary, tertiary, their
// links, unclassified, residential, living_street and service.
bool isOsmRoad(std::string_view highway);

// The road class of a TIGER/Line MTFCC ("S1400"), with the kind of service road for the codes
// that are one; empty for codes that are not roads a car may use.
std::pair<std::string, std::string> roadClassOfMtfcc(std::string_view mtfcc);

} // namespace vantry
