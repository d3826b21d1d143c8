#include "model/network.h"

#include "model/objectpool.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

namespace vantry {

// ---- Memory -----------------------------------------------------------------------------------

void* Node::operator new(std::size_t size) {
    return poolAllocate(size);
}

void Node::operator delete(void* p) noexcept {
    poolFree(p, sizeof(Node));
}

void* Link::operator new(std::size_t size) {
    return poolAllocate(size);
}

void Link::operator delete(void* p) noexcept {
    poolFree(p, sizeof(Link));
}

// ---- Link -------------------------------------------------------------------------------------

// Every node lists each link attached to it once: a link from a node to itself is listed
// once, at fromSlot_. Each end keeps its place in its node's list, so that a link leaves a
// node with many links at once.
std::uint32_t Node::attach(Link* l) {
    // A street node has a few links: room for four at once saves growing the list link by link.
    if (links_.capacity() == 0)
        links_.reserve(4);
    links_.push_back(l);
    return static_cast<std::uint32_t>(links_.size() - 1);
}

void Node::detach(std::uint32_t slot) {
    const auto last = static_cast<std::uint32_t>(links_.size() - 1);
    Link* moved = links_[last];
    links_[slot] = moved;
    links_.pop_back();
    if (slot == last)
        return;
    // The link that took the place: whichever of its ends was listed last here.
    if (moved->from_ == this && moved->fromSlot_ == last)
        moved->fromSlot_ = slot;
    else
        moved->toSlot_ = slot;
}

void Link::setFromNode(Node* n) {
    if (n == from_)
        return;
    if (from_) {
        if (from_ != to_)
            from_->detach(fromSlot_);
        else
            toSlot_ = fromSlot_; // the node stays listed for the other end
    }
    from_ = n;
    if (n) {
        if (n != to_)
            fromSlot_ = n->attach(this);
        else
            fromSlot_ = toSlot_;
    }
}

void Link::setToNode(Node* n) {
    if (n == to_)
        return;
    if (to_ && to_ != from_)
        to_->detach(toSlot_);
    to_ = n;
    if (n && n != from_)
        toSlot_ = n->attach(this);
}

double Link::automaticLength() const {
    if (!from_ || !to_)
        return 0.0;
    const double dx = static_cast<double>(from_->x()) - static_cast<double>(to_->x());
    const double dy = static_cast<double>(from_->y()) - static_cast<double>(to_->y());
    return std::sqrt(dx * dx + dy * dy);
}

float Link::effectiveLength() const {
    if (length_ >= 0.0f)
        return length_;
    return static_cast<float>(automaticLength());
}

void Link::setLengthWithin(float v, double tolerance) {
    length_ = -1.0f;
    const double automatic = effectiveLength();
    if (std::fabs(static_cast<double>(v) - automatic) > tolerance)
        length_ = v;
}

namespace {

// The closest two lengths can be told apart: a typed value or an exact copy carries no rounding
// of its own.
constexpr double kLengthResolution = 0.0001;

// Half a unit in the last written decimal: the most rounding to that many decimals moves a
// number. Far below the smallest float's last digit the unit no longer matters. A table, since
// every link of a file that is read needs six.
constexpr std::array<double, 300> kHalfUnits = [] {
    std::array<double, 300> units{};
    double unit = 0.5;
    for (double& u : units) {
        u = unit;
        unit /= 10.0;
    }
    return units;
}();

double halfUnit(int decimals) {
    if (decimals >= static_cast<int>(kHalfUnits.size()))
        return 0.0;
    return kHalfUnits[static_cast<std::size_t>(std::max(decimals, 0))];
}

} // namespace

double writtenLengthTolerance(int decimals) {
    const double half = halfUnit(decimals);
    return half + 2 * std::hypot(half, half);
}

void Link::setLength(float v) {
    setLengthWithin(v, kLengthResolution);
}

void Link::setLengthAsWritten(float v, int lengthDecimals, WrittenDecimals from,
                              WrittenDecimals to) {
    // A file holds an automatic length as the node distance rounded to the length's decimals,
    // next to node coordinates rounded to theirs. Read back, the length and the distance
    // between the nodes as read differ by at most half a unit of the length's last decimal,
    // plus what moving each end by up to half a unit of its coordinates' last decimals does to
    // the distance, plus the float rounding of every number involved. Within that the numbers
    // cannot tell an automatic length from a typed one, and taking it as automatic keeps every
    // automatic length automatic at any precision. At whole miles that is nearly two miles, as
    // coarse as what such a file says.
    double tolerance = halfUnit(lengthDecimals);
    double magnitudes = std::fabs(static_cast<double>(v));
    // Both ends of a link from a node to itself move together: its distance stays 0.
    if (from_ && to_ && from_ != to_) {
        const std::pair<const Node*, WrittenDecimals> ends[] = {{from_, from}, {to_, to}};
        for (const auto& [node, decimals] : ends) {
            const double x = halfUnit(decimals.x), y = halfUnit(decimals.y);
            tolerance += std::sqrt(x * x + y * y);
            magnitudes += std::fabs(static_cast<double>(node->x())) +
                          std::fabs(static_cast<double>(node->y()));
        }
    }
    // Every float read or computed on the way is off by at most half a unit in its last place;
    // together that stays below epsilon times the sum of their magnitudes.
    tolerance += magnitudes * std::numeric_limits<float>::epsilon();
    setLengthWithin(v, std::max(tolerance, kLengthResolution));
}

char Link::directionCode() const {
    return direction_ == LinkDirection::Outbound ? 'O' : 'I';
}

void Link::setDirectionCode(char c) {
    direction_ = (c == 'O' || c == 'o') ? LinkDirection::Outbound : LinkDirection::Inbound;
}

const char* Link::typeCode() const {
    switch (type_) {
    case LinkType::Mainline:
        return "M";
    case LinkType::Workzone:
        return "WZ";
    case LinkType::Detour1:
        return "D1";
    case LinkType::Detour2:
        return "D2";
    case LinkType::Ramp:
        return "R";
    default:
        return "";
    }
}

void Link::setTypeCode(std::string_view code) {
    if (code == "M")
        type_ = LinkType::Mainline;
    else if (code == "WZ")
        type_ = LinkType::Workzone;
    else if (code == "R")
        type_ = LinkType::Ramp;
    else if (code == "D1")
        type_ = LinkType::Detour1;
    else if (code == "D2")
        type_ = LinkType::Detour2;
    else
        type_ = LinkType::None;
}

std::int32_t Link::headingSide() const {
    float dx = 0.0f, dy = 0.0f;
    if (from_ && to_) {
        dx = to_->x() - from_->x();
        dy = to_->y() - from_->y();
    }
    return (dx < 0.0f || (dx == 0.0f && dy > 0.0f)) ? 2 : 1;
}

void Link::computeTwoWaySide() {
    twoWaySide_ = headingSide();
}

void Link::setTwoWaySide(std::int32_t v) {
    twoWaySide_ = (v == 1 || v == 2) ? v : 0;
}

LinkAttributes Link::attributes() {
    LinkAttributes d;
    d.numLanes = numLanes_;
    d.capacity = capacity_;
    d.length = effectiveLength();
    d.ffSpeed = ffSpeed_;
    d.jamDensity = jamDensity_;
    d.direction = static_cast<std::int32_t>(direction_);
    d.type = static_cast<std::int32_t>(type_);
    d.description = description_;
    d.link = this;
    return d;
}

void Link::setAttributes(const LinkAttributes& d) {
    if (d.link != this)
        throw std::logic_error("link attributes assigned to another link");
    numLanes_ = d.numLanes;
    capacity_ = d.capacity;
    setLength(d.length);
    ffSpeed_ = d.ffSpeed;
    jamDensity_ = d.jamDensity;
    direction_ = d.direction == static_cast<std::int32_t>(LinkDirection::Outbound)
                     ? LinkDirection::Outbound
                     : LinkDirection::Inbound;
    type_ = (d.type >= static_cast<std::int32_t>(LinkType::Mainline) &&
             d.type <= static_cast<std::int32_t>(LinkType::None))
                ? static_cast<LinkType>(d.type)
                : LinkType::None;
    description_ = d.description;
}

// ---- Network ----------------------------------------------------------------------------------

Network::~Network() {
    clear();
}

bool Network::containsNode(const Node* n) const {
    return n && n->id_ >= 1 && static_cast<std::size_t>(n->id_) <= nodes_.size() &&
           nodes_[n->id_ - 1] == n;
}

bool Network::containsLink(const Link* l) const {
    return l && l->id() >= 1 && static_cast<std::size_t>(l->id()) <= links_.size() &&
           links_[l->id() - 1] == l;
}

void Network::addNode(Node* n) {
    if (!n || containsNode(n))
        return;
    nodes_.push_back(n);
    n->id_ = static_cast<std::int32_t>(nodes_.size());
    // Growing the box by the new node gives what a full recomputation gives, without making
    // a long run of additions quadratic.
    if (nodes_.size() == 1)
        bounds_ = WorldRect{n->y_, n->y_, n->x_, n->x_};
    else
        bounds_.extendTo(n->position());
}

void Network::addLink(Link* l) {
    if (!l || containsLink(l))
        return;
    links_.push_back(l);
    l->setId(static_cast<std::int32_t>(links_.size()));
}

void Network::removeNode(Node* n) {
    removeNodes({n});
}

void Network::removeLink(Link* l) {
    removeLinks({l});
}

void Network::removeLinks(const std::vector<Link*>& doomed) {
    std::vector<char> marked(links_.size(), 0);
    bool any = false;
    for (Link* l : doomed) {
        if (containsLink(l)) {
            marked[l->id() - 1] = 1;
            any = true;
        }
    }
    if (!any)
        return;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < links_.size(); ++i) {
        Link* l = links_[i];
        if (marked[i]) {
            l->setFromNode(nullptr);
            l->setToNode(nullptr);
            delete l;
        } else {
            links_[kept++] = l;
            l->setId(static_cast<std::int32_t>(kept));
        }
    }
    links_.resize(kept);
}

void Network::removeNodes(const std::vector<Node*>& doomed) {
    std::vector<char> marked(nodes_.size(), 0);
    bool any = false;
    for (Node* n : doomed) {
        if (containsNode(n)) {
            marked[n->id_ - 1] = 1;
            any = true;
        }
    }
    if (any) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < nodes_.size(); ++i) {
            Node* n = nodes_[i];
            if (marked[i]) {
                delete n;
            } else {
                nodes_[kept++] = n;
                n->id_ = static_cast<std::int32_t>(kept);
            }
        }
        nodes_.resize(kept);
    }
    recomputeBounds();
}

bool Network::hasLink(const Node* from, const Node* to) const {
    if (!from)
        return false;
    // A node's own set holds every link that starts there, so there is no need to walk the
    // whole link list.
    for (const Link* l : from->links())
        if (l->fromNode() == from && l->toNode() == to)
            return true;
    return false;
}

void Network::recomputeBounds() {
    if (nodes_.empty()) {
        bounds_ = WorldRect{};
        return;
    }
    const Node* first = nodes_.front();
    bounds_ = WorldRect{first->y(), first->y(), first->x(), first->x()};
    for (const Node* n : nodes_)
        bounds_.extendTo(n->position());
}

void Network::setBitmap(std::string path, WorldRect rect) {
    bitmapPath_ = std::move(path);
    bitmapRect_ = rect;
}

int Network::writtenPrecision() const {
    // The smallest positive float is 2^-149, whose decimal expansion has 149 decimals.
    constexpr int kLastFloatDecimal = 149;
    if (precision_ < 0)
        return 6;
    return std::min(precision_, kLastFloatDecimal);
}

bool Network::checkStorable(std::string* why) const {
    auto fail = [why](std::string text) {
        if (why)
            *why = std::move(text);
        return false;
    };
    for (const Node* n : nodes_)
        if (!std::isfinite(n->x_) || !std::isfinite(n->y_))
            return fail("node " + std::to_string(n->id_) +
                        " lies beyond the largest coordinate "
                        "a network file can hold");
    for (const Link* l : links_)
        if (!std::isfinite(l->effectiveLength())) {
            std::string text = "link " + std::to_string(l->id()) +
                               " would be longer than the "
                               "largest length a network file can hold";
            if (l->fromNode() && l->toNode())
                text += " (nodes " + std::to_string(l->fromNode()->id_) + " and " +
                        std::to_string(l->toNode()->id_) + " would lie too far apart)";
            return fail(std::move(text));
        }
    const WorldRect& r = bitmapRect_;
    if (!std::isfinite(r.top) || !std::isfinite(r.bottom) || !std::isfinite(r.left) ||
        !std::isfinite(r.right))
        return fail("the background picture's rectangle lies beyond the largest coordinate a "
                    "network file can hold");
    return true;
}

void Network::swap(Network& other) noexcept {
    nodes_.swap(other.nodes_);
    links_.swap(other.links_);
    std::swap(bounds_, other.bounds_);
    bitmapPath_.swap(other.bitmapPath_);
    std::swap(bitmapRect_, other.bitmapRect_);
    std::swap(georeference_, other.georeference_);
}

void Network::clear() {
    for (Node* n : nodes_) {
        n->links_.clear();
        delete n;
    }
    nodes_.clear();
    // The nodes are gone, so the links must not detach themselves from them.
    for (Link* l : links_)
        delete l;
    links_.clear();
    georeference_ = Georeference{};
}

bool Network::setGeoreference(Georeference g, std::string* why) {
    const auto first = g.crs.find_first_not_of(' ');
    g.crs.erase(0, first == std::string::npos ? g.crs.size() : first);
    g.crs.erase(g.crs.find_last_not_of(' ') + 1);
    if (!g.placed())
        g = Georeference{};
    if (!checkGeoreference(g, why))
        return false;
    georeference_ = std::move(g);
    return true;
}

} // namespace vantry
