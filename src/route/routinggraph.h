#pragma once

#include "model/network.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace vantry {

// What a link costs to drive when nothing blocks it: its free-flow time in minutes, its effective
// length over its free-flow speed. A link of no speed or no lanes cannot be driven at all.
inline constexpr double kImpassable = std::numeric_limits<double>::infinity();
double freeFlowMinutes(const Link& link);

// The links of a network as a graph for route finding: for each node the links leaving it, in one
// array (compressed rows), with every link's free-flow minutes, length and type. Built from the
// network as it is; node and link ids index it (id - 1) until the network is next edited.
class RoutingGraph {
public:
    explicit RoutingGraph(const Network& net);

    std::int32_t nodeCount() const { return static_cast<std::int32_t>(firstOut_.size()) - 1; }
    std::int32_t linkCount() const { return static_cast<std::int32_t>(minutes_.size()); }

    // By link index (id - 1).
    double minutes(std::int32_t link) const { return minutes_[link]; }
    double miles(std::int32_t link) const { return miles_[link]; }
    LinkType type(std::int32_t link) const { return types_[link]; }
    std::int32_t fromNode(std::int32_t link) const { return from_[link]; }
    std::int32_t toNode(std::int32_t link) const { return to_[link]; }
    bool impassable(std::int32_t link) const { return minutes_[link] == kImpassable; }

    // The links leaving node index n: outLinks()[firstOut(n) .. firstOut(n + 1)).
    std::int32_t firstOut(std::int32_t node) const { return firstOut_[node]; }
    const std::vector<std::int32_t>& outLinks() const { return outLinks_; }
    // The node index each of those links leads to and its minutes, in the same order, so that a
    // search reads them one after another.
    const std::vector<std::int32_t>& outHeads() const { return outHeads_; }
    const std::vector<double>& outMinutes() const { return outMinutes_; }

    // The ids of the links of no speed or no lanes, in order.
    const std::vector<std::int32_t>& impassableLinks() const { return impassableIds_; }

private:
    std::vector<std::int32_t> firstOut_;
    std::vector<std::int32_t> outLinks_;
    std::vector<std::int32_t> outHeads_;
    std::vector<double> outMinutes_;
    std::vector<std::int32_t> from_;
    std::vector<std::int32_t> to_;
    std::vector<double> minutes_;
    std::vector<double> miles_;
    std::vector<LinkType> types_;
    std::vector<std::int32_t> impassableIds_;
};

// What a route may not use: links of these types, and these links (by id).
struct RouteAvoid {
    std::vector<LinkType> types;
    std::vector<std::int32_t> links;
};

// One route: its links by id, in driving order, their total length and free-flow time.
struct Route {
    std::vector<std::int32_t> links;
    double miles = 0.0;
    double minutes = 0.0;

    friend bool operator==(const Route&, const Route&) = default;
};

// Where routes are searched: the tree of fastest routes from one node, grown with Dijkstra's
// method over a binary heap. The arrays are kept between searches, so that searching again (the
// editor's route after every edit, the detour search from node after node) allocates nothing.
class ShortestPathTree {
public:
    explicit ShortestPathTree(const RoutingGraph& graph);

    // Marks links the searches may not use (by index), from the avoided types and ids; ids out of
    // range are ignored. Impassable links are never used.
    void setAvoid(const RouteAvoid& avoid);
    void setBlocked(std::vector<char> blocked);
    const std::vector<char>& blocked() const { return blocked_; }
    // Links (by index) that count against a route: searches then find the route over the fewest of
    // them and, among those, the fastest. Empty for none.
    void setPenalised(std::vector<char> penalised);

    // Grows the tree from node id `from` until node id `to` is reached, or over every node it
    // can reach when `to` is 0.
    void grow(std::int32_t from, std::int32_t to = 0);
    // Grows the tree from node id `from` until every node id of `targets` is reached, or over
    // every node it can reach when some cannot be.
    void grow(std::int32_t from, const std::vector<std::int32_t>& targets);

    // After grow, by node id.
    bool reaches(std::int32_t node) const;
    double minutesTo(std::int32_t node) const;
    // The route to a node the tree reaches.
    Route routeTo(std::int32_t node) const;

private:
    // What a route to a node costs: the links counted against it first, then its minutes.
    struct Cost {
        double minutes = 0.0;
        std::uint32_t penalised = 0;
        bool operator<(const Cost& o) const {
            return penalised != o.penalised ? penalised < o.penalised : minutes < o.minutes;
        }
    };
    // Sixteen bytes, so that a heap of a million entries stays small.
    struct HeapEntry {
        double minutes;
        std::uint32_t penalised;
        std::int32_t node;
        Cost cost() const { return {minutes, penalised}; }
    };
    static_assert(sizeof(HeapEntry) == 16);

    const RoutingGraph& graph_;
    std::vector<char> blocked_;
    std::vector<char> penalised_;
    std::vector<Cost> cost_;
    std::vector<std::int32_t> via_;
    std::vector<std::uint32_t> seen_;
    std::vector<std::uint32_t> done_;
    std::vector<HeapEntry> heap_;
    // Marks the nodes a search is to reach (this search's generation), and how many are left.
    std::vector<std::uint32_t> target_;
    std::size_t targetsLeft_ = 0;
    std::uint32_t generation_ = 0;
};

// The fastest route from node id `from` to node id `to` avoiding what is given; nothing when
// there is none. A route from a node to itself has no links.
std::optional<Route> fastestRoute(const RoutingGraph& graph, std::int32_t from, std::int32_t to,
                                  const RouteAvoid& avoid = {});

// What to tell when a route cannot be found: "No route from node 3 to node 9", and when the
// network has links of no speed or no lanes, that they cannot be driven ("links 4 and 7 have no
// speed or no lanes and cannot be driven").
std::string noRouteText(const RoutingGraph& graph, std::int32_t from, std::int32_t to);
// "Links 4 and 7 have no speed or no lanes and cannot be driven." or "" when every link can be.
std::string impassableText(const RoutingGraph& graph);

} // namespace vantry
