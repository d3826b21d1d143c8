#pragma once

// Small builders shared by the model tests.

#include "model/network.h"

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace vantry {

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

// Forty links of automatic length between twenty nodes at coordinates with many decimals, then
// three typed lengths: 0.01 mile and 5 miles longer than the distance, and 5.01 miles between
// nodes at whole miles 5 miles apart (links 41, 42 and 43).
inline void buildAwkwardLengths(Network& net) {
    std::mt19937 random(20240611);
    std::uniform_real_distribution<float> coordinate(-12.0f, 12.0f);
    std::vector<Node*> nodes;
    for (int i = 0; i < 20; ++i)
        nodes.push_back(addNodeAt(net, coordinate(random), coordinate(random)));
    for (int i = 0; i < 40; ++i)
        addLinkBetween(net, nodes[i % 20], nodes[(i * 7 + 3) % 20]);
    for (const double offset : {0.01, 5.0}) {
        Link* typed = addLinkBetween(net, nodes[0], nodes[1]);
        typed->setLength(static_cast<float>(typed->automaticLength() + offset));
    }
    addLinkBetween(net, addNodeAt(net, 0, 0), addNodeAt(net, 3, 4))->setLength(5.01f);
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
               std::to_string(l->jamDensity()) + " " +
               std::to_string(static_cast<int>(l->direction())) + " " +
               std::to_string(static_cast<int>(l->type())) + " " + std::to_string(l->twoWaySide()) +
               " [" + l->description() + "]\n";
    }
    const WorldRect r = net.bitmapRect();
    out += "bitmap [" + net.bitmapPath() + "] " + bits(r.top) + " " + bits(r.bottom) + " " +
           bits(r.left) + " " + bits(r.right) + "\n";
    const Georeference& g = net.georeference();
    if (g.placed())
        out += "georeference [" + g.crs + "] " +
               std::to_string(std::bit_cast<std::uint64_t>(g.originX)) + " " +
               std::to_string(std::bit_cast<std::uint64_t>(g.originY)) + "\n";
    return out;
}

} // namespace model_test

} // namespace vantry
