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
    std::string name;
    std::string ref;
    std::string railway;
    std::string waterway;
};

// The fields of a line layer that is neither OpenStreetMap nor TIGER/Line; absent ones are
// empty.
struct LineFields {
    std::string lanes;
    std::string oneway;
    std::string maxspeed;
    std::string name;
};

// True for the highway kinds that are roads: motorway, trunk, primary, secondary, tertiary, their
// links, unclassified, residential, living_street and service.
bool isOsmRoad(std::string_view highway);

// Sets the chain's class, traffic rule, lanes each way, speed and description from a way's tags.
// Ways that are not roads are drawn only: their traffic is None.
void applyOsmTags(const OsmTags& tags, TigerChain& chain);

// The same from a TIGER/Line shapefile's MTFCC and FULLNAME. Roads are S1100 to S1780 except the
// vehicular trails (S1500) and the walkways and stairways (S1710, S1720); ramps (S1630) run in
// drawing order only; primary and secondary roads (S1100, S1200) carry two lanes each way.
void applyMtfcc(std::string_view mtfcc, std::string_view fullName, TigerChain& chain);

// The same for any other line layer, whose every line is a road: lanes, oneway and maxspeed
// read as the tags of the same names are, the name as the description.
void applyLineFields(const LineFields& fields, TigerChain& chain);

// Miles per hour from a speed limit as OpenStreetMap writes it: "45 mph" is 45, a bare number
// or one in "km/h" is converted from kilometres per hour and rounded (50 gives 31). 0 when the
// text gives no usable speed ("none", "walk", a country code).
std::int32_t speedFromMaxspeed(std::string_view text);

// One line of a layer as read, with the attributes its chains will carry.
struct StreetLine {
    TigerChain chain;
    std::vector<TigerPoint> points;
};

// Turns lines into chains. A road line is cut at every interior point it shares with another
// road line, so that each chain runs between intersections or ends; a chain that would come back
// to its own start is cut once more at its middle point, so that it can become links. Other
// lines stay whole. The chains are appended to out in the order of the lines.
void splitIntoChains(std::vector<StreetLine>& lines, std::vector<TigerChain>& out);
