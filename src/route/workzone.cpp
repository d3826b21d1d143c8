#include "route/workzone.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <unordered_set>

namespace vantry {

std::optional<std::vector<Link*>> headToTailRun(const std::vector<Link*>& links, std::string* why) {
    const auto refuse = [why](std::string text) -> std::optional<std::vector<Link*>> {
        if (why)
            *why = std::move(text);
        return std::nullopt;
    };
    if (links.empty())
        return refuse("No links are selected.");
    std::unordered_map<const Node*, Link*> startingAt;
    std::unordered_map<const Node*, Link*> endingAt;
    std::unordered_set<const Link*> given;
    for (Link* link : links) {
        const std::string name = "link " + std::to_string(link->id());
        if (!given.insert(link).second)
            return refuse("Link " + std::to_string(link->id()) + " is given twice.");
        if (const auto [at, added] = startingAt.emplace(link->fromNode(), link); !added)
            return refuse("Links " + std::to_string(at->second->id()) + " and " +
                          std::to_string(link->id()) + " both start at node " +
                          std::to_string(link->fromNode()->id()) + ": they are not one run.");
        if (const auto [at, added] = endingAt.emplace(link->toNode(), link); !added)
            return refuse("Links " + std::to_string(at->second->id()) + " and " +
                          std::to_string(link->id()) + " both end at node " +
                          std::to_string(link->toNode()->id()) + ": they are not one run.");
    }
    Link* first = nullptr;
    for (Link* link : links)
        if (!endingAt.count(link->fromNode())) {
            first = link;
            break;
        }
    if (!first)
        return refuse("The links form a loop, not a run with a start and an end.");
    std::vector<Link*> run;
    for (Link* link = first; link && run.size() < links.size();) {
        run.push_back(link);
        const auto next = startingAt.find(link->toNode());
        link = next == startingAt.end() ? nullptr : next->second;
    }
    if (run.size() < links.size()) {
        std::unordered_set<const Link*> inRun(run.begin(), run.end());
        for (Link* link : links)
            if (!inRun.count(link))
                return refuse("Link " + std::to_string(link->id()) +
                              " does not follow on from link " + std::to_string(run.back()->id()) +
                              ": the links are not one run, head to tail.");
    }
    return run;
}

namespace {

// The mainline leading into the run (upstream) or out of it (downstream): node after node, each
// joined to the one before by a link of the mainline's types, the one that carries on most
// nearly straight where there is a choice.
struct Chain {
    std::vector<std::int32_t> nodes; // ids; nodes[0] is the run's end on this side
    std::vector<std::int32_t> links; // ids; links[k] joins nodes[k] and nodes[k + 1]
};

double heading(const Link& link) {
    const Node* a = link.fromNode();
    const Node* b = link.toNode();
    return std::atan2(static_cast<double>(b->y()) - a->y(), static_cast<double>(b->x()) - a->x());
}

double turn(double a, double b) {
    const double pi = std::acos(-1.0);
    double d = std::fabs(a - b);
    while (d > pi)
        d = std::fabs(d - 2 * pi);
    return d;
}

// The mainline bends, but a turn sharper than this leaves it for a crossing road.
constexpr double kSharpestTurn = 60.0 / 180.0 * 3.14159265358979323846;

Chain mainlineChain(const RoutingGraph& graph, const std::vector<Link*>& run, bool upstream,
                    int maxSteps, std::unordered_set<const Node*>& used) {
    std::vector<LinkType> types = {LinkType::Mainline, LinkType::Workzone};
    for (const Link* link : run)
        if (link->type() != LinkType::Detour1 && link->type() != LinkType::Detour2 &&
            std::find(types.begin(), types.end(), link->type()) == types.end())
            types.push_back(link->type());
    Chain chain;
    const Link* last = upstream ? run.front() : run.back();
    const Node* at = upstream ? last->fromNode() : last->toNode();
    chain.nodes.push_back(at->id());
    for (int step = 0; step < maxSteps; ++step) {
        const Link* best = nullptr;
        double bestTurn = 0.0;
        for (const Link* link : at->links()) {
            const Node* near = upstream ? link->toNode() : link->fromNode();
            const Node* far = upstream ? link->fromNode() : link->toNode();
            if (near != at || used.count(far) || graph.impassable(link->id() - 1) ||
                std::find(types.begin(), types.end(), link->type()) == types.end())
                continue;
            const double t = turn(heading(*link), heading(*last));
            if (t > kSharpestTurn)
                continue;
            if (!best || t < bestTurn) {
                best = link;
                bestTurn = t;
            }
        }
        if (!best)
            break;
        at = upstream ? best->fromNode() : best->toNode();
        used.insert(at);
        chain.links.push_back(best->id());
        chain.nodes.push_back(at->id());
        last = best;
    }
    return chain;
}

double sumMinutes(const RoutingGraph& graph, const std::vector<std::int32_t>& ids,
                  std::size_t count) {
    double minutes = 0.0;
    for (std::size_t k = 0; k < count && k < ids.size(); ++k)
        minutes += graph.minutes(ids[k] - 1);
    return minutes;
}

std::string node(std::int32_t id) {
    return "node " + std::to_string(id);
}

// The second detour: the route between the same nodes over as few of the first's links as can
// be, the fastest of those; nothing when that is the first again.
void addSecond(ShortestPathTree& tree, const RoutingGraph& graph, DetourSearch& search) {
    const Detour& first = search.detours.front();
    std::vector<char> penalised(graph.linkCount(), 0);
    for (std::int32_t id : first.route.links)
        penalised[id - 1] = 1;
    tree.setPenalised(std::move(penalised));
    tree.grow(first.from, first.to);
    Detour second = first;
    second.route = tree.routeTo(first.to);
    tree.setPenalised({});
    if (second.route.links == first.route.links) {
        search.notes.push_back("No second route from " + node(first.from) + " to " +
                               node(first.to) + " differs from detour 1.");
        return;
    }
    std::unordered_set<std::int32_t> firstLinks(first.route.links.begin(), first.route.links.end());
    second.sharedWithFirst = static_cast<int>(
        std::count_if(second.route.links.begin(), second.route.links.end(),
                      [&firstLinks](std::int32_t id) { return firstLinks.count(id) > 0; }));
    search.detours.push_back(std::move(second));
}

} // namespace

DetourSearch findDetours(const RoutingGraph& graph, const std::vector<Link*>& run,
                         const DetourOptions& options) {
    DetourSearch search;
    if (run.empty() || options.wanted <= 0)
        return search;
    std::unordered_set<const Node*> used;
    for (const Link* link : run) {
        used.insert(link->fromNode());
        used.insert(link->toNode());
    }
    const Chain up = mainlineChain(graph, run, true, options.maxSteps, used);
    const Chain down = mainlineChain(graph, run, false, options.maxSteps, used);
    std::vector<std::int32_t> runIds;
    for (const Link* link : run)
        runIds.push_back(link->id());
    const double runMinutes = sumMinutes(graph, runIds, runIds.size());

    ShortestPathTree tree(graph);
    std::vector<char> blocked(graph.linkCount(), 0);
    for (std::int32_t id : runIds)
        blocked[id - 1] = 1;

    Detour best;
    bool found = false;
    if (options.from > 0 && options.from == options.to) {
        search.notes.push_back("A detour needs two different nodes; node " +
                               std::to_string(options.from) + " was given for both.");
        return search;
    }
    if (options.from > 0 && options.to > 0) {
        tree.setBlocked(blocked);
        tree.grow(options.from, options.to);
        if (tree.reaches(options.to)) {
            best.from = options.from;
            best.to = options.to;
            best.route = tree.routeTo(options.to);
            const auto i = std::find(up.nodes.begin(), up.nodes.end(), options.from);
            const auto j = std::find(down.nodes.begin(), down.nodes.end(), options.to);
            if (i != up.nodes.end() && j != down.nodes.end()) {
                best.mainlineMinutes = sumMinutes(graph, up.links, i - up.nodes.begin()) +
                                       runMinutes +
                                       sumMinutes(graph, down.links, j - down.nodes.begin());
            } else if (auto before = fastestRoute(graph, options.from, options.to)) {
                best.mainlineMinutes = before->minutes;
            }
            found = true;
        } else {
            search.notes.push_back("No route from " + node(options.from) + " to " +
                                   node(options.to) + " avoids the work zone.");
        }
    } else {
        // Only the run is blocked. A route found in the first round that finds one never passes
        // a mainline node nearer the run than its own ends: from there a route would have been
        // found a round earlier. So the first detour is the fastest route between its ends that
        // avoids the work zone.
        tree.setBlocked(blocked);
        // minutes[i][j]: the fastest route avoiding the stretch from upstream node i to
        // downstream node j, searched from one upstream node at a time as the rounds need it.
        std::vector<std::vector<double>> minutes;
        const std::size_t ups = up.nodes.size();
        const std::size_t downs = down.nodes.size();
        for (std::size_t round = 0; round + 1 < ups + downs && !found; ++round) {
            if (round < ups) {
                tree.grow(up.nodes[round], down.nodes);
                std::vector<double> row(downs);
                for (std::size_t j = 0; j < downs; ++j)
                    row[j] = tree.minutesTo(down.nodes[j]);
                minutes.push_back(std::move(row));
            }
            double bestExtra = kImpassable;
            for (std::size_t i = 0; i <= round && i < ups; ++i) {
                const std::size_t j = round - i;
                if (j >= downs || minutes[i][j] == kImpassable)
                    continue;
                const double mainline =
                    sumMinutes(graph, up.links, i) + runMinutes + sumMinutes(graph, down.links, j);
                const double extra = minutes[i][j] - mainline;
                if (!found || extra < bestExtra) {
                    found = true;
                    bestExtra = extra;
                    best.from = up.nodes[i];
                    best.to = down.nodes[j];
                    best.mainlineMinutes = mainline;
                }
            }
        }
        if (found) {
            tree.grow(best.from, best.to);
            best.route = tree.routeTo(best.to);
            const std::int32_t start = run.front()->fromNode()->id();
            const std::int32_t end = run.back()->toNode()->id();
            if (best.from != start || best.to != end)
                search.notes.push_back("No route from " + node(start) + " to " + node(end) +
                                       " avoids the work zone; the detours run from " +
                                       node(best.from) + " to " + node(best.to) + ".");
        } else {
            search.notes.push_back("No route avoids the work zone from its ends, nor from any of "
                                   "the " +
                                   std::to_string(ups - 1) +
                                   " mainline nodes before it to any of the " +
                                   std::to_string(downs - 1) + " after it.");
        }
    }
    if (!found) {
        if (const std::string text = impassableText(graph); !text.empty())
            search.notes.push_back(text);
        return search;
    }
    search.detours.push_back(std::move(best));
    if (options.wanted >= 2)
        addSecond(tree, graph, search);
    return search;
}

std::optional<std::string> workZoneValuesProblem(const WorkZoneValues& values) {
    if (values.openLanes < 1)
        return std::string("The open lanes must be at least 1.");
    if (values.capacityPerLane < 1)
        return std::string("The capacity per open lane must be at least 1.");
    return std::nullopt;
}

bool markWorkZone(Network& net, const std::vector<Link*>& run, const WorkZoneValues& values,
                  const std::vector<std::vector<std::int32_t>>& detours) {
    bool changed = false;
    const auto setType = [&changed](Link& link, LinkType type) {
        if (link.type() != type) {
            link.setType(type);
            changed = true;
        }
    };
    for (Link* link : run) {
        setType(*link, LinkType::Workzone);
        if (link->numLanes() != values.openLanes || link->capacity() != values.capacityPerLane) {
            link->setNumLanes(values.openLanes);
            link->setCapacity(values.capacityPerLane);
            changed = true;
        }
    }
    const auto& links = net.links();
    std::unordered_set<std::int32_t> firstDetour;
    for (std::size_t k = 0; k < detours.size() && k < 2; ++k)
        for (std::int32_t id : detours[k]) {
            if (id < 1 || id > static_cast<std::int32_t>(links.size()))
                continue;
            Link& link = *links[id - 1];
            if (link.type() == LinkType::Ramp || link.type() == LinkType::Workzone)
                continue;
            if (k == 0)
                firstDetour.insert(id);
            else if (firstDetour.count(id))
                continue;
            setType(link, k == 0 ? LinkType::Detour1 : LinkType::Detour2);
        }
    return changed;
}

} // namespace vantry
