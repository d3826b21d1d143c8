#include "tiger/nodegrid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vantry {

namespace {

std::uint64_t keyOf(std::int32_t cx, std::int32_t cy) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(cx)) << 32) |
           static_cast<std::uint32_t>(cy);
}

std::uint64_t mix(std::uint64_t k) {
    k ^= k >> 30;
    k *= 0xbf58476d1ce4e5b9ULL;
    k ^= k >> 27;
    k *= 0x94d049bb133111ebULL;
    k ^= k >> 31;
    return k;
}

bool isFinite(WorldPoint p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

} // namespace

NodeGrid::NodeGrid(float cellSize) : cellSize_(cellSize > 0.0f ? cellSize : 1.0f) {
    cells_.resize(64);
}

NodeGrid::NodeGrid(const Network& network, float cellSize) : NodeGrid(cellSize) {
    nodes_.reserve(network.nodes().size());
    next_.reserve(network.nodes().size());
    for (Node* n : network.nodes())
        insert(n);
}

std::int32_t NodeGrid::cellCoordinate(double v) const {
    // Clamping is monotonic, so far-away points share edge cells without being lost.
    constexpr double kLimit = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(std::floor(v / cellSize_), -kLimit, kLimit));
}

const NodeGrid::Cell* NodeGrid::findCell(std::uint64_t key) const {
    const std::size_t mask = cells_.size() - 1;
    for (std::size_t i = mix(key) & mask;; i = (i + 1) & mask) {
        const Cell& c = cells_[i];
        if (c.head < 0)
            return nullptr;
        if (c.key == key)
            return &c;
    }
}

NodeGrid::Cell& NodeGrid::cellFor(std::uint64_t key) {
    if ((usedCells_ + 1) * 2 > cells_.size())
        grow();
    const std::size_t mask = cells_.size() - 1;
    std::size_t i = mix(key) & mask;
    while (cells_[i].head >= 0 && cells_[i].key != key)
        i = (i + 1) & mask;
    if (cells_[i].head < 0) {
        cells_[i].key = key;
        ++usedCells_;
    }
    return cells_[i];
}

void NodeGrid::grow() {
    std::vector<Cell> old(cells_.size() * 2);
    old.swap(cells_);
    const std::size_t mask = cells_.size() - 1;
    for (const Cell& c : old) {
        if (c.head < 0)
            continue;
        std::size_t i = mix(c.key) & mask;
        while (cells_[i].head >= 0)
            i = (i + 1) & mask;
        cells_[i] = c;
    }
}

void NodeGrid::insert(Node* n) {
    if (!n || !isFinite(n->position()))
        return;
    Cell& cell = cellFor(keyOf(cellCoordinate(n->x()), cellCoordinate(n->y())));
    nodes_.push_back(n);
    next_.push_back(cell.head);
    cell.head = static_cast<std::int32_t>(nodes_.size() - 1);
}

Node* NodeGrid::findNearest(WorldPoint p, float tolerance,
                            const std::function<bool(const Node*)>& usable) const {
    if (!(tolerance > 0.0f) || !isFinite(p))
        return nullptr;
    Node* nearest = nullptr;
    float best = tolerance;
    const auto consider = [&](Node* n) {
        const float d = distance(n->position(), p);
        if (usable && (d < best || d == best) && !usable(n))
            return;
        if (d < best || (d == best && nearest && n->id() < nearest->id())) {
            best = d;
            nearest = n;
        }
    };

    // A node strictly closer than the tolerance in single precision differs from p by less than
    // the tolerance plus a few rounding steps in each coordinate; the margin covers those.
    const double reach = static_cast<double>(tolerance) * (1.0 + 1e-5);
    const std::int64_t x0 = cellCoordinate(p.x - reach), x1 = cellCoordinate(p.x + reach);
    const std::int64_t y0 = cellCoordinate(p.y - reach), y1 = cellCoordinate(p.y + reach);
    if (static_cast<double>(x1 - x0 + 1) * static_cast<double>(y1 - y0 + 1) >
        static_cast<double>(usedCells_)) {
        // The tolerance spans more cells than hold nodes: looking at every node is cheaper.
        for (Node* n : nodes_)
            consider(n);
        return nearest;
    }
    for (std::int64_t cy = y0; cy <= y1; ++cy) {
        for (std::int64_t cx = x0; cx <= x1; ++cx) {
            const Cell* cell =
                findCell(keyOf(static_cast<std::int32_t>(cx), static_cast<std::int32_t>(cy)));
            if (!cell)
                continue;
            for (std::int32_t e = cell->head; e >= 0; e = next_[static_cast<std::size_t>(e)])
                consider(nodes_[static_cast<std::size_t>(e)]);
        }
    }
    return nearest;
}

} // namespace vantry
