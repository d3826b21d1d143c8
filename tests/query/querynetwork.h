#pragma once

// The small network the expression tests look at, each link's attributes chosen so that each
// expression picks a different set.

#include "model/network.h"

#include <memory>
#include <string>

namespace vantry {

namespace query_test {

struct LinkRow {
    int from;
    int to;
    int lanes;
    int capacity;
    int speed;
    int jam;
    // Negative: automatic.
    float length;
    LinkType type;
    LinkDirection direction;
    const char* description;
};

// Nodes 1 (0,0), 2 (3,4), 3 (6,8), 4 (0,10), 5 (10,0): drawn lengths 5, 5, 6.32.., 10, 10, 10.
inline std::unique_ptr<Network> buildQueryNetwork() {
    auto net = std::make_unique<Network>();
    const float points[][2] = {{0, 0}, {3, 4}, {6, 8}, {0, 10}, {10, 0}};
    for (const auto& p : points)
        net->addNode(new Node(WorldPoint{p[0], p[1]}));
    using T = LinkType;
    using D = LinkDirection;
    const LinkRow rows[] = {
        {1, 2, 2, 3800, 55, 200, -1.0f, T::Mainline, D::Inbound, "Main St"},
        {2, 3, 3, 5700, 65, 220, 6.0f, T::Mainline, D::Outbound, "Main St north"},
        {3, 4, 1, 1800, 35, 180, -1.0f, T::Ramp, D::Inbound, "Ramp to Oak"},
        {4, 1, 2, 3600, 40, 190, 12.0f, T::Workzone, D::Outbound, "work zone (WZ)"},
        {1, 5, 4, 7600, 45, 240, -1.0f, T::Detour1, D::Inbound, ""},
        {5, 1, 1, 1900, 25, 150, 9.5f, T::None, D::Outbound, "Oak Ave"}};
    for (const LinkRow& row : rows) {
        auto* link = new Link;
        link->setFromNode(net->nodes()[static_cast<std::size_t>(row.from - 1)]);
        link->setToNode(net->nodes()[static_cast<std::size_t>(row.to - 1)]);
        link->setNumLanes(row.lanes);
        link->setCapacity(row.capacity);
        link->setFFSpeed(row.speed);
        link->setJamDensity(row.jam);
        link->setLength(row.length);
        link->setType(row.type);
        link->setDirection(row.direction);
        link->setDescription(row.description);
        net->addLink(link);
    }
    return net;
}

} // namespace query_test

} // namespace vantry
