// Routes and work zones over whatever network a file holds: the fastest route between its first
// and last nodes, and the detours around the run of links that starts with link 1, each checked
// for what the editor and vantry-cli print and mark: a route runs head to tail from where it
// starts to where it ends over links that can be driven, its length and time are the sums of its
// links', a detour never uses the work zone, and marking leaves a network that can be saved.

#include "fuzzcheck.h"
#include "model/network.h"
#include "networkcheck.h"
#include "route/workzone.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

using namespace vantry;

namespace {

void checkRoute(const RoutingGraph& graph, const Route& route, std::int32_t from, std::int32_t to,
                const std::unordered_set<std::int32_t>& avoided) {
    std::int32_t at = from;
    double miles = 0.0;
    double minutes = 0.0;
    for (std::int32_t id : route.links) {
        FUZZ_CHECK(id >= 1 && id <= graph.linkCount());
        FUZZ_CHECK(!graph.impassable(id - 1));
        FUZZ_CHECK(!avoided.count(id));
        FUZZ_CHECK(graph.fromNode(id - 1) + 1 == at);
        at = graph.toNode(id - 1) + 1;
        miles += graph.miles(id - 1);
        minutes += graph.minutes(id - 1);
    }
    FUZZ_CHECK(at == to);
    FUZZ_CHECK(miles == route.miles || (std::isnan(miles) && std::isnan(route.miles)));
    FUZZ_CHECK(minutes == route.minutes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Network net;
    if (!net.readText(text) || net.nodes().empty())
        return 0;
    const RoutingGraph graph(net);
    const auto last = static_cast<std::int32_t>(net.nodes().size());
    if (const auto route = fastestRoute(graph, 1, last))
        checkRoute(graph, *route, 1, last, {});
    // The same search avoiding link 1 and Mainline links, over a tree used once before.
    ShortestPathTree tree(graph);
    tree.grow(last, 1);
    RouteAvoid avoid{{LinkType::Mainline}, {1}};
    tree.setAvoid(avoid);
    tree.grow(1, last);
    if (tree.reaches(last)) {
        std::unordered_set<std::int32_t> avoided = {1};
        for (const Link* l : net.links())
            if (l->type() == LinkType::Mainline)
                avoided.insert(l->id());
        checkRoute(graph, tree.routeTo(last), 1, last, avoided);
    }

    // A run from link 1 onwards, as far as the links carry on, three links at most.
    if (net.links().empty())
        return 0;
    std::vector<Link*> run = {net.links().front()};
    for (const Link* l : net.links())
        if (run.size() < 3 && l->fromNode() == run.back()->toNode() &&
            std::find(run.begin(), run.end(), l) == run.end())
            run.push_back(const_cast<Link*>(l));
    const auto ordered = headToTailRun(run);
    if (!ordered)
        return 0;
    const DetourSearch search = findDetours(graph, *ordered, {});
    FUZZ_CHECK(search.detours.size() <= 2);
    std::unordered_set<std::int32_t> zone;
    for (const Link* l : *ordered)
        zone.insert(l->id());
    std::vector<std::vector<std::int32_t>> detours;
    for (const Detour& d : search.detours) {
        checkRoute(graph, d.route, d.from, d.to, zone);
        FUZZ_CHECK(d.sharedWithFirst >= 0 &&
                   static_cast<std::size_t>(d.sharedWithFirst) <= d.route.links.size());
        detours.push_back(d.route.links);
    }
    if (search.detours.size() == 2)
        FUZZ_CHECK(search.detours[0].route.links != search.detours[1].route.links);
    markWorkZone(net, *ordered, {1, 1}, detours);
    for (const Link* l : *ordered)
        FUZZ_CHECK(l->type() == LinkType::Workzone && l->numLanes() == 1 && l->capacity() == 1);
    checkNetwork(net);
    return 0;
}
