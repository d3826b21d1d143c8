#pragma once

#include "model/network.h"

#include <cstddef>
#include <vector>

// One view's selection: the selected nodes and links in the order they were added, and the
// object most recently passed in. It refers to objects of the document's network and must be
// cleared whenever those objects are replaced.
class Selection {
public:
    const std::vector<Node*>& selectedNodes() const { return nodes_; }
    const std::vector<Link*>& selectedLinks() const { return links_; }
    std::vector<Node*>& selectedNodes() { return nodes_; }
    std::vector<Link*>& selectedLinks() { return links_; }
    Node* lastNode() const { return lastNode_; }
    Link* lastLink() const { return lastLink_; }

    void addNode(Node* n);
    void addLink(Link* l);
    void removeNode(Node* n);
    void removeLink(Link* l);
    void clear();
    bool contains(const Node* n) const;
    bool contains(const Link* l) const;
    std::size_t nodeCount() const { return nodes_.size(); }
    std::size_t linkCount() const { return links_.size(); }
    bool empty() const { return nodes_.empty() && links_.empty(); }

private:
    std::vector<Node*> nodes_;
    std::vector<Link*> links_;
    Node* lastNode_ = nullptr;
    Link* lastLink_ = nullptr;
};
