#pragma once

// Auto-Populate: turning TIGER/Line road chains into network nodes and links. Each chain becomes
// a link between nodes at its two end points, and a second link back unless its feature class
// is one-way. Nodes already at a chain end are reused and existing links are not doubled, so
// populating the same area twice adds nothing.
//
// These are model operations only: the calling tool takes the undo snapshot before, and marks
// the document modified and redraws after (or gives the snapshot back when nothing changed).

#include "model/drawsizes.h"
#include "model/editing.h"
#include "model/network.h"
#include "tiger/nodegrid.h"
#include "tiger/tigerstore.h"

// A chain end reuses a node strictly closer than this, in miles.
constexpr float kTigerNodeTolerance = 0.001f;
// In logical units: a drag smaller than this both ways is a click, and a click takes the first
// road chain whose straight segment passes closer than this.
constexpr float kTigerClickUnits = kClickUnits;

// Populates from the gesture of the Auto-Populate tool: dragStart where the button went down,
// dragEnd where it came up, scale the view's logical units per mile, origin the document's
// TIGER/Line origin. A gesture smaller than 5 logical units both ways is a click at dragEnd and
// populates the first road chain (class A), in TLID order, whose straight segment between its end
// points lies closer than 5 logical units; shape points play no part. Otherwise every road chain
// with both end points inside or on the edge of the rectangle is populated, in TLID order.
// True when anything was created.
bool AutoPopulateAt(Network& network, const TigerStore& store, TigerPoint origin,
                    WorldPoint dragStart, WorldPoint dragEnd, float scale,
                    const LinkDefaults& defaults);

// Every road chain of the store, in TLID order, wherever it lies. True when anything was created.
bool AutoPopulateAll(Network& network, const TigerStore& store, TigerPoint origin,
                     const LinkDefaults& defaults);

// Makes one chain's nodes and links: a node at each end unless one lies within
// kTigerNodeTolerance, then the link from start to end and, unless the class is one-way, the
// link back, each only when missing. Links get the defaults with 2 lanes for classes A1 and A2
// and 1 for the others. A chain that says which way traffic runs, how many lanes each way
// carries, its speed or its name gets those instead. A closed loop (both ends at one node)
// makes its node and no link.
// True when anything was created. The grid must index the network's nodes; new nodes are added
// to it.
bool PopulateChain(Network& network, const TigerChain& chain, TigerPoint origin,
                   const LinkDefaults& defaults, NodeGrid& nodes);

// The same for a single chain, indexing the network's nodes for this call only.
bool PopulateChain(Network& network, const TigerChain& chain, TigerPoint origin,
                   const LinkDefaults& defaults);
