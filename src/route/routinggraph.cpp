#include "route/routinggraph.h"

#include <algorithm>
#include <cstddef>

namespace vantry {

double freeFlowMinutes(const Link& link) {
    if (link.ffSpeed() <= 0 || link.numLanes() <= 0)
        return kImpassable;
    const double miles = std::max(0.0, static_cast<double>(link.effectiveLength()));
    return miles / link.ffSpeed() * 60.0;
}

RoutingGraph::RoutingGraph(const Network& net) {
    const auto& nodes = net.nodes();
    const auto& links = net.links();
    const std::size_t n = nodes.size();
    const std::size_t m = links.size();
    from_.resize(m);
    to_.resize(m);
    minutes_.resize(m);
    miles_.resize(m);
    types_.resize(m);
    firstOut_.assign(n + 1, 0);
    for (std::size_t i = 0; i < m; ++i) {
        const Link& link = *links[i];
        from_[i] = link.fromNode() ? link.fromNode()->id() - 1 : -1;
        to_[i] = link.toNode() ? link.toNode()->id() - 1 : -1;
        miles_[i] = link.effectiveLength();
        types_[i] = link.type();
        minutes_[i] = freeFlowMinutes(link);
        if (from_[i] < 0 || to_[i] < 0)
            minutes_[i] = kImpassable;
        if (minutes_[i] == kImpassable)
            impassableIds_.push_back(static_cast<std::int32_t>(i + 1));
        else
            ++firstOut_[from_[i] + 1];
    }
    for (std::size_t k = 0; k < n; ++k)
        firstOut_[k + 1] += firstOut_[k];
    // Only drivable links are listed; counting sort keeps each node's links in id order.
    outLinks_.resize(firstOut_[n]);
    std::vector<std::int32_t> next(firstOut_.begin(), firstOut_.end() - 1);
    for (std::size_t i = 0; i < m; ++i)
        if (minutes_[i] != kImpassable)
            outLinks_[next[from_[i]]++] = static_cast<std::int32_t>(i);
    outHeads_.resize(outLinks_.size());
    outMinutes_.resize(outLinks_.size());
    for (std::size_t k = 0; k < outLinks_.size(); ++k) {
        outHeads_[k] = to_[outLinks_[k]];
        outMinutes_[k] = minutes_[outLinks_[k]];
    }
}

ShortestPathTree::ShortestPathTree(const RoutingGraph& graph)
    : graph_(graph), cost_(graph.nodeCount()), via_(graph.nodeCount(), -1),
      seen_(graph.nodeCount(), 0), done_(graph.nodeCount(), 0) {}

void ShortestPathTree::setAvoid(const RouteAvoid& avoid) {
    std::vector<char> blocked(graph_.linkCount(), 0);
    if (!avoid.types.empty())
        for (std::int32_t i = 0; i < graph_.linkCount(); ++i)
            if (std::find(avoid.types.begin(), avoid.types.end(), graph_.type(i)) !=
                avoid.types.end())
                blocked[i] = 1;
    for (std::int32_t id : avoid.links)
        if (id >= 1 && id <= graph_.linkCount())
            blocked[id - 1] = 1;
    setBlocked(std::move(blocked));
}

void ShortestPathTree::setBlocked(std::vector<char> blocked) {
    blocked_ = std::move(blocked);
    blocked_.resize(graph_.linkCount(), 0);
}

void ShortestPathTree::setPenalised(std::vector<char> penalised) {
    penalised_ = std::move(penalised);
    if (!penalised_.empty())
        penalised_.resize(graph_.linkCount(), 0);
}

void ShortestPathTree::grow(std::int32_t from, std::int32_t to) {
    grow(from, to >= 1 && to <= graph_.nodeCount() ? std::vector<std::int32_t>{to}
                                                   : std::vector<std::int32_t>{});
}

void ShortestPathTree::grow(std::int32_t from, const std::vector<std::int32_t>& targets) {
    if (++generation_ == 0) {
        // After four billion searches the marks start again from a clean slate.
        std::fill(seen_.begin(), seen_.end(), 0);
        std::fill(done_.begin(), done_.end(), 0);
        std::fill(target_.begin(), target_.end(), 0);
        generation_ = 1;
    }
    heap_.clear();
    if (from < 1 || from > graph_.nodeCount())
        return;
    const std::int32_t source = from - 1;
    targetsLeft_ = 0;
    if (!targets.empty() && target_.empty())
        target_.assign(graph_.nodeCount(), 0);
    for (std::int32_t id : targets)
        if (id >= 1 && id <= graph_.nodeCount() && target_[id - 1] != generation_) {
            target_[id - 1] = generation_;
            ++targetsLeft_;
        }
    const bool untilTargets = targetsLeft_ > 0;
    const auto later = [](const HeapEntry& a, const HeapEntry& b) { return b.cost() < a.cost(); };
    cost_[source] = Cost{};
    via_[source] = -1;
    seen_[source] = generation_;
    heap_.push_back({0.0, 0, source});
    const std::int32_t* outLinks = graph_.outLinks().data();
    const std::int32_t* outHeads = graph_.outHeads().data();
    const double* outMinutes = graph_.outMinutes().data();
    const bool penalties = !penalised_.empty();
    const bool blocks = !blocked_.empty();
    while (!heap_.empty()) {
        std::pop_heap(heap_.begin(), heap_.end(), later);
        const HeapEntry top = heap_.back();
        heap_.pop_back();
        const std::int32_t u = top.node;
        const Cost reached = top.cost();
        if (done_[u] == generation_)
            continue;
        done_[u] = generation_;
        if (untilTargets && target_[u] == generation_ && --targetsLeft_ == 0)
            break;
        const std::int32_t end = graph_.firstOut(u + 1);
        for (std::int32_t k = graph_.firstOut(u); k < end; ++k) {
            const std::int32_t v = outHeads[k];
            if (done_[v] == generation_)
                continue;
            const std::int32_t link = outLinks[k];
            if (blocks && blocked_[link])
                continue;
            const Cost c{reached.minutes + outMinutes[k],
                         reached.penalised + (penalties && penalised_[link] ? 1u : 0u)};
            if (seen_[v] != generation_ || c < cost_[v]) {
                seen_[v] = generation_;
                cost_[v] = c;
                via_[v] = link;
                heap_.push_back({c.minutes, c.penalised, v});
                std::push_heap(heap_.begin(), heap_.end(), later);
            }
        }
    }
}

bool ShortestPathTree::reaches(std::int32_t node) const {
    return node >= 1 && node <= graph_.nodeCount() && done_[node - 1] == generation_;
}

double ShortestPathTree::minutesTo(std::int32_t node) const {
    return reaches(node) ? cost_[node - 1].minutes : kImpassable;
}

Route ShortestPathTree::routeTo(std::int32_t node) const {
    Route route;
    if (!reaches(node))
        return route;
    for (std::int32_t v = node - 1; via_[v] >= 0 && seen_[v] == generation_;
         v = graph_.fromNode(via_[v])) {
        route.links.push_back(via_[v] + 1);
        if (static_cast<std::int32_t>(route.links.size()) > graph_.linkCount())
            break;
    }
    std::reverse(route.links.begin(), route.links.end());
    for (std::int32_t id : route.links) {
        route.miles += graph_.miles(id - 1);
        route.minutes += graph_.minutes(id - 1);
    }
    return route;
}

std::optional<Route> fastestRoute(const RoutingGraph& graph, std::int32_t from, std::int32_t to,
                                  const RouteAvoid& avoid) {
    ShortestPathTree tree(graph);
    if (!avoid.types.empty() || !avoid.links.empty())
        tree.setAvoid(avoid);
    tree.grow(from, to);
    if (!tree.reaches(to))
        return std::nullopt;
    return tree.routeTo(to);
}

namespace {

// "link 4", "links 4 and 7", "links 4, 7, 9 and 2 more".
std::string linkList(const std::vector<std::int32_t>& ids) {
    constexpr std::size_t kNamed = 5;
    std::string text = ids.size() == 1 ? "link " : "links ";
    const std::size_t named = std::min(ids.size(), kNamed);
    for (std::size_t i = 0; i < named; ++i) {
        if (i > 0)
            text += i + 1 == named && ids.size() <= kNamed ? " and " : ", ";
        text += std::to_string(ids[i]);
    }
    if (ids.size() > kNamed)
        text += " and " + std::to_string(ids.size() - kNamed) + " more";
    return text;
}

std::string impassableClause(const RoutingGraph& graph) {
    const auto& ids = graph.impassableLinks();
    return linkList(ids) + (ids.size() == 1 ? " has" : " have") +
           " no speed or no lanes and cannot be driven";
}

} // namespace

std::string noRouteText(const RoutingGraph& graph, std::int32_t from, std::int32_t to) {
    std::string text =
        "No route from node " + std::to_string(from) + " to node " + std::to_string(to);
    if (!graph.impassableLinks().empty())
        text += " (" + impassableClause(graph) + ")";
    return text + ".";
}

std::string impassableText(const RoutingGraph& graph) {
    if (graph.impassableLinks().empty())
        return "";
    std::string text = impassableClause(graph) + ".";
    text[0] = static_cast<char>(text[0] - 'a' + 'A');
    return text;
}

} // namespace vantry
