#pragma once

#include "model/network.h"

// Finding network objects near a point of the map. Tolerances are given in miles; callers turn
// logical units into miles by dividing by the view's scale.

// The node closest to p among those strictly closer than the tolerance; on a tie the earlier
// node in the list. Null when none is that close.
Node* FindNearestNode(const Network& network, WorldPoint p, float tolerance);

// p moved onto the nearest node within 14 logical units at the given scale, or p itself.
WorldPoint SnapToNode(const Network& network, WorldPoint p, float scale);
