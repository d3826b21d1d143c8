#include "document/changedarea.h"

#include "model/network.h"
#include "model/snapshot.h"

namespace vantry {

std::vector<const Link*> linksAround(const std::vector<Node*>& nodes,
                                     const std::vector<Link*>& links) {
    std::vector<const Link*> found(links.begin(), links.end());
    // A link between two of the nodes comes twice; the area does not mind.
    for (const Node* n : nodes)
        found.insert(found.end(), n->links().begin(), n->links().end());
    return found;
}

std::optional<WorldRect> areaOf(const std::vector<Node*>& nodes,
                                const std::vector<const Link*>& links) {
    std::optional<WorldRect> area;
    const auto add = [&](WorldPoint p) {
        if (!area)
            area = WorldRect{p.y, p.y, p.x, p.x};
        area->extendTo(p);
    };
    for (const Node* n : nodes)
        add(n->position());
    for (const Link* l : links)
        if (l->fromNode() && l->toNode()) {
            add(l->fromNode()->position());
            add(l->toNode()->position());
        }
    return area;
}

std::optional<WorldRect> restoredArea(const RestoreChanges& changes) {
    std::vector<Node*> moved;
    moved.reserve(changes.moved.size());
    std::optional<WorldRect> was;
    for (const auto& [node, place] : changes.moved) {
        moved.push_back(node);
        if (!was)
            was = WorldRect{place.y, place.y, place.x, place.x};
        was->extendTo(place);
    }
    return united(was, areaOf(moved, linksAround(moved, changes.links)));
}

std::optional<WorldRect> united(std::optional<WorldRect> a, const std::optional<WorldRect>& b) {
    if (!a)
        return b;
    if (b)
        a->unite(*b);
    return a;
}

} // namespace vantry
