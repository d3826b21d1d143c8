#pragma once

// How the attributes of street data (OpenStreetMap tags, TIGER/Line shapefile classes, the fields
// of any line layer) become the class, traffic rule, lanes, speed and name of chains. What kind of
// line the attributes describe is linekinds.h's, the oneway, lanes and maxspeed values
// trafficfields.h's, and the cutting of lines into chains linesplitter.h's. Nothing here reads a
// file.

#include "tiger/tigerstore.h"

#include <string>
#include <string_view>

namespace vantry {

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

} // namespace vantry
