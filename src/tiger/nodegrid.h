#pragma once

#include "model/network.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vantry {

// A hash grid over a network's nodes that finds the nearest node to a point with the same answer
// as a scan of the node list: the node closest to p among those strictly closer than the
// tolerance, the earlier in the list (the lower id) on equal distances, measured in single
// precision as the view measures it. It keeps plain pointers and reads the nodes' ids, so it
// stays valid only while nodes are appended to the network and inserted here, and none moves or
// is removed.
class NodeGrid {
public:
    // An empty grid; cells are cellSize miles square. Queries are cheapest with a tolerance no
    // larger than the cell size.
    explicit NodeGrid(float cellSize);
    // A grid holding every node of the network.
    NodeGrid(const Network& network, float cellSize);

    // Adds a node at its current position. Nodes at an infinite or undefined position are left
    // out: no point is ever strictly closer to them than a tolerance.
    void insert(Node* n);

    // The nearest node strictly closer to p than tolerance, or null; with `usable`, the nearest
    // of those it accepts.
    Node* findNearest(WorldPoint p, float tolerance,
                      const std::function<bool(const Node*)>& usable = {}) const;

    std::size_t size() const { return nodes_.size(); }

private:
    struct Cell {
        std::uint64_t key = 0;
        std::int32_t head = -1; // first entry of the cell's list; -1 marks an unused slot
    };

    std::int32_t cellCoordinate(double v) const;
    const Cell* findCell(std::uint64_t key) const;
    Cell& cellFor(std::uint64_t key);
    void grow();

    double cellSize_;
    std::vector<Cell> cells_; // open addressing, a power of two in size
    std::size_t usedCells_ = 0;
    std::vector<Node*> nodes_;
    std::vector<std::int32_t> next_; // next entry in the same cell, -1 at the end
};

} // namespace vantry
