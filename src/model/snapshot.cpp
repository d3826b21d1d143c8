#include "model/snapshot.h"

#include "model/network.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>

namespace vantry {

namespace {

// A link's attributes besides its nodes and description, floats by their bits.
struct LinkNumbers {
    std::int32_t lanes, capacity, speed, jam, side;
    std::uint32_t length;
    LinkDirection direction;
    LinkType type;
    bool operator==(const LinkNumbers&) const = default;
};

LinkNumbers numbersOf(const Link& l) {
    return {l.numLanes(),   l.capacity(),   l.ffSpeed(),
            l.jamDensity(), l.twoWaySide(), std::bit_cast<std::uint32_t>(l.storedLength()),
            l.direction(),  l.type()};
}

bool sameBits(const WorldRect& a, const WorldRect& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

constexpr char kMagic[4] = {'V', 'N', 'S', '1'};
constexpr std::size_t kHeaderBytes = 12;
// A placed network's georeference follows the background as a tagged section: its tag, the
// origin's two doubles and the CRS with its size. An unplaced network has none, so its bytes are
// those of the snapshots kept before networks had a place, and those read as unplaced.
constexpr char kGeoreferenceTag[4] = {'G', 'E', 'O', '1'};
constexpr std::size_t kGeoreferenceFixedBytes = 4 + 8 + 8 + 4;

// The columns, in the order they follow the header. Fixed-size fields are little-endian
// whatever the machine, so that a snapshot kept on disk means the same everywhere.
enum Column {
    X,
    Y,
    From,
    To,
    Lanes,
    Capacity,
    Length,
    Speed,
    Jam,
    Direction,
    Type,
    Side,
    TextSize
};
constexpr int kNodeColumns = 2;
constexpr int kColumns = 13;
constexpr std::size_t kWidth[kColumns] = {4, 4, 4, 4, 4, 4, 4, 4, 4, 1, 1, 4, 4};

void put32(char* p, std::uint32_t v) {
    p[0] = static_cast<char>(v);
    p[1] = static_cast<char>(v >> 8);
    p[2] = static_cast<char>(v >> 16);
    p[3] = static_cast<char>(v >> 24);
}

std::uint32_t get32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
           std::uint32_t{b[3]} << 24;
}

void put64(char* p, std::uint64_t v) {
    put32(p, static_cast<std::uint32_t>(v));
    put32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

std::uint64_t get64(const char* p) {
    return std::uint64_t{get32(p)} | std::uint64_t{get32(p + 4)} << 32;
}

float getFloat(const char* p) {
    return std::bit_cast<float>(get32(p));
}

std::int32_t getInt(const char* p) {
    return static_cast<std::int32_t>(get32(p));
}

bool fail(std::string* why, const char* text) {
    if (why)
        *why = text;
    return false;
}

// A snapshot whose every field has been checked, with each column found in the bytes.
struct Checked {
    std::uint32_t nodes = 0;
    std::uint32_t links = 0;
    const char* column[kColumns] = {};
    const char* text = nullptr; // the descriptions, one after another
    std::string_view path;
    const char* rect = nullptr;
    Georeference georeference;
};

bool checkGeoreferenceSection(std::string_view bytes, Georeference& g, std::string* why) {
    if (bytes.size() < kGeoreferenceFixedBytes ||
        bytes.substr(0, 4) != std::string_view(kGeoreferenceTag, 4))
        return fail(why, "it has bytes after its end");
    const std::uint32_t size = get32(bytes.data() + 20);
    if (size != bytes.size() - kGeoreferenceFixedBytes)
        return fail(why, "its georeference is damaged");
    g.originX = std::bit_cast<double>(get64(bytes.data() + 4));
    g.originY = std::bit_cast<double>(get64(bytes.data() + 12));
    g.crs.assign(bytes.substr(kGeoreferenceFixedBytes));
    // A network keeps its CRS without blanks around it, so a snapshot with them is no network's.
    if (!g.placed() || g.crs.front() == ' ' || g.crs.back() == ' ' || !checkGeoreference(g))
        return fail(why, "its georeference is damaged");
    return true;
}

bool check(std::string_view bytes, Checked& c, std::string* why) {
    if (bytes.size() < kHeaderBytes || bytes.substr(0, 4) != std::string_view(kMagic, 4))
        return fail(why, "it is not a network snapshot");
    c.nodes = get32(bytes.data() + 4);
    c.links = get32(bytes.data() + 8);
    constexpr auto kMaxCount = static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max());
    if (c.nodes > kMaxCount || c.links > kMaxCount)
        return fail(why, "it is cut short");
    std::uint64_t at = kHeaderBytes;
    for (int k = 0; k < kColumns; ++k) {
        const std::uint64_t size = kWidth[k] * (k < kNodeColumns ? c.nodes : c.links);
        if (size > bytes.size() - at)
            return fail(why, "it is cut short");
        c.column[k] = bytes.data() + at;
        at += size;
    }
    std::uint64_t textBytes = 0;
    for (std::uint32_t i = 0; i < c.links; ++i) {
        const auto from = get32(c.column[From] + 4 * i), to = get32(c.column[To] + 4 * i);
        if (from == 0 || from > c.nodes || to == 0 || to > c.nodes)
            return fail(why, "a link names a node that does not exist");
        if (static_cast<std::uint8_t>(c.column[Direction][i]) >
            static_cast<std::uint8_t>(LinkDirection::Outbound))
            return fail(why, "a link has an unknown direction");
        if (static_cast<std::uint8_t>(c.column[Type][i]) >
            static_cast<std::uint8_t>(LinkType::None))
            return fail(why, "a link has an unknown type");
        const std::int32_t side = getInt(c.column[Side] + 4 * i);
        if (side < 0 || side > 2)
            return fail(why, "a link has an unknown two-way side");
        textBytes += get32(c.column[TextSize] + 4 * i);
    }
    if (textBytes + 4 > bytes.size() - at)
        return fail(why, "it is cut short");
    c.text = bytes.data() + at;
    at += textBytes;
    const std::uint32_t pathSize = get32(bytes.data() + at);
    at += 4;
    if (std::uint64_t{pathSize} + 16 > bytes.size() - at)
        return fail(why, "it is cut short");
    c.path = bytes.substr(at, pathSize);
    c.rect = bytes.data() + at + pathSize;
    at += pathSize + 16;
    if (at != bytes.size())
        return checkGeoreferenceSection(bytes.substr(at), c.georeference, why);
    return true;
}

} // namespace

SnapshotSections encodeSnapshotSections(const Network& network) {
    const auto& nodes = network.nodes();
    const auto& links = network.links();
    const std::size_t n = nodes.size(), l = links.size();
    std::size_t textBytes = 0;
    for (const Link* link : links)
        textBytes += link->description().size();

    SnapshotSections out;
    out.ends.push_back(kHeaderBytes);
    for (int k = 0; k < kColumns; ++k)
        out.ends.push_back(out.ends.back() + kWidth[k] * (k < kNodeColumns ? n : l));
    out.ends.push_back(out.ends.back() + textBytes);
    out.ends.push_back(out.ends.back() + 4 + network.bitmapPath().size() + 16);
    const Georeference& g = network.georeference();
    out.ends.push_back(out.ends.back() + (g.placed() ? kGeoreferenceFixedBytes + g.crs.size() : 0));
    std::string& b = out.bytes;
    b.resize(out.ends.back());

    std::memcpy(b.data(), kMagic, 4);
    put32(b.data() + 4, static_cast<std::uint32_t>(n));
    put32(b.data() + 8, static_cast<std::uint32_t>(l));
    char* col[kColumns];
    for (int k = 0; k < kColumns; ++k)
        col[k] = b.data() + out.ends[k];
    for (std::size_t i = 0; i < n; ++i) {
        put32(col[X] + 4 * i, std::bit_cast<std::uint32_t>(nodes[i]->x()));
        put32(col[Y] + 4 * i, std::bit_cast<std::uint32_t>(nodes[i]->y()));
    }
    // One pass over the links fills every column: the links are scattered over the heap, and
    // visiting each once is what makes a snapshot of a large network cheap.
    char* text = b.data() + out.ends[kColumns];
    for (std::size_t i = 0; i < l; ++i) {
        const Link& link = *links[i];
        // Node ids are list positions, so a link names its nodes by id. A network never holds
        // a link without both its nodes; were it to, the snapshot would be refused, not crash.
        put32(col[From] + 4 * i,
              static_cast<std::uint32_t>(link.fromNode() ? link.fromNode()->id() : 0));
        put32(col[To] + 4 * i, static_cast<std::uint32_t>(link.toNode() ? link.toNode()->id() : 0));
        put32(col[Lanes] + 4 * i, static_cast<std::uint32_t>(link.numLanes()));
        put32(col[Capacity] + 4 * i, static_cast<std::uint32_t>(link.capacity()));
        put32(col[Length] + 4 * i, std::bit_cast<std::uint32_t>(link.storedLength()));
        put32(col[Speed] + 4 * i, static_cast<std::uint32_t>(link.ffSpeed()));
        put32(col[Jam] + 4 * i, static_cast<std::uint32_t>(link.jamDensity()));
        col[Direction][i] = static_cast<char>(link.direction());
        col[Type][i] = static_cast<char>(link.type());
        put32(col[Side] + 4 * i, static_cast<std::uint32_t>(link.twoWaySide()));
        const std::string& d = link.description();
        put32(col[TextSize] + 4 * i, static_cast<std::uint32_t>(d.size()));
        std::memcpy(text, d.data(), d.size());
        text += d.size();
    }
    const std::string& path = network.bitmapPath();
    put32(text, static_cast<std::uint32_t>(path.size()));
    std::memcpy(text + 4, path.data(), path.size());
    char* rect = text + 4 + path.size();
    const WorldRect r = network.bitmapRect();
    const float fields[4] = {r.top, r.bottom, r.left, r.right};
    for (int k = 0; k < 4; ++k)
        put32(rect + 4 * k, std::bit_cast<std::uint32_t>(fields[k]));
    if (g.placed()) {
        char* geo = rect + 16;
        std::memcpy(geo, kGeoreferenceTag, 4);
        put64(geo + 4, std::bit_cast<std::uint64_t>(g.originX));
        put64(geo + 12, std::bit_cast<std::uint64_t>(g.originY));
        put32(geo + 20, static_cast<std::uint32_t>(g.crs.size()));
        std::memcpy(geo + kGeoreferenceFixedBytes, g.crs.data(), g.crs.size());
    }
    return out;
}

std::string encodeSnapshot(const Network& network) {
    return encodeSnapshotSections(network).bytes;
}

bool restoreSnapshot(std::string_view bytes, Network& network, std::string* why,
                     RestoreChanges* changes) {
    Checked c;
    if (!check(bytes, c, why))
        return false;
    RestoreChanges ignored;
    RestoreChanges& report = changes ? *changes : ignored;
    report = RestoreChanges{};
    report.reshaped = network.nodes().size() != c.nodes || network.links().size() != c.links;

    // Links the snapshot does not have go first, so that the nodes it does not have are free.
    const std::size_t keptLinks = std::min<std::size_t>(network.links().size(), c.links);
    if (network.links().size() > keptLinks)
        network.removeLinks({network.links().begin() + static_cast<std::ptrdiff_t>(keptLinks),
                             network.links().end()});
    while (network.nodes().size() < c.nodes)
        network.addNode(new Node);
    const auto& nodes = network.nodes();
    for (std::uint32_t i = 0; i < c.nodes; ++i) {
        const WorldPoint was = nodes[i]->position();
        const float x = getFloat(c.column[X] + 4 * i);
        const float y = getFloat(c.column[Y] + 4 * i);
        nodes[i]->setX(x);
        nodes[i]->setY(y);
        // Compared bit for bit: a sign of zero or a NaN's payload is a change too.
        if (!report.reshaped &&
            (std::bit_cast<std::uint32_t>(was.x) != std::bit_cast<std::uint32_t>(x) ||
             std::bit_cast<std::uint32_t>(was.y) != std::bit_cast<std::uint32_t>(y)))
            report.moved.emplace_back(nodes[i], was);
    }
    while (network.links().size() < c.links)
        network.addLink(new Link);
    const char* text = c.text;
    for (std::uint32_t i = 0; i < c.links; ++i) {
        Link& link = *network.links()[i];
        Node* from = nodes[get32(c.column[From] + 4 * i) - 1];
        Node* to = nodes[get32(c.column[To] + 4 * i) - 1];
        if (link.fromNode() != from) {
            link.setFromNode(from);
            report.reshaped = true;
        }
        if (link.toNode() != to) {
            link.setToNode(to);
            report.reshaped = true;
        }
        const LinkNumbers before = numbersOf(link);
        link.setNumLanes(getInt(c.column[Lanes] + 4 * i));
        link.setCapacity(getInt(c.column[Capacity] + 4 * i));
        link.setStoredLength(getFloat(c.column[Length] + 4 * i));
        link.setFFSpeed(getInt(c.column[Speed] + 4 * i));
        link.setJamDensity(getInt(c.column[Jam] + 4 * i));
        link.setDirection(static_cast<LinkDirection>(c.column[Direction][i]));
        link.setType(static_cast<LinkType>(c.column[Type][i]));
        link.setTwoWaySide(getInt(c.column[Side] + 4 * i));
        const std::uint32_t size = get32(c.column[TextSize] + 4 * i);
        const bool sameText = link.description() == std::string_view(text, size);
        if (!sameText)
            link.setDescription(std::string(text, size));
        text += size;
        if (!report.reshaped && (!sameText || !(before == numbersOf(link))))
            report.links.push_back(&link);
    }
    // Every link now joins nodes the snapshot has, so those beyond them are attached to nothing.
    if (nodes.size() > c.nodes)
        network.removeNodes({nodes.begin() + c.nodes, nodes.end()});
    WorldRect rect;
    rect.top = getFloat(c.rect);
    rect.bottom = getFloat(c.rect + 4);
    rect.left = getFloat(c.rect + 8);
    rect.right = getFloat(c.rect + 12);
    const std::string path(c.path);
    if (path != network.bitmapPath() || !sameBits(rect, network.bitmapRect()))
        report.reshaped = true;
    network.setBitmap(path, rect);
    if (!(c.georeference == network.georeference()))
        report.reshaped = true;
    network.setGeoreference(std::move(c.georeference));
    network.recomputeBounds();
    if (report.reshaped) {
        report.moved.clear();
        report.links.clear();
    }
    return true;
}

bool decodeSnapshot(std::string_view bytes, Network& into, std::string* why) {
    into.clear();
    return restoreSnapshot(bytes, into, why);
}

} // namespace vantry
