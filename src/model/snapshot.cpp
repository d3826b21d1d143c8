#include "model/snapshot.h"

#include "model/network.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr char kMagic[4] = {'V', 'N', 'S', '1'};

// Fixed-size fields are little-endian whatever the machine, so that a snapshot kept on disk
// means the same everywhere.
class Writer {
public:
    explicit Writer(std::size_t expected) { out_.reserve(expected); }

    void u8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void u32(std::uint32_t v) {
        char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                     static_cast<char>(v >> 24)};
        out_.append(b, 4);
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f32(float v) { u32(std::bit_cast<std::uint32_t>(v)); }
    void bytes(std::string_view s) { out_.append(s.data(), s.size()); }
    std::string take() { return std::move(out_); }

private:
    std::string out_;
};

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}

    std::size_t left() const { return in_.size() - pos_; }
    bool has(std::uint64_t n) const { return n <= left(); }
    std::uint8_t u8() { return static_cast<std::uint8_t>(in_[pos_++]); }
    std::uint32_t u32() {
        const auto* p = reinterpret_cast<const unsigned char*>(in_.data() + pos_);
        pos_ += 4;
        return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
               std::uint32_t{p[3]} << 24;
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    float f32() { return std::bit_cast<float>(u32()); }
    std::string_view bytes(std::size_t n) {
        const std::string_view s = in_.substr(pos_, n);
        pos_ += n;
        return s;
    }

private:
    std::string_view in_;
    std::size_t pos_ = 0;
};

bool fail(std::string* why, const char* text) {
    if (why)
        *why = text;
    return false;
}

// Bytes per node and per link in the fixed-size columns.
constexpr std::uint64_t kNodeBytes = 8;
constexpr std::uint64_t kLinkBytes = 4 * 9 + 2 + 4;

} // namespace

std::string encodeSnapshot(const Network& network) {
    const auto& nodes = network.nodes();
    const auto& links = network.links();
    std::size_t textBytes = network.bitmapPath().size();
    for (const Link* l : links)
        textBytes += l->description().size();
    Writer w(32 + nodes.size() * kNodeBytes + links.size() * kLinkBytes + textBytes);

    w.bytes(std::string_view(kMagic, sizeof kMagic));
    w.u32(static_cast<std::uint32_t>(nodes.size()));
    w.u32(static_cast<std::uint32_t>(links.size()));
    for (const Node* n : nodes)
        w.f32(n->x());
    for (const Node* n : nodes)
        w.f32(n->y());
    // Node ids are list positions, so a link names its nodes by id; a network never holds a
    // link without both its nodes, and 0 would be refused.
    for (const Link* l : links)
        w.i32(l->fromNode() ? l->fromNode()->id() : 0);
    for (const Link* l : links)
        w.i32(l->toNode() ? l->toNode()->id() : 0);
    for (const Link* l : links)
        w.i32(l->numLanes());
    for (const Link* l : links)
        w.i32(l->capacity());
    for (const Link* l : links)
        w.f32(l->storedLength());
    for (const Link* l : links)
        w.i32(l->ffSpeed());
    for (const Link* l : links)
        w.i32(l->jamDensity());
    for (const Link* l : links)
        w.u8(static_cast<std::uint8_t>(l->direction()));
    for (const Link* l : links)
        w.u8(static_cast<std::uint8_t>(l->type()));
    for (const Link* l : links)
        w.i32(l->twoWaySide());
    for (const Link* l : links)
        w.u32(static_cast<std::uint32_t>(l->description().size()));
    for (const Link* l : links)
        w.bytes(l->description());
    w.u32(static_cast<std::uint32_t>(network.bitmapPath().size()));
    w.bytes(network.bitmapPath());
    const WorldRect r = network.bitmapRect();
    w.f32(r.top);
    w.f32(r.bottom);
    w.f32(r.left);
    w.f32(r.right);
    return w.take();
}

bool decodeSnapshot(std::string_view bytes, Network& into, std::string* why) {
    Reader r(bytes);
    if (!r.has(12) || r.bytes(4) != std::string_view(kMagic, sizeof kMagic))
        return fail(why, "it is not a network snapshot");
    const std::uint32_t nodeCount = r.u32();
    const std::uint32_t linkCount = r.u32();
    constexpr auto kMaxCount = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
    if (nodeCount > kMaxCount || linkCount > kMaxCount ||
        !r.has(nodeCount * kNodeBytes + linkCount * kLinkBytes))
        return fail(why, "it is cut short");

    // Everything is checked before the network is touched, so a damaged snapshot leaves it
    // empty rather than half built.
    Network built;
    std::vector<Node*> nodes(nodeCount);
    for (auto& n : nodes) {
        n = new Node;
        built.addNode(n);
    }
    for (Node* n : nodes)
        n->setX(r.f32());
    for (Node* n : nodes)
        n->setY(r.f32());

    std::vector<Link*> links(linkCount);
    for (auto& l : links) {
        l = new Link;
        built.addLink(l);
    }
    for (int end = 0; end < 2; ++end) {
        for (Link* l : links) {
            const std::uint32_t id = r.u32();
            if (id == 0 || id > nodeCount)
                return fail(why, "a link names a node that does not exist");
            Node* n = nodes[id - 1];
            if (end == 0)
                l->setFromNode(n);
            else
                l->setToNode(n);
        }
    }
    for (Link* l : links)
        l->setNumLanes(r.i32());
    for (Link* l : links)
        l->setCapacity(r.i32());
    for (Link* l : links)
        l->setStoredLength(r.f32());
    for (Link* l : links)
        l->setFFSpeed(r.i32());
    for (Link* l : links)
        l->setJamDensity(r.i32());
    for (Link* l : links) {
        const std::uint8_t d = r.u8();
        if (d != Inbound && d != Outbound)
            return fail(why, "a link has an unknown direction");
        l->setDirection(static_cast<LinkDirection>(d));
    }
    for (Link* l : links) {
        const std::uint8_t t = r.u8();
        if (t > None)
            return fail(why, "a link has an unknown type");
        l->setType(static_cast<LinkType>(t));
    }
    for (Link* l : links) {
        const std::int32_t side = r.i32();
        if (side < 0 || side > 2)
            return fail(why, "a link has an unknown two-way side");
        l->setTwoWaySide(side);
    }
    std::vector<std::uint32_t> sizes(linkCount);
    std::uint64_t textBytes = 0;
    for (auto& s : sizes) {
        s = r.u32();
        textBytes += s;
    }
    if (!r.has(textBytes + 4))
        return fail(why, "it is cut short");
    for (std::size_t i = 0; i < links.size(); ++i)
        links[i]->setDescription(std::string(r.bytes(sizes[i])));
    const std::uint32_t pathSize = r.u32();
    if (!r.has(std::uint64_t{pathSize} + 16))
        return fail(why, "it is cut short");
    std::string path(r.bytes(pathSize));
    WorldRect rect;
    rect.top = r.f32();
    rect.bottom = r.f32();
    rect.left = r.f32();
    rect.right = r.f32();
    if (r.left() != 0)
        return fail(why, "it has bytes after its end");
    built.setBitmap(std::move(path), rect);
    built.recomputeBounds();
    into.clear();
    into.swap(built);
    return true;
}
