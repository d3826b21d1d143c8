#pragma once

// How the attributes of street data (OpenStreetMap tags, TIGER/Line shapefile classes, the fields
// of any line layer) become the class, traffic rule, lanes, speed and name of chains, and how
// lines are cut into chains between intersections. Nothing here reads a file.

#include "tiger/tigerstore.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The tags of one OpenStreetMap way that decide what it becomes; an absent tag is empty.
struct OsmTags {
    std::string highway;
    std::string junction;
    std::string oneway;
    std::string lanes;
    std::string lanesForward;
    std::string lanesBackward;
    std::string maxspeed;
    std::string maxspeedForward;
    std::string maxspeedBackward;
    std::string name;
    std::string ref;
    std::string railway;
    std::string waterway;
    std::string access;
    std::string motorVehicle;
    std::string vehicle;
    std::string motorcar;
    std::string service;
    std::string area;
    std::string natural;
};

// Stores one tag of a way in tags when it is one of those above (key "lanes:forward",
// "motor_vehicle", ...); every other key is ignored. Keys are matched exactly, as OSM has them.
void setOsmTag(OsmTags& tags, std::string_view key, std::string_view value);

// How a bare number in a layer's speed field is read.
enum class SpeedUnit { Guess, MilesPerHour, KilometresPerHour };

// The fields of a line layer that is neither OpenStreetMap nor TIGER/Line; absent ones are
// empty.
struct LineFields {
    std::string roadClass; // highway, fclass, class, type or MTFCC
    std::string lanes;
    std::string lanesForward;
    std::string lanesBackward;
    std::string oneway;
    std::string maxspeed;
    std::string name;
    std::string ref;
};

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

// Sets the chain's road class, drawing class, traffic rule, lanes and speed each way and
// description from a way's tags. Ways that are not roads, areas, and roads closed to cars
// (access, vehicle, motor_vehicle or motorcar no or private) are drawn only: their traffic is
// None. Lanes and speeds the tags do not give stay 0, for the road class to decide.
void applyOsmTags(const OsmTags& tags, TigerChain& chain);

// The same from a TIGER/Line shapefile's MTFCC and FULLNAME: S1100 is a motorway, S1200 a
// primary road, S1400 a residential street, S1630 a ramp (one-way in drawing order), S1640 a
// service road, S1730 an alley and S1780 a parking lot road (both service roads). Every other
// code is drawn only.
void applyMtfcc(std::string_view mtfcc, std::string_view fullName, TigerChain& chain);

// The same for any other line layer. A class field (highway, fclass, class, type or MTFCC)
// holding OpenStreetMap's road words or an MTFCC decides which lines are roads, the others being
// drawn as the ways, water or railways classLineKind makes them; without one, every line is a
// road. bareSpeedIsMph says what a speed without a unit means.
void applyLineFields(const LineFields& fields, bool bareSpeedIsMph, TigerChain& chain);

// Miles per hour from a speed limit as OpenStreetMap writes it: "45 mph" is 45, a bare number
// or one in "km/h" is converted from kilometres per hour and rounded (50 gives 31), "walk" is 5
// and a country's implicit limit ("DE:urban", "RU:rural") is that country's figure. 0 when the
// text gives no usable speed ("none", "signals", an unknown code), for the class to decide.
std::int32_t speedFromMaxspeed(std::string_view text);

// One line of a layer as read, with the attributes its chains will carry.
struct StreetLine {
    TigerChain chain;
    std::vector<TigerPoint> points;
    // The source's own id of each point where it has them (OpenStreetMap nodes): lines are then
    // joined where they share an id. Empty for layers, whose lines are joined by position.
    std::vector<std::int64_t> nodeIds{};
};

// Turns lines into chains. A road line is cut at every interior point it shares with another
// road line, so that each chain runs between intersections or ends; a chain that would come back
// to its own start is cut once more at its middle point, so that it can become links. Other
// lines stay whole. The chains are appended to out in the order of the lines.
void splitIntoChains(std::vector<StreetLine>& lines, std::vector<TigerChain>& out);
