#include "gridnetwork.h"

#include "model/editing.h"

#include <cmath>
#include <map>
#include <random>

namespace vantry {

namespace {

// Distance between neighbouring intersections, and how far each one may be off the lattice.
constexpr float kBlockMiles = 0.1f;
constexpr float kJitterMiles = 0.03f;

const char* const kDescriptions[] = {
    "",
    "",
    "",
    "Elm",
    "Main St",
    "Route 9 northbound",
    "Ramp to I-95 south",
    "Oak Ave between 3rd and 4th",
    "Harbor Bridge",
    "Detour  via Mill Rd",
};

void addStreetLink(Network& net, Node* from, Node* to, std::mt19937& rng) {
    auto* l = new Link;
    l->setFromNode(from);
    l->setToNode(to);
    l->setNumLanes(1 + static_cast<std::int32_t>(rng() % 4));
    l->setCapacity(1200 + 200 * static_cast<std::int32_t>(rng() % 6));
    l->setFFSpeed(25 + 5 * static_cast<std::int32_t>(rng() % 10));
    l->setJamDensity(160 + 10 * static_cast<std::int32_t>(rng() % 7));
    l->setDirection(rng() % 2 == 0 ? LinkDirection::Inbound : LinkDirection::Outbound);
    l->setType(static_cast<LinkType>(rng() % 6));
    l->setDescription(kDescriptions[rng() % std::size(kDescriptions)]);
    // Some links carry a surveyed length instead of following their nodes.
    if (rng() % 8 == 0)
        l->setLength(l->effectiveLength() * 1.25f + 0.05f);
    net.addLink(l);
}

} // namespace

GridShape shapeFor(std::int64_t nodeCount) {
    auto rows = static_cast<std::int64_t>(std::sqrt(static_cast<double>(nodeCount)));
    while (rows > 1 && nodeCount % rows != 0)
        --rows;
    return {nodeCount / rows, rows};
}

// A street grid of linkCount / 2 nodes and exactly linkCount links: nodes row by row, then for
// every node the link along its row and the link along its column. Streets are one-way and
// alternate in direction, so traffic crosses the grid both ways along rows and along columns. Where
// the grid ends a node has no neighbour to the east (or north), and its link runs back against the
// street instead, which makes the outermost blocks two-way: every node starts exactly two links.
std::unique_ptr<Network> buildGrid(std::int64_t linkCount) {
    const GridShape shape = shapeFor(linkCount / 2);
    std::mt19937 rng(20240611u);
    std::uniform_real_distribution<float> jitter(-kJitterMiles, kJitterMiles);

    auto net = std::make_unique<Network>();
    for (std::int64_t r = 0; r < shape.rows; ++r) {
        for (std::int64_t c = 0; c < shape.columns; ++c) {
            // Positions on the thousandth of a mile, as a saved file holds them.
            const float x =
                std::round((static_cast<float>(c) * kBlockMiles + jitter(rng)) * 1000.0f) / 1000.0f;
            const float y =
                std::round((static_cast<float>(r) * kBlockMiles + jitter(rng)) * 1000.0f) / 1000.0f;
            createNodeAt(*net, {x, y});
        }
    }
    net->setPrecision(3);
    const std::vector<Node*> grid = net->nodes();
    auto at = [&](std::int64_t c, std::int64_t r) {
        return grid[static_cast<std::size_t>(r * shape.columns + c)];
    };

    for (std::int64_t r = 0; r < shape.rows; ++r) {
        for (std::int64_t c = 0; c < shape.columns; ++c) {
            // Along the row: even rows run east, odd rows west.
            const bool hasEast = c + 1 < shape.columns;
            Node* west = hasEast ? at(c, r) : at(c - 1, r);
            Node* east = hasEast ? at(c + 1, r) : at(c, r);
            const bool eastbound = (r % 2 == 0) == hasEast;
            addStreetLink(*net, eastbound ? west : east, eastbound ? east : west, rng);

            // Along the column: even columns run north, odd columns south.
            const bool hasNorth = r + 1 < shape.rows;
            Node* south = hasNorth ? at(c, r) : at(c, r - 1);
            Node* north = hasNorth ? at(c, r + 1) : at(c, r);
            const bool northbound = (c % 2 == 0) == hasNorth;
            addStreetLink(*net, northbound ? south : north, northbound ? north : south, rng);
        }
    }
    net->recomputeBounds();
    return net;
}

// The grid of each size as network text, built once. Fresh copies are read from the text, which
// is far quicker than building them again.
const std::string& gridText(std::int64_t linkCount) {
    static std::map<std::int64_t, std::string> cache;
    auto it = cache.find(linkCount);
    if (it == cache.end()) {
        const auto net = buildGrid(linkCount);
        it = cache.emplace(linkCount, net ? net->toText() : std::string()).first;
    }
    return it->second;
}

} // namespace vantry
