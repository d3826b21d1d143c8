// The undo history's snapshot decoder on arbitrary bytes: it either refuses them with a reason
// and leaves the network empty, or builds a sound network whose snapshot is those very bytes,
// whether it starts from nothing or from a network that already holds objects.

#include "fuzzcheck.h"
#include "model/network.h"
#include "model/snapshot.h"
#include "networkcheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace vantry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Network net;
    std::string why;
    if (!decodeSnapshot(bytes, net, &why)) {
        FUZZ_CHECK(!why.empty());
        FUZZ_CHECK(net.nodes().empty() && net.links().empty());
        return 0;
    }
    checkNetwork(net);
    // Every field is checked on the way in, so there is exactly one snapshot of each network.
    FUZZ_CHECK(encodeSnapshot(net) == bytes);

    // Restored over a network that already holds objects, as Undo does, it is the same network.
    Network reused;
    for (int i = 0; i < 3; ++i) {
        auto* n = new Node(WorldPoint{static_cast<float>(i), 0.0f});
        reused.addNode(n);
    }
    auto* l = new Link;
    l->setFromNode(reused.nodes()[2]);
    l->setToNode(reused.nodes()[0]);
    reused.addLink(l);
    FUZZ_CHECK(restoreSnapshot(bytes, reused, &why));
    checkNetwork(reused);
    FUZZ_CHECK(encodeSnapshot(reused) == bytes);
    return 0;
}
