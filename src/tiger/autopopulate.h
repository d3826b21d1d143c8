#pragma once

// Auto-Populate: turning road chains (TIGER/Line records or street data) into network nodes and
// links. Each chain becomes a link between nodes at its two end points, and a second link back
// unless it is one-way. Nodes already at a chain end are reused and existing links are not doubled,
// so populating the same area twice adds nothing.
//
// These are model operations only: the calling tool takes the undo snapshot before, and marks
// the document modified and redraws after (or gives the snapshot back when nothing changed).

#include "model/drawsizes.h"
#include "model/editing.h"
#include "model/network.h"
#include "tiger/nodegrid.h"
#include "tiger/roadclasses.h"
#include "tiger/tigerstore.h"

namespace vantry {

// A chain end reuses a node strictly closer than this, in miles.
constexpr float kTigerNodeTolerance = 0.001f;
// In logical units: a drag smaller than this both ways is a click, and a click takes the first
// road chain whose straight segment passes closer than this.
constexpr float kTigerClickUnits = kClickUnits;

// Whether Auto-Populate makes links of a chain: record-file chains of the road classes (A);
// street data's roads open to cars, of the road classes chosen (every road of a layer that names
// no classes).
bool ChainIsPopulated(const TigerChain& chain, const PopulateOptions& options);

// Populates from the gesture of the Auto-Populate tool: dragStart where the button went down,
// dragEnd where it came up, scale the view's logical units per mile, origin the document's
// TIGER/Line origin. A gesture smaller than 5 logical units both ways is a click at dragEnd and
// populates the first chain that is populated at all, in TLID order, whose straight segment
// between its end points lies closer than 5 logical units; shape points play no part. Otherwise
// every such chain with both end points inside or on the edge of the rectangle is populated, in
// TLID order. True when anything was created.
bool AutoPopulateAt(Network& network, const TigerStore& store, TigerPoint origin,
                    WorldPoint dragStart, WorldPoint dragEnd, float scale,
                    const PopulateOptions& options);

// Every chain that is populated at all, in TLID order, wherever it lies. True when anything was
// created.
bool AutoPopulateAll(Network& network, const TigerStore& store, TigerPoint origin,
                     const PopulateOptions& options);

// Makes one chain's nodes and links: a node at each end unless one can be reused, then the link
// from start to end and, unless the chain is one-way, the link back, each only when missing.
//
// Record-file chains reuse any node within kTigerNodeTolerance, and their links get the user's
// link defaults with 2 lanes for classes A1 and A2 and 1 for the others, and automatic lengths.
//
// Street chains join only where the data joins them (an end reuses a node exactly there, or one
// within the tolerance that no other street end lies on). Their links get the lanes and speed
// the data gives in each direction, the road class's defaults for what it does not give and for
// capacity and jam density, the street's name, and the length along the road's shape, kept as a
// fixed length when it differs from the straight line by more than the precision keeps.
//
// A closed loop (both ends at one node) makes its node and no link. True when anything was
// created. The grid must index the network's nodes; new nodes are added to it.
bool PopulateChain(Network& network, const TigerChain& chain, TigerPoint origin,
                   const PopulateOptions& options, NodeGrid& nodes);

// The same for a single chain, indexing the network's nodes for this call only.
bool PopulateChain(Network& network, const TigerChain& chain, TigerPoint origin,
                   const PopulateOptions& options);

} // namespace vantry
