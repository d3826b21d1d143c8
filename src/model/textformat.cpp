// The line-oriented network text format: ".txt" files, undo snapshots and clipboard lines.

#include "model/linereader.h"
#include "model/network.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <istream>
#include <limits>
#include <memory>
#include <ostream>
#include <sstream>
#include <vector>

namespace vantry {

const char* const kFormatTag = "KX101";
const char* const kEndNodesMarker = "EndNodes";
const char* const kEndLinksMarker = "EndLinks";

namespace {

constexpr std::string_view kGeoreferenceKeyword = "Georeference";

// How floats are written: fixed-point with a number of decimals, or, for a stream that is not in
// fixed notation, exactly as that stream would write them.
class FloatFormat {
public:
    explicit FloatFormat(int fixedDecimals) : decimals_(fixedDecimals) {}
    explicit FloatFormat(const std::ostream& stream) : stream_(&stream) {
        if ((stream.flags() & std::ios_base::floatfield) == std::ios_base::fixed)
            decimals_ = static_cast<int>(stream.precision());
    }

    // Returns v as a reader gets it back from what was written.
    float append(std::string& out, float v) const {
        if (decimals_ >= 0) {
            // Room for the 39 integer digits of the largest float and the 149 decimals of
            // the smallest.
            char buf[256];
            const auto r =
                std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals_);
            if (r.ec == std::errc{}) {
                out.append(buf, r.ptr);
                float back = v;
                std::from_chars(buf, r.ptr, back);
                return back;
            }
        }
        std::ostringstream tmp;
        if (stream_)
            tmp.copyfmt(*stream_);
        tmp << v;
        out += tmp.str();
        return v;
    }

private:
    int decimals_ = -1;
    const std::ostream* stream_ = nullptr;
};

void appendInt(std::string& out, long long v) {
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// Line breaks cannot be represented inside a line: each one is written as a single space so that
// what is written always reads back.
void appendSingleLine(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            out += ' ';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            out += ' ';
        } else {
            out += c;
        }
    }
}

// Returns the node's position as a reader gets it back.
WorldPoint appendNodeLine(std::string& out, const Node& n, const FloatFormat& fmt) {
    WorldPoint p;
    p.x = fmt.append(out, n.x());
    out += ' ';
    p.y = fmt.append(out, n.y());
    out += '\n';
    return p;
}

// The length is written as given.
void appendLinkLine(std::string& out, const Link& l, int from, int to, float length,
                    const FloatFormat& fmt) {
    appendInt(out, from);
    out += ' ';
    appendInt(out, to);
    out += ' ';
    appendInt(out, l.numLanes());
    out += ' ';
    appendInt(out, l.capacity());
    out += ' ';
    fmt.append(out, length);
    out += ' ';
    appendInt(out, l.ffSpeed());
    out += ' ';
    appendInt(out, l.jamDensity());
    out += ' ';
    out += l.directionCode();
    out += ' ';
    out += l.typeCode();
    out += ' ';
    appendSingleLine(out, l.description());
    out += '\n';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads numbers from a line the way stream extraction does: leading blanks skipped, an optional
// sign, and the longest number that parses; the cursor stays right after it.
class Cursor {
public:
    explicit Cursor(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    enum class Result { Ok, Missing, OutOfRange, NotFinite };

    void skipBlanks() {
        while (p_ != end_ && isBlank(*p_))
            ++p_;
    }

    Result readInt(std::int32_t& v) {
        skipBlanks();
        const char* start = p_;
        if (start != end_ && *start == '+' && start + 1 != end_ && *(start + 1) != '-')
            ++start;
        std::int32_t value = 0;
        const auto r = std::from_chars(start, end_, value);
        if (r.ec == std::errc::invalid_argument)
            return Result::Missing;
        p_ = r.ptr;
        if (r.ec == std::errc::result_out_of_range)
            return Result::OutOfRange;
        v = value;
        return Result::Ok;
    }

    // When decimals is given it gets those the number was written with.
    Result readFloat(float& v, int* decimals = nullptr) {
        skipBlanks();
        const char* start = p_;
        if (start != end_ && *start == '+' && start + 1 != end_ && *(start + 1) != '-')
            ++start;
        float value = 0.0f;
        const auto r = std::from_chars(start, end_, value, std::chars_format::general);
        if (r.ec == std::errc::invalid_argument)
            return Result::Missing;
        p_ = r.ptr;
        if (r.ec == std::errc::result_out_of_range)
            return Result::OutOfRange;
        if (!std::isfinite(value))
            return Result::NotFinite;
        v = value;
        if (decimals)
            *decimals = writtenDecimals({start, static_cast<std::size_t>(r.ptr - start)});
        return Result::Ok;
    }

    bool atEnd() const { return p_ == end_; }
    // True when nothing but blanks is left.
    bool endsHere() {
        skipBlanks();
        return atEnd();
    }
    char peek() const { return *p_; }
    char take() { return *p_++; }
    std::string_view rest() const { return {p_, static_cast<std::size_t>(end_ - p_)}; }

private:
    const char* p_;
    const char* end_;
};

bool fail(std::string* why, std::string message) {
    if (why)
        *why = std::move(message);
    return false;
}

std::string numberProblem(Cursor::Result r, const char* what, bool whole) {
    switch (r) {
    case Cursor::Result::Missing:
        return std::string(what) +
               (whole ? " is missing or is not a whole number" : " is missing or is not a number");
    case Cursor::Result::OutOfRange:
        return std::string(what) + " is out of range";
    default:
        return std::string(what) + " is not a finite number";
    }
}

std::string atLine(std::size_t number, const std::string& what) {
    return "line " + std::to_string(number) + ": " + what;
}

} // namespace

int writtenDecimals(std::string_view number) {
    // More decimals than any float has digits: past them a unit is nothing.
    constexpr long long kMost = 1000;
    std::size_t i = 0;
    const auto digit = [&] { return i < number.size() && number[i] >= '0' && number[i] <= '9'; };
    while (i < number.size() && isBlank(number[i]))
        ++i;
    if (i < number.size() && (number[i] == '+' || number[i] == '-'))
        ++i;
    while (digit())
        ++i;
    long long decimals = 0;
    if (i < number.size() && number[i] == '.')
        for (++i; digit(); ++i)
            decimals = std::min(decimals + 1, kMost);
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        const bool negative = i < number.size() && number[i] == '-';
        if (i < number.size() && (number[i] == '+' || number[i] == '-'))
            ++i;
        long long exponent = 0;
        for (; digit(); ++i)
            exponent = std::min(exponent * 10 + (number[i] - '0'), 2 * kMost);
        decimals += negative ? exponent : -exponent;
    }
    return static_cast<int>(std::clamp(decimals, 0LL, kMost));
}

// ---- Node and link lines ----------------------------------------------------------------------

void Node::writeLine(std::ostream& out) const {
    std::string line;
    appendNodeLine(line, *this, FloatFormat(out));
    out << line;
}

bool Node::readLine(std::string_view line, std::string* why, WrittenDecimals* written) {
    Cursor c(line);
    // A field the line no longer reaches keeps its default of 0, as it always has; a field that
    // is there but is not a number cannot be read.
    float xy[2] = {0.0f, 0.0f};
    int decimals[2] = {kUnrounded, kUnrounded};
    const char* what[2] = {"the node's x", "the node's y"};
    for (int i = 0; i < 2; ++i) {
        if (c.endsHere())
            break;
        const auto r = c.readFloat(xy[i], &decimals[i]);
        if (r != Cursor::Result::Ok)
            return fail(why, numberProblem(r, what[i], false));
    }
    x_ = xy[0];
    y_ = xy[1];
    if (written)
        *written = WrittenDecimals{decimals[0], decimals[1]};
    return true;
}

void Link::writeLine(std::ostream& out, const NodeNumbering& numbering) const {
    auto number = [&](const Node* n) {
        const auto it = numbering.find(n);
        return it == numbering.end() ? 0 : it->second;
    };
    std::string line;
    appendLinkLine(line, *this, number(from_), number(to_), effectiveLength(), FloatFormat(out));
    out << line;
}

bool Link::readLine(std::string_view line, const NodeTable& table, std::string* why,
                    const WrittenDecimalsTable* written) {
    Cursor c(line);
    std::int32_t numbers[2] = {0, 0};
    const char* what[2] = {"the link's from-node number", "the link's to-node number"};
    for (int i = 0; i < 2; ++i) {
        const auto r = c.readInt(numbers[i]);
        if (r != Cursor::Result::Ok)
            return fail(why, numberProblem(r, what[i], true));
    }
    Node* ends[2] = {nullptr, nullptr};
    for (int i = 0; i < 2; ++i) {
        const std::int32_t k = numbers[i];
        if (k >= 1 && static_cast<std::size_t>(k) < table.size())
            ends[i] = table[k];
        if (!ends[i])
            return fail(why, "the link names node " + std::to_string(k) +
                                 ", which the node section does not define");
    }
    setFromNode(ends[0]);
    setToNode(ends[1]);

    // Fields the line no longer reaches keep a new link's defaults (an automatic length,
    // direction Inbound, type None, no description); a field that is there but is not a number
    // cannot be read.
    std::int32_t lanes = 0, cap = 0, speed = 0, jam = 0;
    float length = -1.0f;
    int lengthDecimals = kUnrounded;
    std::int32_t* whole[4] = {&lanes, &cap, &speed, &jam};
    const char* names[4] = {"the link's number of lanes", "the link's capacity",
                            "the link's free-flow speed", "the link's jam density"};
    for (int field = 0; field < 5 && !c.endsHere(); ++field) {
        Cursor::Result r;
        if (field == 2) {
            if ((r = c.readFloat(length, &lengthDecimals)) != Cursor::Result::Ok)
                return fail(why, numberProblem(r, "the link's length", false));
            continue;
        }
        const int k = field < 2 ? field : field - 1;
        if ((r = c.readInt(*whole[k])) != Cursor::Result::Ok)
            return fail(why, numberProblem(r, names[k], true));
    }
    numLanes_ = lanes;
    capacity_ = cap;
    if (written) {
        const auto decimalsOf = [written](std::int32_t k) {
            return static_cast<std::size_t>(k) < written->size() ? (*written)[k]
                                                                 : WrittenDecimals{};
        };
        setLengthAsWritten(length, lengthDecimals, decimalsOf(numbers[0]), decimalsOf(numbers[1]));
    } else {
        setLength(length);
    }
    ffSpeed_ = speed;
    jamDensity_ = jam;
    direction_ = LinkDirection::Inbound;
    type_ = LinkType::None;
    description_.clear();
    // An automatic length is written as the node distance, which two nodes near the ends of the
    // float range put beyond it: the saved file could not be read again.
    if (!std::isfinite(effectiveLength()))
        return fail(why, "the link's automatic length (the distance between its nodes) is not a "
                         "finite number");

    if (c.endsHere())
        return true;
    setDirectionCode(c.take());

    if (!c.atEnd() && c.peek() == ' ')
        c.take();
    const std::string_view afterDirection = c.rest();
    const std::size_t space = afterDirection.find(' ');
    setTypeCode(afterDirection.substr(0, space));
    if (space == std::string_view::npos) {
        description_.clear();
    } else {
        description_.assign(afterDirection.substr(space + 1));
    }
    return true;
}

// ---- Whole network ----------------------------------------------------------------------------

std::string Network::toText() const {
    const FloatFormat fmt(writtenPrecision());
    std::string out;
    out.reserve(64 + nodes_.size() * 24 + links_.size() * 56);
    out += kFormatTag;
    out += '\n';
    // An automatic length is written as the distance between the nodes as the file gives them,
    // not as they were before rounding: then the file agrees with itself, and what it reads as
    // saves as the same text.
    std::vector<WorldPoint> written;
    written.reserve(nodes_.size());
    for (const Node* n : nodes_)
        written.push_back(appendNodeLine(out, *n, fmt));
    out += kEndNodesMarker;
    out += '\n';
    // Ids equal list positions, so a node's id is its number in the node section.
    const auto distance = [&](int from, int to) {
        const WorldPoint a = written[static_cast<std::size_t>(from - 1)];
        const WorldPoint b = written[static_cast<std::size_t>(to - 1)];
        const double dx = static_cast<double>(a.x) - static_cast<double>(b.x);
        const double dy = static_cast<double>(a.y) - static_cast<double>(b.y);
        return static_cast<float>(std::sqrt(dx * dx + dy * dy));
    };
    for (const Link* l : links_) {
        const int from = l->fromNode() ? l->fromNode()->id() : 0;
        const int to = l->toNode() ? l->toNode()->id() : 0;
        const bool ends = containsNode(l->fromNode()) && containsNode(l->toNode());
        const float length =
            l->hasAutomaticLength() && ends ? distance(from, to) : l->effectiveLength();
        appendLinkLine(out, *l, from, to, length, fmt);
    }
    out += kEndLinksMarker;
    out += '\n';
    appendSingleLine(out, bitmapPath_);
    out += '\n';
    fmt.append(out, bitmapRect_.top);
    out += ' ';
    fmt.append(out, bitmapRect_.left);
    out += ' ';
    fmt.append(out, bitmapRect_.bottom);
    out += ' ';
    fmt.append(out, bitmapRect_.right);
    out += '\n';
    // Readers that know nothing of it stop after the rectangle, so a placed network stays
    // readable everywhere; an unplaced one is written exactly as before.
    if (georeference_.placed()) {
        out += kGeoreferenceKeyword;
        out += ' ';
        out += formatGeoreference(georeference_);
        out += '\n';
    }
    return out;
}

bool Network::write(std::ostream& out) const {
    out.setf(std::ios_base::fixed, std::ios_base::floatfield);
    out.precision(writtenPrecision());
    const std::string text = toText();
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return !out.fail();
}

bool Network::read(std::istream& in, std::string* why) {
    std::ostringstream buffer;
    if (in)
        buffer << in.rdbuf();
    if (in.bad())
        return fail(why, "the file could not be read");
    return readText(buffer.str(), why);
}

bool Network::readText(std::string_view text, std::string* why) {
    LineReader lines(text);
    std::string_view line;
    if (!lines.next(line))
        return fail(why, "the file is empty");
    if (line != kFormatTag)
        return fail(why, atLine(1, std::string("the file does not begin with the tag \"") +
                                       kFormatTag + "\""));

    std::string problem;
    NodeTable table{nullptr};
    // The file rounded every number it holds; the link lines need to know how far.
    WrittenDecimalsTable written{WrittenDecimals{}};
    for (;;) {
        if (!lines.next(line))
            return fail(why, std::string("the file ends before \"") + kEndNodesMarker + "\"");
        if (line == kEndNodesMarker)
            break;
        // Held until the network owns it, so that memory running out on the way loses nothing.
        auto n = std::make_unique<Node>();
        WrittenDecimals decimals;
        if (!n->readLine(line, &problem, &decimals))
            return fail(why, atLine(lines.lineNumber(), problem));
        nodes_.push_back(n.get());
        Node* node = n.release();
        node->id_ = static_cast<std::int32_t>(nodes_.size());
        table.push_back(node);
        written.push_back(decimals);
    }

    for (;;) {
        if (!lines.next(line))
            return fail(why, std::string("the file ends before \"") + kEndLinksMarker + "\"");
        if (line == kEndLinksMarker)
            break;
        // A blank line names no nodes and so is no link; nothing refers to link positions.
        if (Cursor(line).endsHere())
            continue;
        auto* l = new Link;
        const auto drop = [l] {
            l->setFromNode(nullptr);
            l->setToNode(nullptr);
            delete l;
        };
        try {
            if (!l->readLine(line, table, &problem, &written)) {
                drop();
                return fail(why, atLine(lines.lineNumber(), problem));
            }
            links_.push_back(l);
        } catch (...) {
            // Memory ran out: the link is not the network's yet.
            drop();
            throw;
        }
        l->setId(static_cast<std::int32_t>(links_.size()));
    }

    if (!lines.next(line))
        return fail(why, "the file ends before the background bitmap lines");
    std::string path(line);
    const std::size_t rectLine = lines.lineNumber() + 1;

    // The rectangle is read like stream extraction would: blanks, line ends included, between
    // the four numbers do not matter.
    Cursor c(lines.rest());
    float rect[4] = {0, 0, 0, 0};
    const char* names[4] = {"top", "left", "bottom", "right"};
    for (int i = 0; i < 4; ++i) {
        const auto r = c.readFloat(rect[i]);
        if (r == Cursor::Result::Missing)
            return fail(why, atLine(rectLine, "the background rectangle needs four numbers "
                                              "(top, left, bottom, right)"));
        if (r != Cursor::Result::Ok)
            return fail(why, atLine(rectLine, numberProblem(r,
                                                            (std::string("the background "
                                                                         "rectangle's ") +
                                                             names[i])
                                                                .c_str(),
                                                            false)));
    }
    setBitmap(std::move(path), WorldRect{rect[0], rect[2], rect[1], rect[3]});
    recomputeBounds();

    // Whatever follows the rectangle on its line has always been ignored, and so is anything
    // after it that is not a georeference.
    const std::string_view after = lines.rest();
    const std::size_t read = after.size() - c.rest().size();
    const std::size_t lastRectLine =
        rectLine + static_cast<std::size_t>(std::count(after.begin(), after.begin() + read, '\n'));
    LineReader tail(c.rest());
    if (!tail.next(line))
        return true;
    while (tail.next(line)) {
        if (Cursor(line).endsHere())
            continue;
        const std::size_t start = line.find_first_not_of(" \t");
        const std::string_view word = line.substr(start, kGeoreferenceKeyword.size());
        const std::string_view fields = line.substr(start + word.size());
        if (word != kGeoreferenceKeyword || (!fields.empty() && !isBlank(fields.front())))
            return true;
        Georeference g;
        if (!parseGeoreference(fields, g, &problem))
            return fail(why, atLine(lastRectLine + tail.lineNumber() - 1, problem));
        setGeoreference(std::move(g));
        return true;
    }
    return true;
}

} // namespace vantry
