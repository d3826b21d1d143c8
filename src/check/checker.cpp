#include "check/checker.h"

#include "excel/workbooklayout.h"
#include "model/network.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <unordered_map>
#include <utility>

namespace {

std::string nodeLabel(const Node* n) {
    return "node " + std::to_string(n->id());
}

std::string miles(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", value);
    return buf;
}

struct PairHash {
    template <class A, class B> std::size_t operator()(const std::pair<A, B>& p) const {
        const std::size_t a = std::hash<A>()(p.first);
        return a ^ (std::hash<B>()(p.second) + 0x9e3779b97f4a7c15ull + (a << 6) + (a >> 2));
    }
};

void duplicateLinks(const Network& net, const FindingSink& report) {
    std::unordered_map<std::pair<const Node*, const Node*>, int, PairHash> first;
    first.reserve(net.links().size());
    for (const Link* l : net.links()) {
        if (!l->fromNode() || !l->toNode())
            continue;
        const auto [it, isNew] = first.try_emplace({l->fromNode(), l->toNode()}, l->id());
        if (!isNew)
            report.link(l->id(), "runs from " + nodeLabel(l->fromNode()) + " to " +
                                     nodeLabel(l->toNode()) + " like link " +
                                     std::to_string(it->second));
    }
}

void selfLinks(const Network& net, const FindingSink& report) {
    for (const Link* l : net.links())
        if (l->fromNode() && l->fromNode() == l->toNode())
            report.link(l->id(), "starts and ends at " + nodeLabel(l->fromNode()));
}

void badAttributes(const Network& net, const FindingSink& report) {
    for (const Link* l : net.links()) {
        std::string bad;
        auto check = [&](const char* name, std::int32_t value) {
            if (value >= 1)
                return;
            bad += (bad.empty() ? "" : ", ") + std::string(name) + " " + std::to_string(value);
        };
        check("number of lanes", l->numLanes());
        check("capacity", l->capacity());
        check("free-flow speed", l->ffSpeed());
        check("jam density", l->jamDensity());
        if (!bad.empty())
            report.link(l->id(), bad + ": each must be at least 1");
    }
}

void isolatedNodes(const Network& net, const FindingSink& report) {
    for (const Node* n : net.nodes())
        if (n->links().empty())
            report.node(n->id(), "is on no link");
}

// Nodes are put in square cells a little wider than the overlap distance, so that every node
// within that distance of another lies in the same or a neighbouring cell.
constexpr double kCell = kOverlapDistance * 1.01;
// Far-off coordinates share the outermost cells; they are still compared by distance.
constexpr double kReach = 1.0e15;

std::int64_t cellOf(double v) {
    return static_cast<std::int64_t>(std::floor(std::clamp(v / kCell, -kReach, kReach)));
}

// Nodes at exactly the same point share one spot, so that a pile of them (a workbook's links
// naming nodes it never placed all land at 0, 0) costs one comparison, not one per node.
void overlappingNodes(const Network& net, const FindingSink& report) {
    struct Spot {
        float x, y;
        std::vector<const Node*> nodes; // in network order
    };
    using Cell = std::pair<std::int64_t, std::int64_t>;
    using Bits = std::pair<std::uint32_t, std::uint32_t>;
    std::vector<Spot> spots;
    std::unordered_map<Bits, std::size_t, PairHash> spotAt;
    std::unordered_map<Cell, std::vector<std::size_t>, PairHash> grid;
    spotAt.reserve(net.nodes().size());
    grid.reserve(net.nodes().size());
    const auto listedMax = static_cast<std::size_t>(kOverlapsListedPerNode);
    std::vector<const Node*> near;
    for (const Node* n : net.nodes()) {
        if (!std::isfinite(n->x()) || !std::isfinite(n->y()))
            continue;
        const Cell cell{cellOf(n->x()), cellOf(n->y())};
        near.clear();
        std::size_t total = 0;
        for (std::int64_t dx = -1; dx <= 1; ++dx) {
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                const auto it = grid.find({cell.first + dx, cell.second + dy});
                if (it == grid.end())
                    continue;
                for (std::size_t s : it->second) {
                    const Spot& spot = spots[s];
                    const double ex = static_cast<double>(n->x()) - spot.x;
                    const double ey = static_cast<double>(n->y()) - spot.y;
                    if (std::hypot(ex, ey) >= kOverlapDistance)
                        continue;
                    total += spot.nodes.size();
                    // The lowest numbers of each spot are enough to find the lowest of all.
                    const std::size_t take = std::min(spot.nodes.size(), listedMax);
                    near.insert(near.end(), spot.nodes.begin(),
                                spot.nodes.begin() + static_cast<std::ptrdiff_t>(take));
                }
            }
        }
        const Bits bits{std::bit_cast<std::uint32_t>(n->x()), std::bit_cast<std::uint32_t>(n->y())};
        const auto [at, isNew] = spotAt.try_emplace(bits, spots.size());
        if (isNew) {
            spots.push_back({n->x(), n->y(), {}});
            grid[cell].push_back(at->second);
        }
        spots[at->second].nodes.push_back(n);
        if (near.empty())
            continue;
        std::sort(near.begin(), near.end(),
                  [](const Node* a, const Node* b) { return a->id() < b->id(); });
        const std::size_t listed = std::min(near.size(), listedMax);
        for (std::size_t i = 0; i < listed; ++i)
            report.node(n->id(), "lies within 0.001 miles of " + nodeLabel(near[i]));
        if (total > listed)
            report.node(n->id(), "lies within 0.001 miles of " + std::to_string(total - listed) +
                                     " more earlier nodes");
    }
}

void lengthMismatches(const Network& net, const FindingSink& report) {
    for (const Link* l : net.links()) {
        if (l->hasAutomaticLength() || !l->fromNode() || !l->toNode())
            continue;
        const double length = l->storedLength();
        const double drawn = l->automaticLength();
        if (length < drawn / 2)
            report.link(l->id(), "length " + miles(length) + " miles is less than half the " +
                                     miles(drawn) + " miles drawn");
        else if (length > drawn * 2)
            report.link(l->id(), "length " + miles(length) + " miles is more than twice the " +
                                     miles(drawn) + " miles drawn");
    }
}

// Reported on the first link or node beyond what the workbook holds.
void workbookLimits(const Network& net, const FindingSink& report) {
    const std::size_t links = net.links().size(), nodes = net.nodes().size();
    if (links > static_cast<std::size_t>(kMaxWorkbookLinks))
        report.link(kMaxWorkbookLinks + 1, "the network has " + std::to_string(links) +
                                               " links; a Travona workbook " + "holds at most " +
                                               std::to_string(kMaxWorkbookLinks) +
                                               ", so it cannot be saved as .xls");
    if (nodes > static_cast<std::size_t>(kMaxWorkbookNodes))
        report.node(kMaxWorkbookNodes + 1, "the network has " + std::to_string(nodes) +
                                               " nodes; a Travona workbook " + "holds at most " +
                                               std::to_string(kMaxWorkbookNodes) +
                                               ", so it cannot be saved as .xls");
}

} // namespace

void FindingSink::link(int number, std::string message) const {
    out_.push_back({severity_, rule_, Finding::Object::Link, number, std::move(message)});
}

void FindingSink::node(int number, std::string message) const {
    out_.push_back({severity_, rule_, Finding::Object::Node, number, std::move(message)});
}

const std::vector<CheckRule>& checkRules() {
    static const std::vector<CheckRule> rules = {
        {"duplicate-link", Severity::Error, duplicateLinks},
        {"self-link", Severity::Error, selfLinks},
        {"bad-attribute", Severity::Error, badAttributes},
        {"isolated-node", Severity::Warning, isolatedNodes},
        {"overlapping-nodes", Severity::Warning, overlappingNodes},
        {"length-mismatch", Severity::Warning, lengthMismatches},
        {"workbook-limit", Severity::Warning, workbookLimits},
    };
    return rules;
}

const CheckRule* findCheckRule(const std::string& name) {
    for (const CheckRule& rule : checkRules())
        if (name == rule.name)
            return &rule;
    return nullptr;
}

std::vector<Finding> runCheckRule(const CheckRule& rule, const Network& net) {
    std::vector<Finding> findings;
    rule.check(net, FindingSink(rule.name, rule.severity, findings));
    return findings;
}

std::vector<Finding> checkNetwork(const Network& net) {
    std::vector<Finding> findings;
    for (const CheckRule& rule : checkRules())
        rule.check(net, FindingSink(rule.name, rule.severity, findings));
    return findings;
}

const char* severityName(Severity severity) {
    return severity == Severity::Error ? "error" : "warning";
}

const char* objectName(Finding::Object object) {
    return object == Finding::Object::Link ? "link" : "node";
}

std::string findingLine(const Finding& finding) {
    return std::string(severityName(finding.severity)) + " " + finding.rule + ": " +
           objectName(finding.object) + " " + std::to_string(finding.number) + ": " +
           finding.message;
}
