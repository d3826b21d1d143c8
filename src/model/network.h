#pragma once

#include "model/geometry.h"
#include "model/georeference.h"

#include <cstdint>
#include <iosfwd>
#include <limits>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vantry {

class Link;
class Network;
class Node;

// X11's headers define None as a macro; none of ours may see them.
#ifdef None
#error "X11's None macro is defined before the link types"
#endif

enum class LinkDirection : std::int32_t { Inbound = 0, Outbound = 1 };

enum class LinkType : std::int32_t {
    Mainline = 0,
    Workzone = 1,
    Detour1 = 2,
    Detour2 = 3,
    Ramp = 4,
    None = 5,
};

// The section tag and markers of the network text format.
extern const char* const kFormatTag;
extern const char* const kEndNodesMarker;
extern const char* const kEndLinksMarker;

// Node numbers for the link lines being written (a node missing from it is written as 0).
using NodeNumbering = std::unordered_map<const Node*, int>;
// Nodes by number for the link lines being read: index k holds node number k; index 0 and
// null entries mean "no such node".
using NodeTable = std::vector<Node*>;

// The decimals of a number as its text in a file shows them: "1.235" has 3, "2" and "1.5e3"
// none, "1.5e-3" 4 (its last digit stands for ten-thousandths). A sign and blanks around the
// number may be there. An exponent never makes a number coarser than whole miles: "1.5e3" is
// taken like "1500", whose zeros may be digits as well.
int writtenDecimals(std::string_view number);
// For a number no file wrote (a field a line does not reach, a node made up for a link): it was
// never rounded.
inline constexpr int kUnrounded = std::numeric_limits<int>::max();

// How far a length written with this many decimals, between two nodes whose coordinates were
// written with as many, may lie from the distance between the nodes as read and still be the
// automatic length it was: what setLengthAsWritten allows such a file, float rounding aside.
double writtenLengthTolerance(int decimals);

// How a file rounded one node's coordinates: kept only while the file is read.
struct WrittenDecimals {
    int x = kUnrounded;
    int y = kUnrounded;
};
// The written decimals of the nodes of a NodeTable, at the same indexes.
using WrittenDecimalsTable = std::vector<WrittenDecimals>;

// One network node. Its id is its 1-based position in the network's node list, and it knows
// the links attached to it so that the editor can refuse to delete a node that is still in use.
class Node {
public:
    // Nodes and links come from pools of large pages (see objectpool.h).
    static void* operator new(std::size_t size);
    static void operator delete(void* p) noexcept;

    Node() = default;
    explicit Node(WorldPoint p) : x_(p.x), y_(p.y) {}
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    std::int32_t id() const { return id_; }
    void setId(std::int32_t id) { id_ = id; }
    float x() const { return x_; }
    float y() const { return y_; }
    void setX(float x) { x_ = x; }
    void setY(float y) { y_ = y; }
    WorldPoint position() const { return {x_, y_}; }
    void setPosition(WorldPoint p) {
        x_ = p.x;
        y_ = p.y;
    }
    // Every link that starts or ends here, each once.
    const std::vector<Link*>& links() const { return links_; }

    // Writes "x y" and a line end, in the stream's own float notation.
    void writeLine(std::ostream& out) const;
    // Reads x and y from a node line; the rest of the line is ignored. On failure the node is
    // unchanged and, when why is given, it says what is wrong. When written is given it gets the
    // decimals each coordinate was written with.
    bool readLine(std::string_view line, std::string* why = nullptr,
                  WrittenDecimals* written = nullptr);

private:
    friend class Link;
    friend class Network;

    std::uint32_t attach(Link* l);
    void detach(std::uint32_t slot);

    std::int32_t id_ = 0;
    float x_ = 0.0f;
    float y_ = 0.0f;
    std::vector<Link*> links_;
};

// The editable attributes of one link, copied out of it and written back into the same link.
struct LinkAttributes {
    std::int32_t numLanes = 0;
    std::int32_t capacity = 0;
    float length = 0.0f;
    std::int32_t ffSpeed = 0;
    std::int32_t jamDensity = 0;
    std::int32_t direction = static_cast<std::int32_t>(LinkDirection::Inbound);
    std::int32_t type = static_cast<std::int32_t>(LinkType::None);
    std::string description;
    Link* link = nullptr;
};

// One directed link with its traffic attributes. A negative stored length means the length
// follows the straight-line distance between the two nodes.
class Link {
public:
    static void* operator new(std::size_t size);
    static void operator delete(void* p) noexcept;

    Link() = default;
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    std::int32_t id() const { return id_; }
    void setId(std::int32_t id) { id_ = id; }
    Node* fromNode() const { return from_; }
    Node* toNode() const { return to_; }
    void setFromNode(Node* n);
    void setToNode(Node* n);

    std::int32_t numLanes() const { return numLanes_; }
    void setNumLanes(std::int32_t v) { numLanes_ = v; }
    std::int32_t capacity() const { return capacity_; }
    void setCapacity(std::int32_t v) { capacity_ = v; }
    std::int32_t ffSpeed() const { return ffSpeed_; }
    void setFFSpeed(std::int32_t v) { ffSpeed_ = v; }
    std::int32_t jamDensity() const { return jamDensity_; }
    void setJamDensity(std::int32_t v) { jamDensity_ = v; }
    LinkDirection direction() const { return direction_; }
    void setDirection(LinkDirection d) { direction_ = d; }
    LinkType type() const { return type_; }
    void setType(LinkType t) { type_ = t; }
    const std::string& description() const { return description_; }
    void setDescription(std::string d) { description_ = std::move(d); }

    // The stored length, or the node distance when the stored length is automatic.
    float effectiveLength() const;
    bool hasAutomaticLength() const { return length_ < 0.0f; }
    // Stores v, unless it is within 0.0001 mile of the node distance: then the length
    // becomes automatic. setLength(-1) always makes it automatic.
    void setLength(float v);
    // setLength for a length read from a file together with the coordinates of its nodes, each
    // number rounded to the decimals it was written with: the length is automatic when it
    // agrees with the node distance as read to within what that rounding can explain, and
    // never less than 0.0001 mile.
    void setLengthAsWritten(float v, int lengthDecimals, WrittenDecimals from, WrittenDecimals to);
    // The length field exactly as held, a negative value meaning automatic; for exact copies.
    float storedLength() const { return length_; }
    void setStoredLength(float v) { length_ = v; }

    char directionCode() const;
    void setDirectionCode(char c);
    const char* typeCode() const;
    void setTypeCode(std::string_view code);

    std::int32_t twoWaySide() const { return twoWaySide_; }
    // The side its heading gives a link of a two-way pair (1 or 2), without storing it.
    std::int32_t headingSide() const;
    void computeTwoWaySide();
    void setTwoWaySide(std::int32_t v);

    LinkAttributes attributes();
    // Throws std::logic_error, a guard against programming errors, when the attributes were taken
    // from another link; nothing changes then.
    void setAttributes(const LinkAttributes& d);

    // Writes the link line with node numbers from the numbering, in the stream's float notation.
    void writeLine(std::ostream& out, const NodeNumbering& numbering) const;
    // Parses a link line, attaching the nodes named through the table. On failure it says why;
    // the link may then be partly filled and should be discarded. Given the written decimals of
    // the table's nodes, the length is taken as setLengthAsWritten takes it; otherwise as
    // setLength does.
    bool readLine(std::string_view line, const NodeTable& table, std::string* why = nullptr,
                  const WrittenDecimalsTable* written = nullptr);

    // The straight-line distance between the two nodes in double precision (0 without both):
    // what an automatic length is.
    double automaticLength() const;

private:
    void setLengthWithin(float v, double tolerance);

    std::int32_t id_ = 0;
    friend class Node;

    Node* from_ = nullptr;
    Node* to_ = nullptr;
    // Where each end is listed in its node's links.
    std::uint32_t fromSlot_ = 0;
    std::uint32_t toSlot_ = 0;
    std::int32_t numLanes_ = 0;
    std::int32_t capacity_ = 0;
    float length_ = -1.0f;
    std::int32_t ffSpeed_ = 0;
    LinkDirection direction_ = LinkDirection::Inbound;
    std::int32_t jamDensity_ = 0;
    LinkType type_ = LinkType::None;
    std::int32_t twoWaySide_ = 0;
    std::string description_;
};

// The road network of one document. It owns its nodes and links and keeps each one's id equal
// to its 1-based position in its list; removing objects renumbers those that follow.
class Network {
public:
    Network() = default;
    Network(const Network&) = delete;
    Network& operator=(const Network&) = delete;
    ~Network();

    const std::vector<Node*>& nodes() const { return nodes_; }
    const std::vector<Link*>& links() const { return links_; }

    // Appends and numbers the object, taking ownership; already present objects are left alone.
    void addNode(Node* n);
    void addLink(Link* l);
    // Remove, delete and renumber; objects that are not in the network are ignored.
    void removeNode(Node* n);
    void removeLink(Link* l);
    // The same for many objects at once, in one pass over the lists.
    void removeNodes(const std::vector<Node*>& doomed);
    void removeLinks(const std::vector<Link*>& doomed);
    bool containsNode(const Node* n) const;
    bool containsLink(const Link* l) const;

    // True when a link runs from `from` to `to` (direction matters).
    bool hasLink(const Node* from, const Node* to) const;

    void recomputeBounds();
    const WorldRect& bounds() const { return bounds_; }

    void setBitmap(std::string path, WorldRect rect);
    std::string bitmapPath() const { return bitmapPath_; }
    WorldRect bitmapRect() const { return bitmapRect_; }

    // Where the network lies on Earth; unplaced until something places it.
    const Georeference& georeference() const { return georeference_; }
    // Keeps g, blanks around its CRS dropped; an unplaced georeference is kept as
    // Georeference{}. False, with checkGeoreference's reason and nothing changed, when no file
    // could hold g.
    bool setGeoreference(Georeference g, std::string* why = nullptr);

    std::int32_t precision() const { return precision_; }
    void setPrecision(std::int32_t p) { precision_ = p; }
    // The number of decimals actually written. A negative precision means a stream's default
    // of 6; a large one is honoured up to the point where every float's decimal expansion has
    // ended, since further digits could only be zeros.
    int writtenPrecision() const;

    // Checks that every number the file formats write is finite: node coordinates, the
    // effective length of every link (an automatic length between two nodes near the ends of
    // the float range is not) and the background rectangle. False, with the object and the
    // problem in `why`, when one is not, since such a network could not be read back.
    bool checkStorable(std::string* why = nullptr) const;

    // Empties the network and takes its place on Earth away; the background stays.
    void clear();
    // Exchanges every node, link, the bounds, the background and the georeference with other;
    // the precision stays with each network.
    void swap(Network& other) noexcept;

    // The network as text. write() returns false when the stream failed.
    bool write(std::ostream& out) const;
    std::string toText() const;
    // Reads a whole network into this empty network. On failure `why` names the line and what
    // is wrong with it, and the network holds whatever had been read; callers discard it.
    bool read(std::istream& in, std::string* why = nullptr);
    bool readText(std::string_view text, std::string* why = nullptr);

private:
    std::vector<Node*> nodes_;
    std::vector<Link*> links_;
    WorldRect bounds_;
    std::string bitmapPath_;
    WorldRect bitmapRect_;
    Georeference georeference_;
    std::int32_t precision_ = 3;
};

} // namespace vantry
