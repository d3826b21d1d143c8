// The network text reader on arbitrary bytes: it either refuses them with a reason or holds a
// sound network that saves as a file it can open again.

#include "fuzzcheck.h"
#include "model/network.h"
#include "networkcheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace vantry;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Network net;
    std::string why;
    if (!net.readText(text, &why)) {
        FUZZ_CHECK(!why.empty());
        // Callers discard what a refused read left behind; until then it must be sound too.
        checkNetwork(net);
        return 0;
    }
    checkNetwork(net);
    checkSavesAndReopens(net);
    return 0;
}
