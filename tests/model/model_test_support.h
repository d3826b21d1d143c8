#pragma once

// Small builders shared by the model tests.

#include "model/network.h"

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

template <class T> std::vector<int> ids(const std::vector<T*>& objects) {
    std::vector<int> out;
    for (const T* o : objects)
        out.push_back(o->id());
    return out;
}

} // namespace model_test
