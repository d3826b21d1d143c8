#include "tiger/autopopulate.h"

#include <algorithm>
#include <optional>

namespace {

char classChar(const TigerChain& chain, std::size_t i) {
    return i < chain.cfcc.size() ? chain.cfcc[i] : '\0';
}

bool isRoad(const TigerChain& chain) {
    if (chain.traffic == ChainTraffic::ByClass)
        return classChar(chain, 0) == 'A';
    return chain.traffic != ChainTraffic::None;
}

// Primary and secondary roads (A1, A2) carry two lanes each way; everything else one.
std::int32_t lanesOf(const TigerChain& chain) {
    const char c2 = classChar(chain, 1);
    return c2 == '1' || c2 == '2' ? 2 : 1;
}

// Access ramps (A63), and the classes whose two directions the census records as separate
// chains (third character 5 to 8), get a link in the chain's own direction only.
bool isOneWay(const TigerChain& chain) {
    const char c2 = classChar(chain, 1);
    const char c3 = classChar(chain, 2);
    return (c2 == '6' && c3 == '3') || (c3 >= '5' && c3 <= '8');
}

// Lanes, speed and name from the chain where it gives them; the class and the user's defaults
// give the rest.
void setAttributes(Link* link, const TigerChain& chain, std::int32_t lanes) {
    link->setNumLanes(lanes > 0 ? lanes : lanesOf(chain));
    if (chain.speed > 0)
        link->setFFSpeed(chain.speed);
    if (!chain.description.empty())
        link->setDescription(chain.description);
}

} // namespace

bool PopulateChain(Network& network, const TigerChain& chain, TigerPoint origin,
                   const LinkDefaults& defaults, NodeGrid& nodes) {
    bool created = false;
    const auto nodeAt = [&](TigerPoint end) {
        const WorldPoint p = TigerToWorld(end, origin);
        Node* n = nodes.findNearest(p, kTigerNodeTolerance);
        if (!n) {
            n = createNodeAt(network, p);
            nodes.insert(n);
            created = true;
        }
        return n;
    };
    Node* n1 = nodeAt(chain.start);
    Node* n2 = nodeAt(chain.end);
    // A loop would become a link from the node to itself: no length, nothing to draw or select,
    // and the node could never be deleted again.
    if (n1 == n2)
        return created;

    const ChainTraffic traffic = chain.traffic;
    if (traffic != ChainTraffic::Backward && !network.hasLink(n1, n2)) {
        setAttributes(createLink(network, n1, n2, defaults), chain, chain.lanesForward);
        created = true;
    }
    if (traffic == ChainTraffic::Forward || (traffic == ChainTraffic::ByClass && isOneWay(chain)))
        return created;
    if (!network.hasLink(n2, n1)) {
        setAttributes(createLink(network, n2, n1, defaults), chain, chain.lanesBackward);
        return true;
    }
    return created;
}

bool PopulateChain(Network& network, const TigerChain& chain, TigerPoint origin,
                   const LinkDefaults& defaults) {
    NodeGrid nodes(network, kTigerNodeTolerance);
    return PopulateChain(network, chain, origin, defaults, nodes);
}

bool AutoPopulateAt(Network& network, const TigerStore& store, TigerPoint origin,
                    WorldPoint dragStart, WorldPoint dragEnd, float scale,
                    const LinkDefaults& defaults) {
    WorldRect r;
    r.top = std::max(dragStart.y, dragEnd.y);
    r.bottom = std::min(dragStart.y, dragEnd.y);
    r.left = std::min(dragStart.x, dragEnd.x);
    r.right = std::max(dragStart.x, dragEnd.x);

    // Indexing the nodes costs a pass over them, so it waits until a chain is taken.
    std::optional<NodeGrid> nodes;
    const auto populate = [&](const TigerChain& chain) {
        if (!nodes)
            nodes.emplace(network, kTigerNodeTolerance);
        return PopulateChain(network, chain, origin, defaults, *nodes);
    };

    if (r.width() * scale < kTigerClickUnits && r.height() * scale < kTigerClickUnits) {
        const double reach = kTigerClickUnits / static_cast<double>(scale);
        for (const auto& [tlid, chain] : store.chains()) {
            if (!isRoad(chain))
                continue;
            const WorldPoint a = TigerToWorld(chain.start, origin);
            const WorldPoint b = TigerToWorld(chain.end, origin);
            if (distanceToSegment(a, b, dragEnd) < reach)
                return populate(chain);
        }
        return false;
    }

    bool changed = false;
    for (const auto& [tlid, chain] : store.chains()) {
        if (!isRoad(chain))
            continue;
        if (r.contains(TigerToWorld(chain.start, origin)) &&
            r.contains(TigerToWorld(chain.end, origin)) && populate(chain))
            changed = true;
    }
    return changed;
}

bool AutoPopulateAll(Network& network, const TigerStore& store, TigerPoint origin,
                     const LinkDefaults& defaults) {
    NodeGrid nodes(network, kTigerNodeTolerance);
    bool changed = false;
    for (const auto& [tlid, chain] : store.chains())
        if (isRoad(chain) && PopulateChain(network, chain, origin, defaults, nodes))
            changed = true;
    return changed;
}
