#include "streets/streetrules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

namespace {

// More lanes than this in one direction is taken for a mistyped value rather than a road.
constexpr std::int32_t kMostLanes = 50;
constexpr double kMilesPerKilometre = 0.621371192;

std::string lowered(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// A whole number of lanes, or 0 when the text is anything else ("2;3", "", "many").
std::int32_t laneCount(std::string_view text) {
    text = trimmed(text);
    std::int32_t value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (r.ec != std::errc{} || r.ptr != text.data() + text.size() || value < 1 ||
        value > kMostLanes)
        return 0;
    return value;
}

enum class OneWay { Unsaid, No, Forward, Backward };

OneWay oneWayOf(std::string_view text) {
    const std::string v = lowered(trimmed(text));
    if (v == "yes" || v == "true" || v == "1")
        return OneWay::Forward;
    if (v == "-1" || v == "reverse")
        return OneWay::Backward;
    if (v == "no" || v == "false" || v == "0")
        return OneWay::No;
    return OneWay::Unsaid;
}

// The traffic rule and the lanes each way from the oneway and lane values. impliedOneWay is the
// road's own rule when oneway says nothing; plainLanes the lanes each way when no value gives
// them.
void applyTraffic(std::string_view oneway, std::string_view lanesText, std::string_view forwardText,
                  std::string_view backwardText, bool impliedOneWay, std::int32_t plainLanes,
                  TigerChain& chain) {
    const OneWay rule = oneWayOf(oneway);
    if (rule == OneWay::Forward || (rule == OneWay::Unsaid && impliedOneWay))
        chain.traffic = ChainTraffic::Forward;
    else if (rule == OneWay::Backward)
        chain.traffic = ChainTraffic::Backward;
    else
        chain.traffic = ChainTraffic::TwoWay;

    const std::int32_t lanes = laneCount(lanesText);
    const std::int32_t givenForward = laneCount(forwardText);
    const std::int32_t givenBackward = laneCount(backwardText);
    std::int32_t forward = givenForward, backward = givenBackward;
    if (chain.traffic == ChainTraffic::TwoWay) {
        // With one direction given, the total gives the other; failing that, half of it.
        const std::int32_t half = lanes > 0 ? std::max(1, lanes / 2) : plainLanes;
        const auto rest = [&](std::int32_t other) {
            return other > 0 && lanes > other ? lanes - other : half;
        };
        if (forward == 0)
            forward = rest(givenBackward);
        if (backward == 0)
            backward = rest(givenForward);
    } else {
        std::int32_t& used = chain.traffic == ChainTraffic::Forward ? forward : backward;
        if (used == 0)
            used = lanes > 0 ? lanes : plainLanes;
    }
    chain.lanesForward = chain.traffic == ChainTraffic::Backward ? 0 : forward;
    chain.lanesBackward = chain.traffic == ChainTraffic::Forward ? 0 : backward;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

bool isOsmRoad(std::string_view highway) {
    static constexpr std::string_view kRoads[] = {
        "motorway",      "trunk",       "primary",       "secondary",      "tertiary",
        "motorway_link", "trunk_link",  "primary_link",  "secondary_link", "tertiary_link",
        "unclassified",  "residential", "living_street", "service"};
    return std::find(std::begin(kRoads), std::end(kRoads), highway) != std::end(kRoads);
}

std::int32_t speedFromMaxspeed(std::string_view text) {
    const std::string v = lowered(trimmed(text));
    double value = 0;
    const auto r = std::from_chars(v.data(), v.data() + v.size(), value);
    if (r.ec != std::errc{} || !(value > 0) || value > 1000)
        return 0;
    const std::string_view unit = trimmed(std::string_view(r.ptr, v.data() + v.size() - r.ptr));
    double mph = 0;
    if (unit == "mph")
        mph = value;
    else if (unit.empty() || unit == "km/h" || unit == "kmh" || unit == "kph")
        mph = value * kMilesPerKilometre;
    else
        return 0;
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(mph)));
}

void applyOsmTags(const OsmTags& tags, TigerChain& chain) {
    const std::string& h = tags.highway;
    chain.sourceClass = h;
    if (!isOsmRoad(h)) {
        chain.traffic = ChainTraffic::None;
        chain.description = !tags.name.empty() ? tags.name : tags.ref;
        if (!tags.railway.empty()) {
            chain.cfcc = "B11";
            chain.sourceClass = "railway=" + tags.railway;
        } else if (!tags.waterway.empty()) {
            chain.cfcc = "H11";
            chain.sourceClass = "waterway=" + tags.waterway;
        } else {
            chain.cfcc = h.empty() ? "X00" : "A71";
        }
        return;
    }
    // The drawing follows the record files' classes: limited-access highways, other primary
    // roads, secondary roads, local streets, ramps and service drives.
    if (h.ends_with("_link"))
        chain.cfcc = "A63";
    else if (h == "motorway" || h == "trunk")
        chain.cfcc = "A11";
    else if (h == "primary")
        chain.cfcc = "A21";
    else if (h == "secondary" || h == "tertiary")
        chain.cfcc = "A31";
    else if (h == "service")
        chain.cfcc = "A64";
    else
        chain.cfcc = "A41";
    const bool implied =
        h == "motorway" || h == "motorway_link" || lowered(trimmed(tags.junction)) == "roundabout";
    const std::int32_t plainLanes = h == "motorway" || h == "trunk" || h == "primary" ? 2 : 1;
    applyTraffic(tags.oneway, tags.lanes, tags.lanesForward, tags.lanesBackward, implied,
                 plainLanes, chain);
    chain.speed = speedFromMaxspeed(tags.maxspeed);
    chain.description = !tags.name.empty() ? tags.name : tags.ref;
}

void applyMtfcc(std::string_view mtfcc, std::string_view fullName, TigerChain& chain) {
    const std::string code = lowered(trimmed(mtfcc));
    chain.sourceClass = std::string(trimmed(mtfcc));
    chain.description = std::string(trimmed(fullName));
    int number = -1;
    if (code.size() == 5 && code[0] == 's')
        std::from_chars(code.data() + 1, code.data() + 5, number);
    const bool road =
        number >= 1100 && number <= 1780 && number != 1500 && number != 1710 && number != 1720;
    if (!road) {
        chain.traffic = ChainTraffic::None;
        if (number == 1500)
            chain.cfcc = "A51";
        else if (number >= 1000 && number < 2000)
            chain.cfcc = "A71";
        else if (startsWith(code, "h"))
            chain.cfcc = "H11";
        else if (startsWith(code, "r"))
            chain.cfcc = "B11";
        else
            chain.cfcc = "X00";
        return;
    }
    switch (number) {
    case 1100:
        chain.cfcc = "A11";
        break;
    case 1200:
        chain.cfcc = "A21";
        break;
    case 1630:
        chain.cfcc = "A63";
        break;
    case 1640:
        chain.cfcc = "A64";
        break;
    default:
        chain.cfcc = "A41";
        break;
    }
    const std::int32_t lanes = number == 1100 || number == 1200 ? 2 : 1;
    chain.traffic = number == 1630 ? ChainTraffic::Forward : ChainTraffic::TwoWay;
    chain.lanesForward = lanes;
    chain.lanesBackward = number == 1630 ? 0 : lanes;
}

void applyLineFields(const LineFields& fields, TigerChain& chain) {
    chain.cfcc = "A41";
    applyTraffic(fields.oneway, fields.lanes, "", "", false, 1, chain);
    chain.speed = speedFromMaxspeed(fields.maxspeed);
    chain.description = std::string(trimmed(fields.name));
}

namespace {

std::uint64_t keyOf(TigerPoint p) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(p.latitude)) << 32) |
           static_cast<std::uint32_t>(p.longitude);
}

bool isRoadLine(const StreetLine& line) {
    return line.chain.traffic != ChainTraffic::None;
}

// Appends the chain over points[first..last], with the attributes of proto.
void addChain(const TigerChain& proto, const std::vector<TigerPoint>& points, std::size_t first,
              std::size_t last, std::vector<TigerChain>& out) {
    TigerChain chain = proto;
    chain.start = points[first];
    chain.end = points[last];
    chain.shapePoints.assign(points.begin() + static_cast<std::ptrdiff_t>(first) + 1,
                             points.begin() + static_cast<std::ptrdiff_t>(last));
    out.push_back(std::move(chain));
}

} // namespace

void splitIntoChains(std::vector<StreetLine>& lines, std::vector<TigerChain>& out) {
    // Points used by two road lines or more: every road point with its line, sorted, shows them
    // as runs of one key that hold more than one line.
    std::vector<std::pair<std::uint64_t, std::uint32_t>> uses;
    std::size_t roadPoints = 0;
    for (const StreetLine& line : lines)
        if (isRoadLine(line))
            roadPoints += line.points.size();
    uses.reserve(roadPoints);
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (isRoadLine(lines[i]))
            for (const TigerPoint& p : lines[i].points)
                uses.emplace_back(keyOf(p), static_cast<std::uint32_t>(i));
    std::sort(uses.begin(), uses.end());
    std::vector<std::uint64_t> shared;
    for (std::size_t i = 0; i < uses.size();) {
        std::size_t j = i + 1;
        while (j < uses.size() && uses[j].first == uses[i].first)
            ++j;
        if (uses[j - 1].second != uses[i].second)
            shared.push_back(uses[i].first);
        i = j;
    }
    uses = {};

    const auto isShared = [&](TigerPoint p) {
        return std::binary_search(shared.begin(), shared.end(), keyOf(p));
    };
    for (StreetLine& line : lines) {
        const std::vector<TigerPoint>& pts = line.points;
        if (pts.size() < 2)
            continue;
        if (!isRoadLine(line)) {
            addChain(line.chain, pts, 0, pts.size() - 1, out);
            continue;
        }
        std::size_t first = 0;
        const auto finish = [&](std::size_t last) {
            // A piece that closes on itself would become a node without a link.
            if (pts[first] == pts[last] && last - first >= 2) {
                const std::size_t middle = first + (last - first) / 2;
                addChain(line.chain, pts, first, middle, out);
                addChain(line.chain, pts, middle, last, out);
            } else if (last > first) {
                addChain(line.chain, pts, first, last, out);
            }
            first = last;
        };
        for (std::size_t i = 1; i + 1 < pts.size(); ++i)
            if (isShared(pts[i]))
                finish(i);
        finish(pts.size() - 1);
        line.points = {};
    }
}
