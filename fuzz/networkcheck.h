#pragma once

#include "fuzzcheck.h"
#include "model/network.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <unordered_map>

namespace vantry {

// Checks what the editor relies on in every network it holds: ids equal list positions, links
// join nodes of the same network, and each node knows exactly the links attached to it.
inline void checkNetwork(const Network& net) {
    std::unordered_map<const Node*, std::size_t> attached;
    for (std::size_t i = 0; i < net.nodes().size(); ++i) {
        const Node* n = net.nodes()[i];
        FUZZ_CHECK(n != nullptr);
        FUZZ_CHECK(n->id() == static_cast<std::int32_t>(i + 1));
        attached[n] = 0;
    }
    for (std::size_t i = 0; i < net.links().size(); ++i) {
        const Link* l = net.links()[i];
        FUZZ_CHECK(l != nullptr);
        FUZZ_CHECK(l->id() == static_cast<std::int32_t>(i + 1));
        FUZZ_CHECK(net.containsNode(l->fromNode()));
        FUZZ_CHECK(net.containsNode(l->toNode()));
        const auto listed = [&](const Node* n) {
            return std::count(n->links().begin(), n->links().end(), l);
        };
        FUZZ_CHECK(listed(l->fromNode()) == 1);
        FUZZ_CHECK(listed(l->toNode()) == 1);
        ++attached[l->fromNode()];
        if (l->toNode() != l->fromNode())
            ++attached[l->toNode()];
    }
    for (const Node* n : net.nodes())
        FUZZ_CHECK(n->links().size() == attached[n]);
}

// A network the editor holds must save as text that opens again as the same network: every
// automatic length stays automatic, and once saved and opened the network saves as the text it
// was read from. (A typed length that agrees with its nodes to within the rounding of the file
// opens as automatic, and is written anew.)
inline void checkSavesAndReopens(const Network& net) {
    const std::string written = net.toText();
    Network reopened;
    std::string why;
    FUZZ_CHECK(reopened.readText(written, &why));
    checkNetwork(reopened);
    FUZZ_CHECK(reopened.nodes().size() == net.nodes().size());
    FUZZ_CHECK(reopened.links().size() == net.links().size());
    for (std::size_t i = 0; i < net.links().size(); ++i)
        FUZZ_CHECK(!net.links()[i]->hasAutomaticLength() ||
                   reopened.links()[i]->hasAutomaticLength());
    const std::string again = reopened.toText();
    Network third;
    FUZZ_CHECK(third.readText(again, &why));
    FUZZ_CHECK(third.toText() == again);
}

} // namespace vantry
