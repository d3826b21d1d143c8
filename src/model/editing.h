#pragma once

#include "model/network.h"

#include <cstdint>
#include <vector>

namespace vantry {

// The traffic attributes a link drawn by the user starts with (the user's preferences).
struct LinkDefaults {
    std::int32_t numLanes = 2;
    std::int32_t capacity = 1400;
    std::int32_t ffSpeed = 50;
    std::int32_t jamDensity = 190;
};

// The message shown when deleteSelection had to keep nodes.
extern const char* const kNodesStillLinkedMessage;

// The model operations behind the user's edits. Each changes the network only: the undo
// snapshot, the modified flag and the redraw are the caller's part of every edit.

// Makes a node at p and appends it.
Node* createNodeAt(Network& net, WorldPoint p);
// Makes a link from `from` to `to` with the given attributes and appends it; nothing checks for
// an existing link between the two.
Link* createLink(Network& net, Node* from, Node* to, const LinkDefaults& defaults);
// Creates from a to b unless that link exists and, when twoWay, from b to a (Outbound) unless
// that one exists. True when at least one link was created.
bool connectNodes(Network& net, Node* a, Node* b, bool twoWay, const LinkDefaults& defaults);
// Cuts each link in `found` at the new node n: the old link now starts at n, and a new link from
// its old start node to n is appended with its attributes. Both pieces get automatic lengths.
void splitLinksAt(Network& net, Node* n, const std::vector<Link*>& found);
// Deletes the selected links, then every selected node that no longer has links attached.
// Deleted objects leave the selection; kept nodes stay selected. False when a node was kept.
bool deleteSelection(Network& net, std::vector<Link*>& selLinks, std::vector<Node*>& selNodes);
// Adds d to the position of every node; callers recompute the bounds afterwards.
void moveNodes(const std::vector<Node*>& nodes, WorldPoint d);

} // namespace vantry
