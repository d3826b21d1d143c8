#include "streets/osmreader.h"

#include "base/files.h"
#include "streets/linekinds.h"
#include "streets/linesplitter.h"
#include "streets/streetfilechecks.h"
#include "streets/streetrules.h"

#include <osmium/handler.hpp>
#include <osmium/io/any_compression.hpp>
#include <osmium/io/pbf_input.hpp>
#include <osmium/io/reader.hpp>
#include <osmium/io/xml_input.hpp>
#include <osmium/osm/location.hpp>
#include <osmium/osm/node.hpp>
#include <osmium/osm/way.hpp>
#include <osmium/visitor.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace vantry {

const char* const kOsmLayer = "lines";

namespace {

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string loweredName(const std::string& path) {
    std::string name = pathFromUtf8(path).filename().string();
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

enum class Content { Other, Xml, Pbf };

// What the first bytes say. XML counts only when its root element is <osm>, so that GPX, KML and
// GML files stay with the general reader.
Content sniff(const std::string& path) {
    std::array<char, 1024> head{};
    std::ifstream in(pathFromUtf8(path), std::ios::binary);
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    std::string_view text(head.data(),
                          static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    // A PBF file opens with the length of its first blob header and that header's type.
    if (text.size() >= 15 && text.substr(4, 11) == std::string_view("\x0a\x09OSMHeader", 11))
        return Content::Pbf;
    if (text.starts_with("\xef\xbb\xbf"))
        text.remove_prefix(3);
    while (true) {
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
            text.remove_prefix(1);
        std::string_view close;
        if (text.starts_with("<?"))
            close = "?>";
        else if (text.starts_with("<!--"))
            close = "-->";
        else
            break;
        const std::size_t end = text.find(close);
        if (end == std::string_view::npos)
            return Content::Other;
        text.remove_prefix(end + close.size());
    }
    if (text.starts_with("<osm") && text.size() > 4 &&
        (std::isspace(static_cast<unsigned char>(text[4])) || text[4] == '>' || text[4] == '/'))
        return Content::Xml;
    return Content::Other;
}

// The format in osmium's words ("osm", "osm.bz2", "pbf"), empty when the file is not
// OpenStreetMap data. Plain files go by what they hold when that is clear, so that XML saved
// under a PBF name still reads; compressed ones can only go by their name.
std::string osmFormat(const std::string& path) {
    const std::string name = loweredName(path);
    if (endsWith(name, ".osm.bz2"))
        return "osm.bz2";
    if (endsWith(name, ".osm.gz"))
        return "osm.gz";
    const bool named = endsWith(name, ".osm") || endsWith(name, ".pbf");
    switch (sniff(path)) {
    case Content::Xml:
        return "osm";
    case Content::Pbf:
        return "pbf";
    case Content::Other:
        break;
    }
    if (!named)
        return {};
    return endsWith(name, ".pbf") ? "pbf" : "osm";
}

osmium::io::File osmiumFile(const std::string& path) {
    // An absolute name, so that osmium never takes a name like "http:..." for an address to
    // download.
    return osmium::io::File(absolutePath(path), osmFormat(path));
}

// Why a file that osmium refused cannot be read: before its header is through, it may not be
// OpenStreetMap data at all.
std::string refused(const std::string& path, bool started, const std::exception& e) {
    if (const auto* system = dynamic_cast<const std::system_error*>(&e))
        return "Cannot read " + quotedName(path) + ": " + system->code().message() + ".";
    return "Cannot read " + quotedName(path) + " as street data: " +
           (started ? "its OpenStreetMap data is damaged or incomplete ("
                    : "it is not OpenStreetMap data, or it is damaged (") +
           e.what() + ").";
}

// Node locations by signed id, in whatever order the file gives them: appended as they come and
// sorted once at the end, when they did not come in ascending order. On a city's file that is as
// fast as osmium's own indexes and faster than a hash map, and negative ids need nothing apart.
class NodeLocations {
public:
    void add(osmium::object_id_type id, osmium::Location location) {
        if (!entries_.empty() && id < entries_.back().first)
            sorted_ = false;
        entries_.emplace_back(id, location);
    }

    // Call once every node has been added.
    void finish() {
        if (!sorted_)
            std::stable_sort(entries_.begin(), entries_.end(),
                             [](const Entry& a, const Entry& b) { return a.first < b.first; });
        sorted_ = true;
    }

    // The location of a node, undefined when the file does not hold it.
    osmium::Location find(osmium::object_id_type id) const {
        const auto it =
            std::lower_bound(entries_.begin(), entries_.end(), id,
                             [](const Entry& e, osmium::object_id_type v) { return e.first < v; });
        return it != entries_.end() && it->first == id ? it->second : osmium::Location{};
    }

private:
    using Entry = std::pair<osmium::object_id_type, osmium::Location>;
    std::vector<Entry> entries_;
    bool sorted_ = true;
};

// Keeps every node's location and every way that is a street or water (or a railway, when they
// are asked for), with its node ids; the ids become points only once the whole file is read,
// since a way may come before its nodes.
class Collector : public osmium::handler::Handler {
public:
    Collector(NodeLocations& locations, std::vector<StreetLine>& lines, StreetRead& result,
              bool railways)
        : locations_(locations), lines_(lines), result_(result), railways_(railways) {}

    void node(const osmium::Node& node) {
        if (node.location().valid())
            locations_.add(node.id(), node.location());
    }

    void way(const osmium::Way& way) {
        ++result_.features;
        OsmTags osm;
        for (const osmium::Tag& t : way.tags())
            setOsmTag(osm, t.key(), t.value());
        const LineKind kind = osmLineKind(osm);
        if (kind == LineKind::None || (kind == LineKind::Railway && !railways_)) {
            ++result_.others;
            return;
        }
        StreetLine line;
        line.chain.sourceId = way.id();
        applyOsmTags(osm, line.chain);
        line.nodeIds.reserve(way.nodes().size());
        for (const osmium::NodeRef& ref : way.nodes()) {
            line.nodeIds.push_back(ref.ref());
            // Some exports put the location on the way's node list and leave the node out.
            if (ref.location().valid())
                locations_.add(ref.ref(), ref.location());
        }
        lines_.push_back(std::move(line));
    }

private:
    NodeLocations& locations_;
    std::vector<StreetLine>& lines_;
    StreetRead& result_;
    bool railways_;
};

// Millionths of a degree from osmium's ten-millionths, rounded half away from zero.
std::int32_t millionths(std::int32_t tenMillionths) {
    return tenMillionths >= 0 ? (tenMillionths + 5) / 10 : (tenMillionths - 5) / 10;
}

// Gives each line the points of its located nodes, without a node repeated at once; false when
// fewer than two remain. missing tells whether a node of the way had no location in the file.
bool locate(StreetLine& line, const NodeLocations& locations, bool& missing) {
    missing = false;
    std::vector<std::int64_t> ids;
    ids.reserve(line.nodeIds.size());
    line.points.clear();
    line.points.reserve(line.nodeIds.size());
    for (const std::int64_t id : line.nodeIds) {
        const osmium::Location at = locations.find(id);
        if (!at.valid()) {
            missing = true;
            continue;
        }
        const TigerPoint p{millionths(at.y()), millionths(at.x())};
        // Two nodes at one point would give a chain that ends where it starts.
        if (!ids.empty() && (ids.back() == id || line.points.back() == p))
            continue;
        ids.push_back(id);
        line.points.push_back(p);
    }
    line.nodeIds = std::move(ids);
    return line.points.size() >= 2;
}

// Reading takes most of the time; cutting lines into chains the rest.
constexpr double kReadShare = 0.9;

} // namespace

bool isOsmFile(const std::string& path) {
    return !osmFormat(path).empty();
}

bool checkOsmFile(const std::string& path, std::string& why) {
    try {
        osmium::io::Reader reader(osmiumFile(path), osmium::osm_entity_bits::nothing);
        reader.header();
        reader.close();
        return true;
    } catch (const std::exception& e) {
        why = refused(path, false, e);
        return false;
    }
}

bool readOsmChains(const std::string& path, const StreetReadOptions& options, StreetRead& result,
                   std::string& why, const StreetProgress& progress) {
    result = StreetRead{};
    result.layer = kOsmLayer;
    result.schema = StreetSchema::OpenStreetMap;
    const auto cancelled = [&] {
        result = StreetRead{};
        result.cancelled = true;
        why = "Reading " + quotedName(path) + " was cancelled.";
        return false;
    };

    NodeLocations locations;
    std::vector<StreetLine> lines;
    bool started = false;
    try {
        osmium::io::Reader reader(osmiumFile(path),
                                  osmium::osm_entity_bits::node | osmium::osm_entity_bits::way,
                                  osmium::io::read_meta::no);
        reader.header();
        started = true;
        Collector collect(locations, lines, result, options.railways);
        const double size = static_cast<double>(std::max<std::size_t>(reader.file_size(), 1));
        while (osmium::memory::Buffer buffer = reader.read()) {
            osmium::apply(buffer, collect);
            if (progress &&
                !progress(std::min(static_cast<double>(reader.offset()) / size, 1.0) * kReadShare))
                return cancelled();
        }
        reader.close();
    } catch (const std::exception& e) {
        result = StreetRead{};
        why = refused(path, started, e);
        return false;
    }

    locations.finish();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        bool missing = false;
        if (locate(lines[i], locations, missing)) {
            if (kept != i)
                lines[kept] = std::move(lines[i]);
            ++kept;
        } else if (missing) {
            ++result.broken;
        }
    }
    lines.resize(kept);
    result.lines = kept;
    result.skipped = result.features - kept;
    if (lines.empty()) {
        why = quotedName(path) + " holds no lines: " +
              (result.features == 0 ? std::string("it has no ways.")
                                    : "none of its " + std::to_string(result.features) +
                                          " ways is a street or water" +
                                          (options.railways ? ", nor a railway," : "") +
                                          " with two nodes the file places.");
        return false;
    }
    if (progress && !progress(kReadShare))
        return cancelled();
    splitIntoChains(lines, result.chains);
    if (progress)
        progress(1.0);
    return true;
}

} // namespace vantry
