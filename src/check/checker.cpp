#include "check/checker.h"

#include "model/network.h"
#include "model/workbooklimits.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vantry {

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

// A link from a node to itself is the self-link rule's, however many there are: one finding
// says everything about it.
void duplicateLinks(const Network& net, const FindingSink& report) {
    std::unordered_map<std::pair<const Node*, const Node*>, int, PairHash> first;
    first.reserve(net.links().size());
    for (const Link* l : net.links()) {
        if (!l->fromNode() || !l->toNode() || l->fromNode() == l->toNode())
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

// The links traffic can follow, as positions in the network's node list, with each node's
// outgoing and incoming ends listed together. A link missing a node, or holding one the network
// does not, leads nowhere; nor does a link back to its own node (self-link reports it).
struct Roads {
    std::vector<std::pair<int, int>> ends; // per link; -1, -1 when it leads nowhere
    std::vector<int> outStart, outTo, inStart, inFrom;

    explicit Roads(const Network& net) {
        const std::vector<Node*>& nodes = net.nodes();
        const auto n = nodes.size();
        auto position = [&](const Node* node) {
            const std::size_t i = node ? static_cast<std::size_t>(node->id()) - 1 : n;
            return i < n && nodes[i] == node ? static_cast<int>(i) : -1;
        };
        ends.reserve(net.links().size());
        outStart.assign(n + 1, 0);
        inStart.assign(n + 1, 0);
        for (const Link* l : net.links()) {
            const int from = position(l->fromNode()), to = position(l->toNode());
            if (from < 0 || to < 0 || from == to) {
                ends.emplace_back(-1, -1);
                continue;
            }
            ends.emplace_back(from, to);
            ++outStart[static_cast<std::size_t>(from) + 1];
            ++inStart[static_cast<std::size_t>(to) + 1];
        }
        for (std::size_t v = 0; v < n; ++v) {
            outStart[v + 1] += outStart[v];
            inStart[v + 1] += inStart[v];
        }
        outTo.resize(static_cast<std::size_t>(outStart[n]));
        inFrom.resize(outTo.size());
        std::vector<int> outAt(outStart.begin(), outStart.end() - 1);
        std::vector<int> inAt(inStart.begin(), inStart.end() - 1);
        for (const auto& [from, to] : ends) {
            if (from < 0)
                continue;
            outTo[static_cast<std::size_t>(outAt[static_cast<std::size_t>(from)]++)] = to;
            inFrom[static_cast<std::size_t>(inAt[static_cast<std::size_t>(to)]++)] = from;
        }
    }
    std::size_t nodeCount() const { return outStart.size() - 1; }
    int outDegree(std::size_t v) const { return outStart[v + 1] - outStart[v]; }
    int inDegree(std::size_t v) const { return inStart[v + 1] - inStart[v]; }
};

// Tarjan's strongly connected components with an explicit stack, since a long chain of one-way
// links would otherwise nest a call per node. Nodes on no road get no part (-1).
std::vector<int> strongParts(const Roads& roads, int& partCount) {
    const std::size_t n = roads.nodeCount();
    std::vector<int> part(n, -1), order(n, -1), low(n, 0), open;
    std::vector<std::pair<int, int>> path; // node, next position in its outgoing list
    int counter = 0;
    partCount = 0;
    auto enter = [&](int v) {
        const auto u = static_cast<std::size_t>(v);
        order[u] = low[u] = counter++;
        open.push_back(v);
        path.emplace_back(v, roads.outStart[u]);
    };
    for (std::size_t s = 0; s < n; ++s) {
        if (order[s] >= 0 || roads.outDegree(s) + roads.inDegree(s) == 0)
            continue;
        enter(static_cast<int>(s));
        while (!path.empty()) {
            const auto v = static_cast<std::size_t>(path.back().first);
            const int next = path.back().second;
            if (next < roads.outStart[v + 1]) {
                ++path.back().second;
                const int w = roads.outTo[static_cast<std::size_t>(next)];
                const auto u = static_cast<std::size_t>(w);
                if (order[u] < 0)
                    enter(w);
                else if (part[u] < 0) // still open, so on the way back to v
                    low[v] = std::min(low[v], order[u]);
                continue;
            }
            path.pop_back();
            if (!path.empty()) {
                const auto parent = static_cast<std::size_t>(path.back().first);
                low[parent] = std::min(low[parent], low[v]);
            }
            if (low[v] != order[v])
                continue;
            int w;
            do {
                w = open.back();
                open.pop_back();
                part[static_cast<std::size_t>(w)] = partCount;
            } while (static_cast<std::size_t>(w) != v);
            ++partCount;
        }
    }
    return part;
}

// Marks every node reachable from the marked ones, following the lists given.
void spread(std::vector<char>& marked, const std::vector<int>& start, const std::vector<int>& to) {
    std::vector<int> queue;
    for (std::size_t v = 0; v < marked.size(); ++v)
        if (marked[v])
            queue.push_back(static_cast<int>(v));
    for (std::size_t i = 0; i < queue.size(); ++i) {
        const auto v = static_cast<std::size_t>(queue[i]);
        for (int e = start[v]; e < start[v + 1]; ++e) {
            const auto w = static_cast<std::size_t>(to[static_cast<std::size_t>(e)]);
            if (!marked[w]) {
                marked[w] = 1;
                queue.push_back(static_cast<int>(w));
            }
        }
    }
}

// The pieces of the network that no road joins, whichever way it runs: each node's piece, by
// its lowest node.
std::vector<int> weakPieces(const Roads& roads) {
    std::vector<int> up(roads.nodeCount());
    for (std::size_t v = 0; v < up.size(); ++v)
        up[v] = static_cast<int>(v);
    const auto find = [&](int v) {
        while (up[static_cast<std::size_t>(v)] != v) {
            int& parent = up[static_cast<std::size_t>(v)];
            parent = up[static_cast<std::size_t>(parent)];
            v = parent;
        }
        return v;
    };
    for (const auto& [from, to] : roads.ends) {
        if (from < 0)
            continue;
        const int a = find(from), b = find(to);
        up[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
    }
    for (std::size_t v = 0; v < up.size(); ++v)
        up[v] = find(static_cast<int>(v));
    return up;
}

// The largest part in which every node reaches every other is the main network. A piece of the
// network that no road joins to it is reported once, whatever its one-way links do inside; within
// the main network's piece, a part of two nodes or more that traffic can enter but not leave
// (or leave but not enter) is reported. A lone node on a one-way road (a freeway's node between
// two ramps) is not: the dead-end rule finds the ones where traffic really stops. Each finding
// is on the part's lowest link (one inside it if it has any), so that clicking through the list
// visits each.
void disconnectedParts(const Network& net, const FindingSink& report) {
    const Roads roads(net);
    int partCount = 0;
    const std::vector<int> part = strongParts(roads, partCount);
    if (partCount < 2)
        return;
    const std::vector<int> piece = weakPieces(roads);
    const auto parts = static_cast<std::size_t>(partCount);
    std::vector<int> size(parts, 0), lowest(parts, -1);
    for (std::size_t v = 0; v < part.size(); ++v) {
        if (part[v] < 0)
            continue;
        const auto p = static_cast<std::size_t>(part[v]);
        if (size[p]++ == 0)
            lowest[p] = static_cast<int>(v);
    }
    std::size_t main = 0;
    for (std::size_t p = 1; p < parts; ++p)
        if (size[p] > size[main] || (size[p] == size[main] && lowest[p] < lowest[main]))
            main = p;

    // Each piece apart from the main one stands for all its parts.
    int mainPiece = -1;
    std::vector<int> pieceSize(part.size(), 0);
    for (std::size_t v = 0; v < part.size(); ++v) {
        if (part[v] < 0)
            continue;
        ++pieceSize[static_cast<std::size_t>(piece[v])];
        if (part[v] == static_cast<int>(main))
            mainPiece = piece[v];
    }
    std::vector<char> pieceTaken(part.size(), 0);
    const auto reported = [&](std::size_t p) {
        const auto first = static_cast<std::size_t>(lowest[p]);
        const int own = piece[first];
        if (own == mainPiece)
            return size[p] > 1;
        // The part holding the piece's lowest node speaks for the piece.
        return static_cast<std::size_t>(own) == first && !pieceTaken[first]++;
    };

    std::vector<char> fromMain(part.size(), 0), toMain(part.size(), 0);
    for (std::size_t v = 0; v < part.size(); ++v)
        fromMain[v] = toMain[v] = part[v] == static_cast<int>(main);
    spread(fromMain, roads.outStart, roads.outTo);
    spread(toMain, roads.inStart, roads.inFrom);

    std::vector<int> inside(parts, -1), touching(parts, -1);
    for (std::size_t i = 0; i < roads.ends.size(); ++i) {
        const auto [from, to] = roads.ends[i];
        if (from < 0)
            continue;
        const auto a = static_cast<std::size_t>(part[static_cast<std::size_t>(from)]);
        const auto b = static_cast<std::size_t>(part[static_cast<std::size_t>(to)]);
        if (a == b && inside[a] < 0)
            inside[a] = static_cast<int>(i);
        for (std::size_t p : {a, b})
            if (a != b && touching[p] < 0)
                touching[p] = static_cast<int>(i);
    }
    // Two lone nodes can share the link found for them; the lower node's part comes first.
    std::vector<std::tuple<int, int, std::size_t>> found; // link position, lowest node, part
    found.reserve(parts - 1);
    for (std::size_t p = 0; p < parts; ++p)
        if (p != main && reported(p))
            found.emplace_back(inside[p] >= 0 ? inside[p] : touching[p], lowest[p], p);
    std::sort(found.begin(), found.end());

    for (const auto& [i, node, p] : found) {
        const auto first = static_cast<std::size_t>(node);
        const char* how =
            fromMain[first] ? "can be reached from the main network but cannot reach it"
            : toMain[first] ? "can reach the main network but cannot be reached from it"
                            : "can neither reach the main network nor be reached from it";
        const Link* l = net.links()[static_cast<std::size_t>(i)];
        // A piece of its own is counted whole; a part of the main piece by its own nodes.
        const int nodes =
            piece[first] != mainPiece ? pieceSize[static_cast<std::size_t>(piece[first])] : size[p];
        const std::string where = "lies in a part of " + std::to_string(nodes) + " nodes that ";
        report.link(l->id(), where + how);
    }
}

// A node that traffic can enter but never leave, or leave but never enter. A node whose roads
// are a link and its reverse is neither: traffic can turn back there.
void deadEnds(const Network& net, const FindingSink& report) {
    const Roads roads(net);
    for (std::size_t v = 0; v < roads.nodeCount(); ++v) {
        const int in = roads.inDegree(v), out = roads.outDegree(v);
        const Node* n = net.nodes()[v];
        if (in > 0 && out == 0)
            report.node(n->id(), "links end at " + nodeLabel(n) + " but none leave it");
        else if (out > 0 && in == 0)
            report.node(n->id(), "links leave " + nodeLabel(n) + " but none reach it");
    }
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

// A length measured along the road's shape is longer than the straight line between its nodes,
// up to two or three times on a winding road, so only a length far beyond that is suspect (a
// slipped decimal point gives ten times). No road is shorter than the straight line, so there
// the margin stays narrow. A link from a node to itself draws as nothing; self-link reports it.
void lengthMismatches(const Network& net, const FindingSink& report) {
    for (const Link* l : net.links()) {
        if (l->hasAutomaticLength() || !l->fromNode() || !l->toNode() ||
            l->fromNode() == l->toNode())
            continue;
        const double length = l->storedLength();
        const double drawn = l->automaticLength();
        if (length < drawn / 2)
            report.link(l->id(), "length " + miles(length) + " miles is less than half the " +
                                     miles(drawn) + " miles drawn");
        else if (length > drawn * 5)
            report.link(l->id(), "length " + miles(length) + " miles is more than five times the " +
                                     miles(drawn) + " miles drawn");
    }
}

// A node's position in the network's node list, or -1 for none the network holds.
int nodePosition(const Network& net, const Node* node) {
    const std::vector<Node*>& nodes = net.nodes();
    const std::size_t i = node ? static_cast<std::size_t>(node->id()) - 1 : nodes.size();
    return i < nodes.size() && nodes[i] == node ? static_cast<int>(i) : -1;
}

// Sets of node positions, joined by size with the paths halved.
class NodeSets {
public:
    explicit NodeSets(std::size_t n) : up_(n), size_(n, 1) {
        for (std::size_t v = 0; v < n; ++v)
            up_[v] = static_cast<int>(v);
    }
    int find(int v) {
        while (up_[static_cast<std::size_t>(v)] != v) {
            int& parent = up_[static_cast<std::size_t>(v)];
            parent = up_[static_cast<std::size_t>(parent)];
            v = parent;
        }
        return v;
    }
    void join(int a, int b) {
        a = find(a);
        b = find(b);
        if (a == b)
            return;
        if (size_[static_cast<std::size_t>(a)] < size_[static_cast<std::size_t>(b)])
            std::swap(a, b);
        up_[static_cast<std::size_t>(b)] = a;
        size_[static_cast<std::size_t>(a)] += size_[static_cast<std::size_t>(b)];
    }

private:
    std::vector<int> up_, size_;
};

// "link 4", "links 4 and 9", "links 4, 9, 12, 15, 20 and 3 more".
std::string linkList(const std::vector<int>& links, std::size_t more) {
    std::string out = links.size() + more == 1 ? "link " : "links ";
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (i > 0)
            out += i + 1 == links.size() && more == 0 ? " and " : ", ";
        out += std::to_string(links[i]);
    }
    if (more > 0)
        out += " and " + std::to_string(more) + " more";
    return out;
}

// Other pieces named in one finding; the rest are counted.
constexpr std::size_t kPiecesNamed = 5;

// A detour passes through links that keep a type of their own: ramps, and links of the other
// detour, since a link shared by both is typed Detour 1. Each piece is reported on its lowest
// link of the detour's type, naming a link of the others.
void detourPieces(const Network& net, const FindingSink& report, LinkType type, LinkType other,
                  const char* name) {
    NodeSets sets(net.nodes().size());
    std::vector<int> at; // per link of the type: a node of it, -1 for none
    for (const Link* l : net.links()) {
        const LinkType t = l->type();
        if (t != type && t != other && t != LinkType::Ramp)
            continue;
        const int from = nodePosition(net, l->fromNode()), to = nodePosition(net, l->toNode());
        if (from >= 0 && to >= 0)
            sets.join(from, to);
        if (t == type)
            at.push_back(from >= 0 ? from : to);
    }
    // Pieces are numbered in link order, so each is found first at its lowest link.
    std::vector<int> pieceAt(net.nodes().size(), -1), lowest, size;
    std::size_t k = 0;
    for (const Link* l : net.links()) {
        if (l->type() != type)
            continue;
        const int node = at[k++];
        if (node < 0)
            continue;
        int& p = pieceAt[static_cast<std::size_t>(sets.find(node))];
        if (p < 0) {
            p = static_cast<int>(lowest.size());
            lowest.push_back(l->id());
            size.push_back(0);
        }
        ++size[static_cast<std::size_t>(p)];
    }
    if (lowest.size() < 2)
        return;
    const std::string head =
        std::string(name) + " is in " + std::to_string(lowest.size()) + " pieces: this piece of ";
    std::vector<int> others;
    for (std::size_t p = 0; p < lowest.size(); ++p) {
        others.clear();
        for (std::size_t q = 0; q < lowest.size() && others.size() < kPiecesNamed; ++q)
            if (q != p)
                others.push_back(lowest[q]);
        const std::size_t more = lowest.size() - 1 - others.size();
        const int links = size[p];
        report.link(lowest[p], head + std::to_string(links) + (links == 1 ? " link" : " links") +
                                   " is not joined to the " +
                                   (more + others.size() == 1 ? "one" : "ones") + " with " +
                                   linkList(others, more));
    }
}

void detourSplits(const Network& net, const FindingSink& report) {
    detourPieces(net, report, LinkType::Detour1, LinkType::Detour2, "Detour 1");
    detourPieces(net, report, LinkType::Detour2, LinkType::Detour1, "Detour 2");
}

// The Work Zone links must run head to tail, one after another: no node where two start or two
// end, no loop, and no gap between separate runs. A link missing a node, or back to its own
// node, is left to the other rules.
void workZoneGaps(const Network& net, const FindingSink& report) {
    struct Run {
        int from, to, id;
    };
    std::vector<Run> zone;
    for (const Link* l : net.links()) {
        if (l->type() != LinkType::Workzone)
            continue;
        const int from = nodePosition(net, l->fromNode()), to = nodePosition(net, l->toNode());
        if (from >= 0 && to >= 0 && from != to)
            zone.push_back({from, to, l->id()});
    }
    if (zone.size() < 2)
        return;
    const std::string head = "Work Zone links are not one run: ";
    const std::size_t n = net.nodes().size();
    // The first Work Zone link starting and ending at each node.
    std::vector<int> starting(n, -1), ending(n, -1);
    bool branches = false;
    for (std::size_t i = 0; i < zone.size(); ++i) {
        const Run& r = zone[i];
        for (auto [node, first, how] : {std::tuple{r.from, &starting, " both start at "},
                                        std::tuple{r.to, &ending, " both end at "}}) {
            int& seen = (*first)[static_cast<std::size_t>(node)];
            if (seen < 0) {
                seen = static_cast<int>(i);
                continue;
            }
            branches = true;
            report.link(r.id, head + "link " +
                                  std::to_string(zone[static_cast<std::size_t>(seen)].id) +
                                  " and link " + std::to_string(r.id) + how +
                                  nodeLabel(net.nodes()[static_cast<std::size_t>(node)]));
        }
    }
    if (branches)
        return; // the runs are not yet clear, and the branches are what to mend first

    // Every node now begins and ends at most one link, so each piece is a run or a loop.
    NodeSets sets(n);
    for (const Run& r : zone)
        sets.join(r.from, r.to);
    struct Piece {
        std::size_t lowest = 0; // positions in zone
        int first = -1, last = -1;
    };
    std::vector<int> pieceAt(n, -1);
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i < zone.size(); ++i) {
        const Run& r = zone[i];
        int& p = pieceAt[static_cast<std::size_t>(sets.find(r.from))];
        if (p < 0) {
            p = static_cast<int>(pieces.size());
            pieces.push_back({i});
        }
        Piece& piece = pieces[static_cast<std::size_t>(p)];
        if (ending[static_cast<std::size_t>(r.from)] < 0)
            piece.first = static_cast<int>(i);
        if (starting[static_cast<std::size_t>(r.to)] < 0)
            piece.last = static_cast<int>(i);
    }
    const auto at = [&](int i) -> const Run& { return zone[static_cast<std::size_t>(i)]; };
    const Run* before = nullptr; // the end of the run before
    for (const Piece& piece : pieces) {
        if (piece.first < 0) {
            // A loop is reported on the link that closes it at the start of its lowest link.
            const Run& lowest = zone[piece.lowest];
            const Run& closing = at(ending[static_cast<std::size_t>(lowest.from)]);
            report.link(closing.id,
                        head + "link " + std::to_string(closing.id) + " loops back to " +
                            nodeLabel(net.nodes()[static_cast<std::size_t>(lowest.from)]) +
                            ", where link " + std::to_string(lowest.id) + " starts");
            continue;
        }
        const Run& first = at(piece.first);
        if (before)
            report.link(first.id, head + "link " + std::to_string(first.id) +
                                      " does not follow on from link " +
                                      std::to_string(before->id));
        before = &zone[static_cast<std::size_t>(piece.last)];
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
        {"disconnected", Severity::Warning, disconnectedParts},
        {"dead-end", Severity::Warning, deadEnds},
        {"overlapping-nodes", Severity::Warning, overlappingNodes},
        {"length-mismatch", Severity::Warning, lengthMismatches},
        {"workbook-limit", Severity::Warning, workbookLimits},
        {"detour-split", Severity::Warning, detourSplits},
        {"work-zone-gap", Severity::Warning, workZoneGaps},
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

} // namespace vantry
