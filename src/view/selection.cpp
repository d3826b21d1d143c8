#include "view/selection.h"

#include <algorithm>

void Selection::addNode(Node* n) {
    if (!contains(n))
        nodes_.push_back(n);
    lastNode_ = n;
    lastLink_ = nullptr;
}

void Selection::addLink(Link* l) {
    if (!contains(l))
        links_.push_back(l);
    lastLink_ = l;
    lastNode_ = nullptr;
}

void Selection::removeNode(Node* n) {
    nodes_.erase(std::remove(nodes_.begin(), nodes_.end(), n), nodes_.end());
}

void Selection::removeLink(Link* l) {
    links_.erase(std::remove(links_.begin(), links_.end(), l), links_.end());
}

void Selection::clear() {
    nodes_.clear();
    links_.clear();
    lastNode_ = nullptr;
    lastLink_ = nullptr;
}

bool Selection::contains(const Node* n) const {
    return std::find(nodes_.begin(), nodes_.end(), n) != nodes_.end();
}

bool Selection::contains(const Link* l) const {
    return std::find(links_.begin(), links_.end(), l) != links_.end();
}
