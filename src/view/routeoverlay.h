#pragma once

#include "document/documentchange.h"
#include "model/network.h"
#include "route/routinggraph.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QPainter;

namespace vantry {

class CVantryDoc;
class ViewTransform;

// What a shown route was asked for: its two nodes and what it may not use. Objects are kept by
// identity, so that the route stays with them while edits renumber the network.
struct RouteRequest {
    Node* from = nullptr;
    Node* to = nullptr;
    std::vector<LinkType> avoidTypes;
    std::vector<const Link*> avoidLinks;
};

// One view's route: the fastest route between two nodes, drawn over the map and described for
// the status bar. It hears the document's changes itself and searches again after each one, on a
// routing graph built anew from the network (one build and one search per change), so a moved
// node at once changes the route's length and, when another way becomes faster, its path. The
// route goes when one of its nodes is deleted. When the whole network is replaced (an undo that
// adds or removes objects), its nodes and avoided links are taken again by their numbers.
class RouteOverlay : public DocumentObserver {
public:
    // `changed` is called whenever what is drawn or said changes.
    RouteOverlay(CVantryDoc& doc, std::function<void()> changed);
    ~RouteOverlay() override;
    RouteOverlay(const RouteOverlay&) = delete;
    RouteOverlay& operator=(const RouteOverlay&) = delete;

    // Searches the route at once.
    void show(RouteRequest request);
    void clear();
    bool shown() const { return request_.has_value(); }
    const std::optional<RouteRequest>& request() const { return request_; }
    // The route found; nothing when none was found or none is shown.
    const std::optional<Route>& route() const { return route_; }
    // The route's links in driving order.
    const std::vector<const Link*>& links() const { return links_; }
    // "Route from node 3 to node 7: 4 links, 2.000 mi, 2.26 min", why there is none, or empty.
    const std::string& text() const { return text_; }
    // How many searches were made (one per change to the document while a route is shown).
    std::size_t searches() const { return searches_; }

    // Draws the route on a painter whose coordinates are the pixels `transform` maps to.
    void draw(QPainter& painter, const ViewTransform& transform) const;

    void OnUpdate(DocumentObserver* sender, const DocumentChange& change) override;

private:
    void search();
    bool takeObjectsByNumber();

    CVantryDoc& doc_;
    std::function<void()> changed_;
    std::optional<RouteRequest> request_;
    // The graph is assigned anew in place, so the tree's reference to it stays good; the tree
    // is made again only when the network's size changed.
    std::unique_ptr<RoutingGraph> graph_;
    std::unique_ptr<ShortestPathTree> tree_;
    std::optional<Route> route_;
    std::vector<const Link*> links_;
    std::string text_;
    std::size_t searches_ = 0;
    // The numbers of the route's nodes and avoided links at the last search.
    std::int32_t fromId_ = 0;
    std::int32_t toId_ = 0;
    std::vector<std::int32_t> avoidIds_;
};

// The colour the route is drawn in, over every link colour the map uses.
inline constexpr unsigned kRouteColour = 0xff00c8u; // 0xRRGGBB
inline constexpr int kRouteWidthPixels = 5;

} // namespace vantry
