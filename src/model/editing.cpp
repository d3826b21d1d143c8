#include "model/editing.h"

namespace vantry {

const char* const kNodesStillLinkedMessage =
    "Nodes with links still attached cannot be deleted.\nThe links must be deleted as well.";

Node* createNodeAt(Network& net, WorldPoint p) {
    auto* n = new Node(p);
    net.addNode(n);
    return n;
}

Link* createLink(Network& net, Node* from, Node* to, const LinkDefaults& defaults) {
    auto* l = new Link;
    l->setFromNode(from);
    l->setToNode(to);
    l->setNumLanes(defaults.numLanes);
    l->setCapacity(defaults.capacity);
    l->setFFSpeed(defaults.ffSpeed);
    l->setJamDensity(defaults.jamDensity);
    net.addLink(l);
    return l;
}

bool connectNodes(Network& net, Node* a, Node* b, bool twoWay, const LinkDefaults& defaults) {
    bool created = false;
    if (!net.hasLink(a, b)) {
        createLink(net, a, b, defaults);
        created = true;
    }
    if (twoWay && !net.hasLink(b, a)) {
        createLink(net, b, a, defaults)->setDirection(LinkDirection::Outbound);
        created = true;
    }
    return created;
}

void splitLinksAt(Network& net, Node* n, const std::vector<Link*>& found) {
    for (Link* old : found) {
        auto* piece = new Link;
        piece->setFromNode(old->fromNode());
        piece->setToNode(n);
        old->setFromNode(n);
        piece->setLength(-1.0f);
        old->setLength(-1.0f);
        piece->setNumLanes(old->numLanes());
        piece->setCapacity(old->capacity());
        piece->setFFSpeed(old->ffSpeed());
        piece->setJamDensity(old->jamDensity());
        piece->setDirection(old->direction());
        piece->setType(old->type());
        piece->setDescription(old->description());
        net.addLink(piece);
    }
}

bool deleteSelection(Network& net, std::vector<Link*>& selLinks, std::vector<Node*>& selNodes) {
    // Links go first, in one pass, so that a node whose links are all selected goes with them.
    net.removeLinks(selLinks);
    selLinks.clear();

    std::vector<Node*> doomed;
    std::vector<Node*> kept;
    for (Node* n : selNodes) {
        if (net.containsNode(n) && !n->links().empty())
            kept.push_back(n);
        else
            doomed.push_back(n);
    }
    net.removeNodes(doomed);
    const bool allDeleted = kept.empty();
    selNodes = std::move(kept);
    net.recomputeBounds();
    return allDeleted;
}

void moveNodes(const std::vector<Node*>& nodes, WorldPoint d) {
    for (Node* n : nodes)
        n->setPosition({n->x() + d.x, n->y() + d.y});
}

} // namespace vantry
