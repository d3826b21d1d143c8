#include "streets/linesplitter.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <utility>

namespace vantry {

namespace {

std::uint64_t keyOf(TigerPoint p) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.latitude)) << 32) |
           static_cast<std::uint32_t>(p.longitude);
}

bool isRoadLine(const StreetLine& line) {
    return line.chain.traffic != ChainTraffic::None;
}

// Appends the chain over points[first..last], with the attributes of proto.
void addChain(const TigerChain& proto, const std::vector<TigerPoint>& points, std::size_t first,
              std::size_t last, std::vector<TigerChain>& out) {
    TigerChain chain = proto;
    chain.start = points[first];
    chain.end = points[last];
    chain.shapePoints.assign(points.begin() + static_cast<std::ptrdiff_t>(first) + 1,
                             points.begin() + static_cast<std::ptrdiff_t>(last));
    out.push_back(std::move(chain));
}

// A rough length between two points, good enough to find the middle of a road: degrees of
// latitude, and of longitude shrunk by the cosine of the latitude.
double roughDistance(TigerPoint a, TigerPoint b) {
    constexpr double kRadiansPerMicrodegree = 3.14159265358979323846 / 180.0 * 1e-6;
    const double lat = 0.5 * (static_cast<double>(a.latitude) + b.latitude);
    const double dx =
        (static_cast<double>(b.longitude) - a.longitude) * std::cos(lat * kRadiansPerMicrodegree);
    const double dy = static_cast<double>(b.latitude) - a.latitude;
    return std::hypot(dx, dy);
}

// The interior point of points[first..last] nearest the middle of its length; 0 when it has
// none.
std::size_t middleVertex(const std::vector<TigerPoint>& pts, std::size_t first, std::size_t last) {
    if (last - first < 2)
        return 0;
    double total = 0;
    for (std::size_t i = first; i < last; ++i)
        total += roughDistance(pts[i], pts[i + 1]);
    std::size_t best = first + 1;
    double bestGap = -1, run = 0;
    for (std::size_t i = first + 1; i < last; ++i) {
        run += roughDistance(pts[i - 1], pts[i]);
        const double gap = std::abs(run - total / 2);
        if (bestGap < 0 || gap < bestGap) {
            bestGap = gap;
            best = i;
        }
    }
    return best;
}

// Where each point of each road line lies in the data: its key (the source's node id, or its
// position) and its place in its line.
struct Use {
    std::uint64_t key;
    std::uint32_t line;
    std::uint32_t index;
};

// The keys of the points where roads join. With node ids (OpenStreetMap), that is every node two
// ways share or one way passes twice. By position (any layer), it is a point where a line ends
// and another passes, or where the lines through it go three or more ways: two lines that trace
// the same road, one for each direction, do not join at every point they share.
std::vector<std::uint64_t> junctionKeys(const std::vector<StreetLine>& lines,
                                        const std::vector<std::vector<std::uint64_t>>& keys,
                                        bool byId) {
    std::vector<Use> uses;
    std::size_t total = 0;
    for (const auto& k : keys)
        total += k.size();
    uses.reserve(total);
    for (std::size_t i = 0; i < lines.size(); ++i)
        for (std::size_t j = 0; j < keys[i].size(); ++j)
            uses.push_back(
                {keys[i][j], static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)});
    std::sort(uses.begin(), uses.end(), [](const Use& a, const Use& b) {
        return a.key != b.key     ? a.key < b.key
               : a.line != b.line ? a.line < b.line
                                  : a.index < b.index;
    });
    std::vector<std::uint64_t> junctions;
    std::vector<std::uint64_t> neighbours;
    for (std::size_t i = 0; i < uses.size();) {
        std::size_t j = i + 1;
        while (j < uses.size() && uses[j].key == uses[i].key)
            ++j;
        if (j - i >= 2) {
            bool joins = byId;
            if (!joins) {
                neighbours.clear();
                for (std::size_t u = i; u < j && !joins; ++u) {
                    const std::vector<std::uint64_t>& k = keys[uses[u].line];
                    const std::uint32_t at = uses[u].index;
                    if (at == 0 || at + 1 == k.size())
                        joins = true;
                    if (at > 0)
                        neighbours.push_back(k[at - 1]);
                    if (at + 1 < k.size())
                        neighbours.push_back(k[at + 1]);
                }
                if (!joins) {
                    std::sort(neighbours.begin(), neighbours.end());
                    joins =
                        std::unique(neighbours.begin(), neighbours.end()) - neighbours.begin() >= 3;
                }
            }
            if (joins)
                junctions.push_back(uses[i].key);
        }
        i = j;
    }
    return junctions;
}

// The directions a chain's links would run between its two ends, as bits: 1 from the end with
// the lower key to the other, 2 back.
unsigned directionsOf(ChainTraffic traffic, bool startIsLower) {
    const unsigned along = startIsLower ? 1u : 2u, against = startIsLower ? 2u : 1u;
    switch (traffic) {
    case ChainTraffic::Forward:
        return along;
    case ChainTraffic::Backward:
        return against;
    default:
        return along | against;
    }
}

} // namespace

void splitIntoChains(std::vector<StreetLine>& lines, std::vector<TigerChain>& out) {
    // Joined by the source's node ids when every road line has them, by position otherwise.
    bool byId = true;
    for (const StreetLine& line : lines)
        if (isRoadLine(line) && line.nodeIds.size() != line.points.size())
            byId = false;
    std::vector<std::vector<std::uint64_t>> keys(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!isRoadLine(lines[i]))
            continue;
        std::vector<std::uint64_t>& k = keys[i];
        k.reserve(lines[i].points.size());
        for (std::size_t j = 0; j < lines[i].points.size(); ++j)
            k.push_back(byId ? static_cast<std::uint64_t>(lines[i].nodeIds[j])
                             : keyOf(lines[i].points[j]));
    }
    const std::vector<std::uint64_t> junctions = junctionKeys(lines, keys, byId);
    const auto isJunction = [&](std::uint64_t key) {
        return std::binary_search(junctions.begin(), junctions.end(), key);
    };

    // The directions already taken between two ends: a second road between the same two points
    // gets a point of its own on the way, so that each stays a link of its own with its length.
    std::unordered_map<std::uint64_t, std::unordered_map<std::uint64_t, unsigned>> taken;
    const auto claim = [&](std::uint64_t a, std::uint64_t b, ChainTraffic traffic) {
        const bool startIsLower = a < b;
        unsigned& used = taken[std::min(a, b)][std::max(a, b)];
        const unsigned wanted = directionsOf(traffic, startIsLower);
        if (used & wanted)
            return false;
        used |= wanted;
        return true;
    };

    for (std::size_t li = 0; li < lines.size(); ++li) {
        StreetLine& line = lines[li];
        std::vector<TigerPoint>& pts = line.points;
        if (pts.size() < 2)
            continue;
        if (!isRoadLine(line)) {
            addChain(line.chain, pts, 0, pts.size() - 1, out);
            continue;
        }
        const std::vector<std::uint64_t>& k = keys[li];
        // A piece that closes on itself, or runs between two ends that another road already
        // joins the same way, is cut at the point nearest its middle, and its halves checked
        // in turn: a two-way loop ends up in three links each way.
        const auto emit = [&](auto& self, std::size_t from, std::size_t to) -> void {
            const bool loop = k[from] == k[to];
            if (!loop && claim(k[from], k[to], line.chain.traffic)) {
                addChain(line.chain, pts, from, to, out);
                return;
            }
            if (const std::size_t middle = middleVertex(pts, from, to); middle != 0) {
                self(self, from, middle);
                self(self, middle, to);
                return;
            }
            if (loop)
                return;
            // A straight second road: a point halfway along stands in for a vertex.
            const TigerPoint a = pts[from], b = pts[to];
            const TigerPoint half{
                static_cast<std::int32_t>((static_cast<std::int64_t>(a.latitude) + b.latitude) / 2),
                static_cast<std::int32_t>((static_cast<std::int64_t>(a.longitude) + b.longitude) /
                                          2)};
            if (half == a || half == b)
                return;
            const std::vector<TigerPoint> three{a, half, b};
            addChain(line.chain, three, 0, 1, out);
            addChain(line.chain, three, 1, 2, out);
        };
        std::size_t first = 0;
        const auto finish = [&](std::size_t last) {
            if (last > first)
                emit(emit, first, last);
            first = last;
        };
        for (std::size_t i = 1; i + 1 < pts.size(); ++i)
            if (isJunction(k[i]))
                finish(i);
        finish(pts.size() - 1);
        pts = {};
        line.nodeIds = {};
    }
}

} // namespace vantry
