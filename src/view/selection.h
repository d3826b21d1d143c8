#pragma once

#include "model/network.h"

#include <cstddef>
#include <functional>
#include <unordered_set>
#include <vector>

namespace vantry {

// One view's selection: the selected nodes and links in the order they were added, and the
// object most recently passed in. It refers to objects of the document's network and must be
// cleared whenever those objects are replaced. A hash set beside each list answers "is it
// selected" at once, so that selecting tens of thousands of objects stays linear.
class Selection {
public:
    const std::vector<Node*>& selectedNodes() const { return nodes_; }
    const std::vector<Link*>& selectedLinks() const { return links_; }
    Node* lastNode() const { return lastNode_; }
    Link* lastLink() const { return lastLink_; }
    // Whether the last addNode or addLink found its object not yet selected.
    bool lastAddWasNew() const { return lastAddWasNew_; }

    void addNode(Node* n);
    void addLink(Link* l);
    void removeNode(Node* n);
    void removeLink(Link* l);
    void clear();
    // Makes room for that many more nodes and links.
    void reserve(std::size_t moreNodes, std::size_t moreLinks);
    // Keeps only the objects the predicates accept, in their order; the last object is
    // forgotten when it is not kept.
    void retain(const std::function<bool(const Node*)>& keepNode,
                const std::function<bool(const Link*)>& keepLink);
    bool contains(const Node* n) const { return nodeSet_.count(n) != 0; }
    bool contains(const Link* l) const { return linkSet_.count(l) != 0; }
    std::size_t nodeCount() const { return nodes_.size(); }
    std::size_t linkCount() const { return links_.size(); }
    bool empty() const { return nodes_.empty() && links_.empty(); }

private:
    std::vector<Node*> nodes_;
    std::vector<Link*> links_;
    std::unordered_set<const Node*> nodeSet_;
    std::unordered_set<const Link*> linkSet_;
    Node* lastNode_ = nullptr;
    Link* lastLink_ = nullptr;
    bool lastAddWasNew_ = false;
};

} // namespace vantry
