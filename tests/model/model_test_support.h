#pragma once

// Small builders shared by the model tests.

#include "model/network.h"

#include <bit>
#include <cstdint>
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

template <class T> std::vector<int> ids(const std::vector<T*>& objects) {
    std::vector<int> out;
    for (const T* o : objects)
        out.push_back(o->id());
    return out;
}

// Everything a network holds, floats as their bit patterns, so that two networks compare equal
// only when they are exactly the same.
inline std::string exactDump(const Network& net) {
    auto bits = [](float f) { return std::to_string(std::bit_cast<std::uint32_t>(f)); };
    std::string out;
    for (const Node* n : net.nodes())
        out += "node " + std::to_string(n->id()) + " " + bits(n->x()) + " " + bits(n->y()) +
               " links " + std::to_string(n->links().size()) + "\n";
    for (const Link* l : net.links()) {
        out += "link " + std::to_string(l->id()) + " " +
               std::to_string(l->fromNode() ? l->fromNode()->id() : 0) + " " +
               std::to_string(l->toNode() ? l->toNode()->id() : 0) + " " +
               std::to_string(l->numLanes()) + " " + std::to_string(l->capacity()) + " " +
               bits(l->storedLength()) + " " + std::to_string(l->ffSpeed()) + " " +
               std::to_string(l->jamDensity()) + " " + std::to_string(l->direction()) + " " +
               std::to_string(l->type()) + " " + std::to_string(l->twoWaySide()) + " [" +
               l->description() + "]\n";
    }
    const WorldRect r = net.bitmapRect();
    out += "bitmap [" + net.bitmapPath() + "] " + bits(r.top) + " " + bits(r.bottom) + " " +
           bits(r.left) + " " + bits(r.right) + "\n";
    return out;
}

} // namespace model_test
