#pragma once

#include "model/network.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vantry {

struct GridShape {
    std::int64_t columns = 0;
    std::int64_t rows = 0;
};

// The most nearly square lattice with exactly nodeCount nodes.
GridShape shapeFor(std::int64_t nodeCount);

// A jittered street grid in miles with linkCount / 2 nodes and exactly linkCount links, the
// input of the benchmarks.
std::unique_ptr<Network> buildGrid(std::int64_t linkCount);
// The same grid as network text, built once per size.
const std::string& gridText(std::int64_t linkCount);

} // namespace vantry
