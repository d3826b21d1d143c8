#include "view/routeoverlay.h"

#include "document/vantrydoc.h"
#include "view/viewtransform.h"

#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>
#include <cstdio>
#include <unordered_set>

namespace vantry {

RouteOverlay::RouteOverlay(CVantryDoc& doc, std::function<void()> changed)
    : doc_(doc), changed_(std::move(changed)) {
    doc_.addView(this);
}

RouteOverlay::~RouteOverlay() {
    doc_.removeView(this);
}

void RouteOverlay::show(RouteRequest request) {
    request_ = std::move(request);
    search();
}

void RouteOverlay::clear() {
    const bool was = shown();
    request_.reset();
    route_.reset();
    links_.clear();
    text_.clear();
    if (was && changed_)
        changed_();
}

void RouteOverlay::OnUpdate(DocumentObserver*, const DocumentChange& change) {
    // A picture or street data changes nothing a route runs over.
    if (!shown() || change.kind == ChangeKind::BackgroundChanged ||
        change.kind == ChangeKind::StreetsLoaded)
        return;
    if (change.kind == ChangeKind::NetworkReplaced && !takeObjectsByNumber()) {
        clear();
        return;
    }
    search();
}

bool RouteOverlay::takeObjectsByNumber() {
    // Every object may be new: the route's nodes and avoided links are taken again by the
    // numbers they had at the last search.
    const Network& net = doc_.network();
    const auto count = [](const auto& list) { return static_cast<std::int32_t>(list.size()); };
    if (fromId_ < 1 || fromId_ > count(net.nodes()) || toId_ < 1 || toId_ > count(net.nodes()))
        return false;
    request_->from = net.nodes()[static_cast<std::size_t>(fromId_ - 1)];
    request_->to = net.nodes()[static_cast<std::size_t>(toId_ - 1)];
    request_->avoidLinks.clear();
    for (const std::int32_t id : avoidIds_)
        if (id >= 1 && id <= count(net.links()))
            request_->avoidLinks.push_back(net.links()[static_cast<std::size_t>(id - 1)]);
    return true;
}

void RouteOverlay::search() {
    const Network& net = doc_.network();
    // Objects are compared by address only: a pointer to a removed object must never be read.
    const auto present = [&](const Node* n) {
        return std::find(net.nodes().begin(), net.nodes().end(), n) != net.nodes().end();
    };
    if (!present(request_->from) || !present(request_->to)) {
        clear();
        return;
    }
    if (!request_->avoidLinks.empty()) {
        const std::unordered_set<const Link*> links(net.links().begin(), net.links().end());
        std::erase_if(request_->avoidLinks, [&](const Link* l) { return !links.count(l); });
    }
    RouteAvoid avoid;
    avoid.types = request_->avoidTypes;
    avoid.links.reserve(request_->avoidLinks.size());
    for (const Link* l : request_->avoidLinks)
        avoid.links.push_back(l->id());

    if (!graph_) {
        graph_ = std::make_unique<RoutingGraph>(net);
        tree_ = std::make_unique<ShortestPathTree>(*graph_);
    } else {
        const std::int32_t nodes = graph_->nodeCount(), links = graph_->linkCount();
        *graph_ = RoutingGraph(net);
        if (nodes != graph_->nodeCount() || links != graph_->linkCount())
            tree_ = std::make_unique<ShortestPathTree>(*graph_);
    }
    ++searches_;
    const std::int32_t from = request_->from->id(), to = request_->to->id();
    fromId_ = from;
    toId_ = to;
    avoidIds_ = avoid.links;
    tree_->setAvoid(avoid);
    tree_->grow(from, to);
    links_.clear();
    if (tree_->reaches(to)) {
        route_ = tree_->routeTo(to);
        links_.reserve(route_->links.size());
        for (const std::int32_t id : route_->links)
            links_.push_back(net.links()[static_cast<std::size_t>(id - 1)]);
        const std::size_t n = route_->links.size();
        char text[160];
        std::snprintf(text, sizeof text,
                      "Route from node %d to node %d: %zu link%s, %.3f mi, %.2f min", from, to, n,
                      n == 1 ? "" : "s", route_->miles, route_->minutes);
        text_ = text;
    } else {
        route_.reset();
        text_ = noRouteText(*graph_, from, to);
    }
    if (changed_)
        changed_();
}

void RouteOverlay::draw(QPainter& painter, const ViewTransform& transform) const {
    if (!shown())
        return;
    const auto pixel = [&](WorldPoint p) {
        const LogicalPoint l = transform.WorldToLogical(p);
        return QPointF(transform.logicalToDeviceX(l.x), transform.logicalToDeviceY(l.y));
    };
    const QColor colour(QRgb(0xff000000u | kRouteColour));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (!links_.empty()) {
        // One path, so that the joins between links are drawn once and the ends are round.
        QPainterPath path;
        const Node* at = nullptr;
        for (const Link* l : links_) {
            if (!l->fromNode() || !l->toNode())
                continue;
            if (l->fromNode() != at)
                path.moveTo(pixel(l->fromNode()->position()));
            path.lineTo(pixel(l->toNode()->position()));
            at = l->toNode();
        }
        painter.setPen(QPen(colour, kRouteWidthPixels, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(path);
    }
    // The two ends, ringed, so that a route that was not found still shows what was asked.
    painter.setPen(QPen(colour, 3));
    painter.setBrush(Qt::NoBrush);
    for (const Node* n : {request_->from, request_->to})
        painter.drawEllipse(pixel(n->position()), 10.0, 10.0);
    painter.restore();
}

} // namespace vantry
