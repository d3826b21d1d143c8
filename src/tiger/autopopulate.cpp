#include "tiger/autopopulate.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <optional>
#include <unordered_set>

namespace vantry {

namespace {

char classChar(const TigerChain& chain, std::size_t i) {
    return i < chain.cfcc.size() ? chain.cfcc[i] : '\0';
}

bool fromRecordFile(const TigerChain& chain) {
    return chain.traffic == ChainTraffic::ByClass;
}

// Primary and secondary roads (A1, A2) carry two lanes each way; everything else one.
std::int32_t lanesOf(const TigerChain& chain) {
    const char c2 = classChar(chain, 1);
    return c2 == '1' || c2 == '2' ? 2 : 1;
}

// Lanes, speed and name of a record-file chain: the class and the user's defaults.
void setRecordAttributes(Link* link, const TigerChain& chain) {
    link->setNumLanes(lanesOf(chain));
    if (!chain.description.empty())
        link->setDescription(chain.description);
}

// Miles along a chain's shape, point to point over the globe, with the degree of 69 miles the
// map itself is drawn with, so that a straight street measures what its link is drawn.
double lengthAlong(const TigerChain& chain) {
    constexpr double kRadiansPerMicrodegree = kTigerRadiansPerDegree * 1e-6;
    constexpr double kEarthRadiusMiles = kTigerMilesPerDegree / kTigerRadiansPerDegree;
    double total = 0;
    TigerPoint previous = chain.start;
    const auto step = [&](TigerPoint p) {
        const double lat1 = previous.latitude * kRadiansPerMicrodegree;
        const double lat2 = p.latitude * kRadiansPerMicrodegree;
        const double dLat = lat2 - lat1;
        const double dLon =
            (static_cast<double>(p.longitude) - previous.longitude) * kRadiansPerMicrodegree;
        const double h = std::sin(dLat / 2) * std::sin(dLat / 2) +
                         std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
        total += 2 * kEarthRadiusMiles * std::asin(std::min(1.0, std::sqrt(h)));
        previous = p;
    };
    for (const TigerPoint& p : chain.shapePoints)
        step(p);
    step(chain.end);
    return total;
}

// Lanes, speed, capacity, jam density and name of a street chain's link in one direction: what
// the data gives, and the road class's defaults for the rest.
void setStreetAttributes(Link* link, const TigerChain& chain, std::int32_t lanes,
                         std::int32_t speed, const PopulateOptions& options) {
    const RoadClassDefaults& d = options.classDefaults.of(chain.roadClass);
    link->setNumLanes(lanes > 0 ? lanes : d.lanes);
    link->setFFSpeed(speed > 0 ? speed : d.speed);
    link->setCapacity(d.capacity);
    link->setJamDensity(d.jamDensity);
    link->setDescription(chain.description);
    // The road's own length, where it differs from the straight line between its ends by more
    // than a file at this precision could take for rounding: a closer one would open as
    // automatic anyway.
    const double along = lengthAlong(chain);
    const int decimals = options.precision < 0 ? 6 : options.precision;
    if (std::abs(along - link->automaticLength()) > writtenLengthTolerance(decimals))
        link->setLength(static_cast<float>(along));
}

std::uint64_t pointBits(WorldPoint p) {
    return (static_cast<std::uint64_t>(std::bit_cast<std::uint32_t>(p.x)) << 32) |
           std::bit_cast<std::uint32_t>(p.y);
}

} // namespace

bool ChainIsPopulated(const TigerChain& chain, const PopulateOptions& options) {
    if (chainTraffic(chain) == ChainTraffic::None)
        return false;
    if (fromRecordFile(chain))
        return true;
    // Lines of a layer that names no classes are all taken.
    return chain.roadClass.empty() || options.classes.wants(chain.roadClass, chain.serviceKind);
}

namespace {

// Finds or makes the nodes of chain ends. Street data joins roads only where the data does: an
// end reuses a node exactly where the end lies, or a node within the tolerance that no other
// street end lies exactly on (one drawn by hand, or rounded by a save). Record-file chains reuse
// any node within the tolerance.
class ChainNodes {
public:
    ChainNodes(Network& network, const TigerStore* store, TigerPoint origin, NodeGrid& grid)
        : network_(network), store_(store), origin_(origin), grid_(grid) {}

    Node* at(TigerPoint end, bool streets, bool& created) {
        const WorldPoint p = TigerToWorld(end, origin_);
        Node* n = nullptr;
        if (!streets) {
            n = grid_.findNearest(p, kTigerNodeTolerance);
        } else {
            const std::uint64_t own = pointBits(p);
            n = grid_.findNearest(p, kTigerNodeTolerance, [&](const Node* candidate) {
                const std::uint64_t bits = pointBits(candidate->position());
                return bits == own || !isStreetEnd(bits);
            });
        }
        if (!n) {
            n = createNodeAt(network_, p);
            grid_.insert(n);
            created = true;
        }
        return n;
    }

private:
    bool isStreetEnd(std::uint64_t bits) {
        if (!ends_) {
            ends_.emplace();
            if (store_)
                for (const auto& [tlid, chain] : store_->chains())
                    if (!fromRecordFile(chain)) {
                        ends_->insert(pointBits(TigerToWorld(chain.start, origin_)));
                        ends_->insert(pointBits(TigerToWorld(chain.end, origin_)));
                    }
        }
        return ends_->count(bits) != 0;
    }

    Network& network_;
    const TigerStore* store_;
    TigerPoint origin_;
    NodeGrid& grid_;
    std::optional<std::unordered_set<std::uint64_t>> ends_;
};

bool populate(Network& network, const TigerChain& chain, const PopulateOptions& options,
              ChainNodes& nodes) {
    bool created = false;
    const bool streets = !fromRecordFile(chain);
    Node* n1 = nodes.at(chain.start, streets, created);
    Node* n2 = nodes.at(chain.end, streets, created);
    // A loop would become a link from the node to itself: no length, nothing to draw or select,
    // and the node could never be deleted again.
    if (n1 == n2)
        return created;

    const ChainTraffic traffic = chainTraffic(chain);
    const bool forward = traffic != ChainTraffic::Backward;
    const bool backward = traffic != ChainTraffic::Forward;
    const auto make = [&](Node* from, Node* to, std::int32_t lanes, std::int32_t speed) {
        if (network.hasLink(from, to))
            return;
        Link* link = createLink(network, from, to, options.linkDefaults);
        if (streets)
            setStreetAttributes(link, chain, lanes, speed, options);
        else
            setRecordAttributes(link, chain);
        created = true;
    };
    if (forward)
        make(n1, n2, chain.lanesForward, chain.speedForward);
    if (backward)
        make(n2, n1, chain.lanesBackward, chain.speedBackward);
    return created;
}

} // namespace

bool PopulateChain(Network& network, const TigerChain& chain, TigerPoint origin,
                   const PopulateOptions& options, NodeGrid& nodes) {
    ChainNodes ends(network, nullptr, origin, nodes);
    return populate(network, chain, options, ends);
}

bool PopulateChain(Network& network, const TigerChain& chain, TigerPoint origin,
                   const PopulateOptions& options) {
    NodeGrid nodes(network, kTigerNodeTolerance);
    return PopulateChain(network, chain, origin, options, nodes);
}

bool AutoPopulateAt(Network& network, const TigerStore& store, TigerPoint origin,
                    WorldPoint dragStart, WorldPoint dragEnd, float scale,
                    const PopulateOptions& options) {
    WorldRect r;
    r.top = std::max(dragStart.y, dragEnd.y);
    r.bottom = std::min(dragStart.y, dragEnd.y);
    r.left = std::min(dragStart.x, dragEnd.x);
    r.right = std::max(dragStart.x, dragEnd.x);

    // Indexing the nodes costs a pass over them, so it waits until a chain is taken.
    std::optional<NodeGrid> grid;
    std::optional<ChainNodes> nodes;
    const auto take = [&](const TigerChain& chain) {
        if (!grid) {
            grid.emplace(network, kTigerNodeTolerance);
            nodes.emplace(network, &store, origin, *grid);
        }
        return populate(network, chain, options, *nodes);
    };

    if (r.width() * scale < kTigerClickUnits && r.height() * scale < kTigerClickUnits) {
        const double reach = kTigerClickUnits / static_cast<double>(scale);
        for (const auto& [tlid, chain] : store.chains()) {
            if (!ChainIsPopulated(chain, options))
                continue;
            const WorldPoint a = TigerToWorld(chain.start, origin);
            const WorldPoint b = TigerToWorld(chain.end, origin);
            if (distanceToSegment(a, b, dragEnd) < reach)
                return take(chain);
        }
        return false;
    }

    bool changed = false;
    for (const auto& [tlid, chain] : store.chains()) {
        if (!ChainIsPopulated(chain, options))
            continue;
        if (r.contains(TigerToWorld(chain.start, origin)) &&
            r.contains(TigerToWorld(chain.end, origin)) && take(chain))
            changed = true;
    }
    return changed;
}

bool AutoPopulateAll(Network& network, const TigerStore& store, TigerPoint origin,
                     const PopulateOptions& options) {
    NodeGrid grid(network, kTigerNodeTolerance);
    ChainNodes nodes(network, &store, origin, grid);
    bool changed = false;
    for (const auto& [tlid, chain] : store.chains())
        if (ChainIsPopulated(chain, options) && populate(network, chain, options, nodes))
            changed = true;
    return changed;
}

} // namespace vantry
