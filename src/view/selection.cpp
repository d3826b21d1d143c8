#include "view/selection.h"

#include <algorithm>

namespace vantry {

void Selection::addNode(Node* n) {
    lastAddWasNew_ = nodeSet_.insert(n).second;
    if (lastAddWasNew_)
        nodes_.push_back(n);
    lastNode_ = n;
    lastLink_ = nullptr;
}

void Selection::addLink(Link* l) {
    lastAddWasNew_ = linkSet_.insert(l).second;
    if (lastAddWasNew_)
        links_.push_back(l);
    lastLink_ = l;
    lastNode_ = nullptr;
}

void Selection::removeNode(Node* n) {
    if (nodeSet_.erase(n))
        nodes_.erase(std::find(nodes_.begin(), nodes_.end(), n));
}

void Selection::removeLink(Link* l) {
    if (linkSet_.erase(l))
        links_.erase(std::find(links_.begin(), links_.end(), l));
}

void Selection::reserve(std::size_t moreNodes, std::size_t moreLinks) {
    nodes_.reserve(nodes_.size() + moreNodes);
    nodeSet_.reserve(nodeSet_.size() + moreNodes);
    links_.reserve(links_.size() + moreLinks);
    linkSet_.reserve(linkSet_.size() + moreLinks);
}

void Selection::clear() {
    nodes_.clear();
    links_.clear();
    nodeSet_.clear();
    linkSet_.clear();
    lastNode_ = nullptr;
    lastLink_ = nullptr;
}

void Selection::retain(const std::function<bool(const Node*)>& keepNode,
                       const std::function<bool(const Link*)>& keepLink) {
    const auto dropNode = [&](Node* n) {
        if (keepNode(n))
            return false;
        nodeSet_.erase(n);
        return true;
    };
    const auto dropLink = [&](Link* l) {
        if (keepLink(l))
            return false;
        linkSet_.erase(l);
        return true;
    };
    nodes_.erase(std::remove_if(nodes_.begin(), nodes_.end(), dropNode), nodes_.end());
    links_.erase(std::remove_if(links_.begin(), links_.end(), dropLink), links_.end());
    if (lastNode_ && !keepNode(lastNode_))
        lastNode_ = nullptr;
    if (lastLink_ && !keepLink(lastLink_))
        lastLink_ = nullptr;
}

} // namespace vantry
