#pragma once

// Small builders shared by the model tests.

#include "model/network.h"

#include <string>
#include <vector>

namespace model_test {

inline Node* addNodeAt(Network& net, float x, float y) {
    auto* n = new Node(WorldPoint{x, y});
    net.addNode(n);
    return n;
}

// Appends a link with the reader's defaults (automatic length, Inbound, type None).
inline Link* addLinkBetween(Network& net, Node* from, Node* to) {
    auto* l = new Link;
    l->setFromNode(from);
    l->setToNode(to);
    net.addLink(l);
    return l;
}

inline std::vector<int> linkIds(const Network& net) {
    std::vector<int> ids;
    for (const Link* l : net.links())
        ids.push_back(l->id());
    return ids;
}

inline std::vector<int> nodeIds(const Network& net) {
    std::vector<int> ids;
    for (const Node* n : net.nodes())
        ids.push_back(n->id());
    return ids;
}

} // namespace model_test
