// The clipboard paste parser on arbitrary bytes, pasting into a network that already holds
// objects: a refused paste leaves the network exactly as it was, an accepted one appends sound
// objects, and either way the network still saves as a file that opens again.

#include "fuzzcheck.h"
#include "model/clipboardpaste.h"
#include "model/network.h"
#include "networkcheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using namespace vantry;

namespace {

void addSample(Network& net) {
    auto* a = new Node({-1.0f, 2.0f});
    auto* b = new Node({3.5f, 2.0f});
    net.addNode(a);
    net.addNode(b);
    auto* l = new Link;
    l->setFromNode(a);
    l->setToNode(b);
    l->setNumLanes(2);
    l->setCapacity(1400);
    l->setLength(-1.0f);
    l->setDescription("sample");
    net.addLink(l);
    net.recomputeBounds();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Network net;
    addSample(net);
    const std::string before = net.toText();
    const std::size_t nodesBefore = net.nodes().size();
    const std::size_t linksBefore = net.links().size();

    PastedObjects pasted;
    std::string why;
    if (!pasteClipboardText(net, text, pasted, &why)) {
        FUZZ_CHECK(!why.empty());
        FUZZ_CHECK(pasted.nodes.empty() && pasted.links.empty());
        FUZZ_CHECK(net.toText() == before);
        checkNetwork(net);
        return 0;
    }
    checkNetwork(net);
    FUZZ_CHECK(net.nodes().size() == nodesBefore + pasted.nodes.size());
    FUZZ_CHECK(net.links().size() == linksBefore + pasted.links.size());
    for (std::size_t i = 0; i < pasted.nodes.size(); ++i)
        FUZZ_CHECK(net.nodes()[nodesBefore + i] == pasted.nodes[i]);
    for (std::size_t i = 0; i < pasted.links.size(); ++i) {
        const Link* l = pasted.links[i];
        FUZZ_CHECK(net.links()[linksBefore + i] == l);
        // Pasted links join pasted nodes only.
        FUZZ_CHECK(l->fromNode()->id() > static_cast<std::int32_t>(nodesBefore));
        FUZZ_CHECK(l->toNode()->id() > static_cast<std::int32_t>(nodesBefore));
    }
    checkSavesAndReopens(net);
    return 0;
}
