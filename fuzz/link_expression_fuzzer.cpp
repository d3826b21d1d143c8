// Link expressions on arbitrary text, as typed into a filter or given to vantry-cli: whatever
// parses must evaluate over every link to a value of the kind it was parsed as, the same value
// twice; whatever is refused must be refused at a column inside the text or just after it.

#include "fuzzcheck.h"
#include "query/linkexpression.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

using namespace vantry;

namespace {

// Links of every type and direction, automatic and typed lengths, one on a single node.
const Network& sampleNetwork() {
    static const std::unique_ptr<Network> net = [] {
        auto made = std::make_unique<Network>();
        const float points[][2] = {{0, 0}, {3, 4}, {6, 8}, {-1.5f, 2}};
        for (const auto& p : points)
            made->addNode(new Node(WorldPoint{p[0], p[1]}));
        for (int i = 0; i < 6; ++i) {
            auto* link = new Link;
            link->setFromNode(made->nodes()[static_cast<std::size_t>(i % 4)]);
            link->setToNode(made->nodes()[static_cast<std::size_t>(i == 5 ? 1 : (i + 1) % 4)]);
            link->setNumLanes(i);
            link->setCapacity(1800 * i - 1);
            link->setFFSpeed(25 + 10 * i);
            link->setJamDensity(150 + i);
            link->setLength(i % 2 ? 2.5f * static_cast<float>(i) : -1.0f);
            link->setType(static_cast<LinkType>(i));
            link->setDirection(i % 2 ? LinkDirection::Outbound : LinkDirection::Inbound);
            link->setDescription(i % 3 ? "Main St" : "");
            made->addLink(link);
        }
        return made;
    }();
    return *net;
}

int characters(std::string_view text) {
    int count = 0;
    for (const char c : text)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

bool sameValue(const ExpressionValue& a, const ExpressionValue& b) {
    return a.kind == b.kind && a.text == b.text && a.boolean == b.boolean &&
           (a.number == b.number || (std::isnan(a.number) && std::isnan(b.number)));
}

void checkRefusal(const ExpressionError& error, std::string_view text) {
    FUZZ_CHECK(!error.message.empty());
    FUZZ_CHECK(error.column >= 1 && error.column <= characters(text) + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Network& net = sampleNetwork();

    ExpressionError error;
    if (const std::optional<LinkExpression> expression = parseLinkExpression(text, &error)) {
        for (const Link* link : net.links()) {
            const ExpressionValue value = expression->evaluate(*link);
            FUZZ_CHECK(value.kind == expression->kind());
            FUZZ_CHECK(sameValue(value, expression->evaluate(*link)));
            FUZZ_CHECK(expression->matches(*link) ==
                       (value.kind == ValueKind::Boolean && value.boolean));
        }
        FUZZ_CHECK(parseLinkPredicate(text, nullptr).has_value() ==
                   (expression->kind() == ValueKind::Boolean));
    } else {
        checkRefusal(error, text);
        FUZZ_CHECK(!parseLinkPredicate(text, nullptr));
    }

    // The same text over nodes: their own fields, the same evaluator.
    if (const std::optional<NodeExpression> nodes = parseNodePredicate(text, &error)) {
        FUZZ_CHECK(nodes->kind() == ValueKind::Boolean);
        for (const Node* node : net.nodes())
            FUZZ_CHECK(nodes->matches(*node) == nodes->evaluate(*node).boolean);
    } else {
        checkRefusal(error, text);
    }

    if (const std::optional<LinkAssignment> assignment = parseLinkAssignment(text, &error)) {
        std::string why;
        const auto next = assignedAttributes(net.links(), {*assignment}, &why);
        if (next) {
            FUZZ_CHECK(next->size() == net.links().size());
            for (std::size_t i = 0; i < next->size(); ++i)
                FUZZ_CHECK((*next)[i].link == net.links()[i]);
        } else {
            FUZZ_CHECK(why.rfind("link ", 0) == 0);
        }
    } else {
        checkRefusal(error, text);
    }
    return 0;
}
