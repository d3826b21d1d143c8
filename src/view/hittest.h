#pragma once

#include "model/network.h"

namespace vantry {

// Finding network objects near a point of the map. Tolerances are given in miles; callers turn
// logical units into miles by dividing by the view's scale.

// The node closest to p among those strictly closer than the tolerance; on a tie the earlier
// node in the list. Null when none is that close.
Node* FindNearestNode(const Network& network, WorldPoint p, float tolerance);

// p moved onto the nearest node within 14 logical units at the given scale, or p itself.
WorldPoint SnapToNode(const Network& network, WorldPoint p, float scale);

class Selection;

// Distance in miles from p to a link as drawn: 0 inside its band, otherwise the distance to
// the nearer of the band's two long edges.
float DistanceToLink(const Link& link, WorldPoint p, float scale);

// Selects what lies under p: the last node in the list whose circle holds p, else the last link
// whose band passes within 2 logical units. With toggle, an object that was already selected is
// taken out of the selection instead (and the result is false). True when an object was hit and
// is now selected.
bool HitTest(const Network& network, Selection& selection, WorldPoint p, float scale, bool toggle);

// Adds the nodes (unless nodesToo is false) and the links whose both ends lie inside the
// rectangle with corners a and b. Nothing happens for a rectangle shorter than 5 logical units.
void SelectInRect(const Network& network, Selection& selection, WorldPoint a, WorldPoint b,
                  float scale, bool nodesToo);

} // namespace vantry
