#include "view/hittest.h"

#include <cmath>

namespace {

constexpr float kSnapUnits = 14.0f;

float distance(WorldPoint a, WorldPoint b) {
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    return std::sqrt(dx * dx + dy * dy);
}

} // namespace

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
    const Node* n = FindNearestNode(network, p, kSnapUnits / scale);
    return n ? n->position() : p;
}
