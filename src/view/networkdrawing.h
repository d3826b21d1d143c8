#pragma once

#include "model/network.h"

#include <utility>

namespace vantry {

class RenderSurface;

// The drawn ends of a link from node position a to node position b: both lie on the node
// circles, 22.5 degrees to the right of the centre line, so that the two links of a two-way
// pair fall on opposite sides.
std::pair<WorldPoint, WorldPoint> LinkEndpoints(WorldPoint a, WorldPoint b, float scale);

// A node: a grey circle, outlined black (magenta when selected), with its number on it.
void drawNode(RenderSurface& surface, const Node& node, bool selected);

// A link: a half arrow on the right of the line between its drawn ends, filled by its type,
// with its number beside the band. Links too short on screen to show a direction are left out.
void drawLink(RenderSurface& surface, const Link& link, bool selected);

} // namespace vantry
