#include "view/hittest.h"

#include "model/drawsizes.h"
#include "view/renderer.h"
#include "view/selection.h"

#include <algorithm>
#include <cmath>

namespace vantry {

Node* FindNearestNode(const Network& network, WorldPoint p, float tolerance) {
    Node* nearest = nullptr;
    float best = tolerance;
    for (Node* n : network.nodes()) {
        const float d = distance(n->position(), p);
        if (d < best) {
            best = d;
            nearest = n;
        }
    }
    return nearest;
}

WorldPoint SnapToNode(const Network& network, WorldPoint p, float scale) {
    const Node* n = FindNearestNode(network, p, kPickUnits / scale);
    return n ? n->position() : p;
}

float DistanceToLink(const Link& link, WorldPoint p, float scale) {
    if (!link.fromNode() || !link.toNode())
        return INFINITY;
    const auto [a, b] =
        LinkEndpoints(link.fromNode()->position(), link.toNode()->position(), scale);
    const float d1 = distanceToSegment(a, b, p);
    const float length = distance(a, b);
    if (length == 0.0f)
        return d1;
    float half = static_cast<float>(kLinkHalfWidthUnits) / scale;
    if (link.type() == LinkType::None)
        half /= 2.0f;
    const WorldPoint v{(b.x - a.x) / length * half, (b.y - a.y) / length * half};
    const WorldPoint r{v.y, -v.x};
    const float d2 = distanceToSegment({a.x + r.x, a.y + r.y}, {b.x + r.x, b.y + r.y}, p);
    const float width = std::sqrt(r.x * r.x + r.y * r.y);
    if (width > d1 && width > d2)
        return 0.0f;
    return std::min(d1, d2);
}

bool HitTest(const Network& network, Selection& selection, WorldPoint p, float scale, bool toggle) {
    const auto& nodes = network.nodes();
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) {
        if (distance((*it)->position(), p) < static_cast<float>(kNodeRadiusUnits) / scale) {
            if (toggle && selection.contains(*it)) {
                selection.removeNode(*it);
                return false;
            }
            selection.addNode(*it);
            return true;
        }
    }
    const auto& links = network.links();
    for (auto it = links.rbegin(); it != links.rend(); ++it) {
        if (DistanceToLink(**it, p, scale) < kLinkPickUnits / scale) {
            if (toggle && selection.contains(*it)) {
                selection.removeLink(*it);
                return false;
            }
            selection.addLink(*it);
            return true;
        }
    }
    return false;
}

void SelectInRect(const Network& network, Selection& selection, WorldPoint a, WorldPoint b,
                  float scale, bool nodesToo) {
    if (!(distance(a, b) > kClickUnits / scale))
        return;
    const WorldRect box{std::max(a.y, b.y), std::min(a.y, b.y), std::min(a.x, b.x),
                        std::max(a.x, b.x)};
    // Room for everything up front: a rectangle around the whole network selects it all.
    selection.reserve(nodesToo ? network.nodes().size() : 0, network.links().size());
    if (nodesToo)
        for (Node* n : network.nodes())
            if (box.contains(n->position()))
                selection.addNode(n);
    for (Link* l : network.links())
        if (l->fromNode() && l->toNode() && box.contains(l->fromNode()->position()) &&
            box.contains(l->toNode()->position()))
            selection.addLink(l);
}

} // namespace vantry
