#pragma once

// The cutting of street lines into chains that run between the points where roads join.

#include "tiger/tigerstore.h"

#include <cstdint>
#include <vector>

namespace vantry {

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

} // namespace vantry
