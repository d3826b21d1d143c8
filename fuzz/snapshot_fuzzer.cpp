// The undo history's snapshot decoder on arbitrary bytes: it either refuses them with a reason
// and leaves the network empty, or builds a sound network whose snapshot is those very bytes.

#include "fuzzcheck.h"
#include "model/network.h"
#include "model/snapshot.h"
#include "networkcheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

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
    return 0;
}
