#include "streets/streetrules.h"

#include "tiger/roadclasses.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <tuple>
#include <unordered_map>
#include <utility>

namespace {

// More lanes than this in one direction is taken for a mistyped value rather than a road.
constexpr std::int32_t kMostLanes = 50;
constexpr double kMilesPerKilometre = 0.621371192;

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

// The one-way values of OpenStreetMap and of the layers GIS programs exchange: yes/no/-1, the
// F/T/B of the widely used OpenStreetMap shapefiles (F with the line, T against it, B both) and
// the FT/TF/N of US road data.
OneWay oneWayOf(std::string_view text) {
    const std::string v = lowered(trimmed(text));
    if (v == "yes" || v == "true" || v == "1" || v == "f" || v == "ft")
        return OneWay::Forward;
    if (v == "-1" || v == "reverse" || v == "t" || v == "tf")
        return OneWay::Backward;
    if (v == "no" || v == "false" || v == "0" || v == "b" || v == "n")
        return OneWay::No;
    return OneWay::Unsaid;
}

// The traffic rule and the lanes each way from the oneway and lane values. impliedOneWay is the
// road's own rule when oneway says nothing. Lanes nobody gives stay 0, for the road's class to
// decide when it is populated.
void applyTraffic(std::string_view oneway, std::string_view lanesText, std::string_view forwardText,
                  std::string_view backwardText, bool impliedOneWay, TigerChain& chain) {
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
        // With one direction given, the total gives the other. Otherwise the total is shared,
        // an odd lane going forward; a single lane serves both ways.
        if (forward == 0)
            forward = givenBackward > 0 && lanes > givenBackward
                          ? lanes - givenBackward
                          : (lanes > 0 ? std::max(1, (lanes + 1) / 2) : 0);
        if (backward == 0)
            backward = givenForward > 0 && lanes > givenForward
                           ? lanes - givenForward
                           : (lanes > 0 ? std::max(1, lanes / 2) : 0);
    } else {
        std::int32_t& used = chain.traffic == ChainTraffic::Forward ? forward : backward;
        if (used == 0)
            used = lanes;
    }
    chain.lanesForward = chain.traffic == ChainTraffic::Backward ? 0 : forward;
    chain.lanesBackward = chain.traffic == ChainTraffic::Forward ? 0 : backward;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Implicit limits by country as OpenStreetMap's maxspeed values name them, in km/h unless the
// country signs miles per hour. Those meaning "no limit" (DE:motorway) are left out: the road's
// class decides their speed, as for maxspeed=none.
struct ZoneSpeed {
    std::string_view code;
    double value;
    bool mph;
};
constexpr ZoneSpeed kZoneSpeeds[] = {
    {"at:urban", 50, false},        {"at:rural", 100, false},       {"at:motorway", 130, false},
    {"at:trunk", 100, false},       {"be:urban", 50, false},        {"be-vlg:rural", 70, false},
    {"be-wal:rural", 90, false},    {"be:motorway", 120, false},    {"by:urban", 60, false},
    {"by:rural", 90, false},        {"by:motorway", 110, false},    {"ch:urban", 50, false},
    {"ch:rural", 80, false},        {"ch:trunk", 100, false},       {"ch:motorway", 120, false},
    {"cz:urban", 50, false},        {"cz:rural", 90, false},        {"cz:motorway", 130, false},
    {"cz:trunk", 110, false},       {"de:urban", 50, false},        {"de:rural", 100, false},
    {"de:living_street", 7, false}, {"de:bicycle_road", 30, false}, {"dk:urban", 50, false},
    {"dk:rural", 80, false},        {"dk:motorway", 130, false},    {"es:urban", 50, false},
    {"es:rural", 90, false},        {"es:motorway", 120, false},    {"fi:urban", 50, false},
    {"fi:rural", 80, false},        {"fi:motorway", 120, false},    {"fr:urban", 50, false},
    {"fr:rural", 80, false},        {"fr:motorway", 130, false},    {"gb:nsl_single", 60, true},
    {"gb:nsl_dual", 70, true},      {"gb:motorway", 70, true},      {"gb:nsl_restricted", 30, true},
    {"hu:urban", 50, false},        {"hu:rural", 90, false},        {"hu:motorway", 130, false},
    {"it:urban", 50, false},        {"it:rural", 90, false},        {"it:motorway", 130, false},
    {"it:trunk", 110, false},       {"nl:urban", 50, false},        {"nl:rural", 80, false},
    {"nl:motorway", 100, false},    {"no:urban", 50, false},        {"no:rural", 80, false},
    {"no:motorway", 90, false},     {"pl:urban", 50, false},        {"pl:rural", 90, false},
    {"pl:motorway", 140, false},    {"pl:expressway", 120, false},  {"pt:urban", 50, false},
    {"pt:rural", 90, false},        {"pt:motorway", 120, false},    {"ro:urban", 50, false},
    {"ro:rural", 90, false},        {"ro:motorway", 130, false},    {"ru:urban", 60, false},
    {"ru:rural", 90, false},        {"ru:motorway", 110, false},    {"ru:living_street", 20, false},
    {"se:urban", 50, false},        {"se:rural", 70, false},        {"sk:urban", 50, false},
    {"sk:rural", 90, false},        {"sk:motorway", 130, false},    {"ua:urban", 50, false},
    {"ua:rural", 90, false},        {"ua:motorway", 130, false},    {"uk:nsl_single", 60, true},
    {"uk:nsl_dual", 70, true},      {"uk:motorway", 70, true},
};

constexpr std::int32_t kWalkingMph = 5;

std::int32_t wholeMph(double mph) {
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(std::lround(mph)));
}

// Miles per hour from one maxspeed value; bareIsMph says what a number without a unit means.
std::int32_t speedOf(std::string_view text, bool bareIsMph) {
    const std::string v = lowered(trimmed(text));
    if (v == "walk")
        return kWalkingMph;
    for (const ZoneSpeed& zone : kZoneSpeeds)
        if (v == zone.code)
            return wholeMph(zone.mph ? zone.value : zone.value * kMilesPerKilometre);
    // Several values ("50;30" for times of day) give the first.
    const std::string_view first = trimmed(std::string_view(v).substr(0, v.find(';')));
    double value = 0;
    const auto r = std::from_chars(first.data(), first.data() + first.size(), value);
    if (r.ec != std::errc{} || !(value > 0) || value > 1000)
        return 0;
    const std::string_view unit = trimmed(
        std::string_view(r.ptr, static_cast<std::size_t>(first.data() + first.size() - r.ptr)));
    if (unit == "mph")
        return wholeMph(value);
    if (unit == "km/h" || unit == "kmh" || unit == "kph")
        return wholeMph(value * kMilesPerKilometre);
    if (unit.empty())
        return wholeMph(bareIsMph ? value : value * kMilesPerKilometre);
    return 0;
}

// The speeds of each direction from the plain value and the per-direction ones.
void applySpeeds(std::string_view both, std::string_view forward, std::string_view backward,
                 bool bareIsMph, TigerChain& chain) {
    const std::int32_t plain = speedOf(both, bareIsMph);
    const std::int32_t f = speedOf(forward, bareIsMph), b = speedOf(backward, bareIsMph);
    chain.speedForward = f > 0 ? f : plain;
    chain.speedBackward = b > 0 ? b : plain;
}

// Values of access, vehicle, motor_vehicle and motorcar that keep ordinary traffic off a road.
bool closedValue(std::string_view value) {
    const std::string v = lowered(trimmed(value));
    return v == "no" || v == "private" || v == "agricultural" || v == "forestry" ||
           v == "emergency" || v == "military" || v == "delivery_no";
}

// The most specific of the access tags that says anything decides: motorcar over motor_vehicle
// over vehicle over access.
bool closedToCars(const OsmTags& tags) {
    for (const std::string* v : {&tags.motorcar, &tags.motorVehicle, &tags.vehicle, &tags.access})
        if (!trimmed(*v).empty())
            return closedValue(*v);
    return false;
}

// The record-file class a road class is drawn as: limited-access highways, other primary
// roads, secondary roads, local streets, ramps and service drives.
const char* cfccOfRoadClass(std::string_view c) {
    if (c.ends_with("_link"))
        return "A63";
    if (c == "motorway" || c == "trunk")
        return "A11";
    if (c == "primary")
        return "A21";
    if (c == "secondary" || c == "tertiary")
        return "A31";
    if (c == "service")
        return "A64";
    return "A41";
}

// The road class of a TIGER/Line MTFCC ("S1400"), with the kind of service road for the codes
// that are one; empty for codes that are not roads a car may use.
std::pair<std::string, std::string> roadClassOfMtfcc(std::string_view mtfcc) {
    const std::string code = lowered(trimmed(mtfcc));
    if (code == "s1100")
        return {"motorway", ""};
    if (code == "s1200")
        return {"primary", ""};
    if (code == "s1400")
        return {"residential", ""};
    if (code == "s1630")
        return {"motorway_link", ""};
    if (code == "s1640")
        return {"service", ""};
    if (code == "s1730")
        return {"service", "alley"};
    if (code == "s1780")
        return {"service", "parking_aisle"};
    return {};
}

} // namespace

namespace {

template <std::size_t N> bool oneOf(std::string_view word, const std::string_view (&words)[N]) {
    return std::find(std::begin(words), std::end(words), word) != std::end(words);
}

// Highway values of ways that are not built, or no longer there.
constexpr std::string_view kGoneHighways[] = {"proposed", "planned",    "abandoned", "razed",
                                              "disused",  "dismantled", "no"};
// Ways one travels along that are not roads, in OpenStreetMap's highway words and the
// shapefiles' fclass words.
constexpr std::string_view kPathWords[] = {
    "footway",      "cycleway",     "path",         "track",        "track_grade1",
    "track_grade2", "track_grade3", "track_grade4", "track_grade5", "steps",
    "pedestrian",   "bridleway",    "corridor",     "busway",       "bus_guideway",
    "raceway",      "escape",       "road",         "construction", "unknown"};
constexpr std::string_view kWaterWords[] = {"river", "stream",        "canal", "drain",
                                            "ditch", "tidal_channel", "brook", "riverbank",
                                            "water", "coastline",     "wadi"};
constexpr std::string_view kRailWords[] = {"rail",      "light_rail",   "subway",
                                           "tram",      "monorail",     "funicular",
                                           "preserved", "narrow_gauge", "miniature"};

} // namespace

LineKind osmLineKind(const OsmTags& tags) {
    const std::string highway = lowered(trimmed(tags.highway));
    if (!highway.empty() && !oneOf(highway, kGoneHighways))
        return isOsmRoad(highway) ? LineKind::Road : LineKind::Way;
    const std::string waterway = lowered(trimmed(tags.waterway));
    const std::string natural = lowered(trimmed(tags.natural));
    if ((!waterway.empty() && oneOf(waterway, kWaterWords)) || natural == "water" ||
        natural == "coastline")
        return LineKind::Water;
    const std::string railway = lowered(trimmed(tags.railway));
    if (!railway.empty() && oneOf(railway, kRailWords))
        return LineKind::Railway;
    return LineKind::None;
}

LineKind classLineKind(std::string_view value) {
    const std::string c = lowered(trimmed(value));
    if (c.size() == 5 && c[1] >= '0' && c[1] <= '9') {
        switch (c[0]) {
        case 's':
            return !roadClassOfMtfcc(c).first.empty() ? LineKind::Road : LineKind::Way;
        case 'h':
            return LineKind::Water;
        case 'r':
            return LineKind::Railway;
        default:
            return LineKind::None;
        }
    }
    if (isOsmRoad(c))
        return LineKind::Road;
    if (oneOf(c, kPathWords))
        return LineKind::Way;
    if (oneOf(c, kWaterWords))
        return LineKind::Water;
    if (oneOf(c, kRailWords))
        return LineKind::Railway;
    return LineKind::None;
}

bool namesNoWay(std::string_view value) {
    static constexpr std::string_view kNoWays[] = {
        "power",     "line",           "minor_line", "cable", "wall",
        "city_wall", "retaining_wall", "fence",      "hedge", "barrier",
        "kerb",      "guard_rail",     "dam",        "weir",  "pipeline",
        "boundary",  "administrative"};
    const std::string c = lowered(trimmed(value));
    if (c.size() == 5 && c[0] == 'l' && c[1] >= '0' && c[1] <= '9')
        return true;
    return oneOf(c, kNoWays) || oneOf(c, kGoneHighways);
}

bool isOsmRoad(std::string_view highway) {
    static constexpr std::string_view kRoads[] = {
        "motorway",      "trunk",       "primary",       "secondary",      "tertiary",
        "motorway_link", "trunk_link",  "primary_link",  "secondary_link", "tertiary_link",
        "unclassified",  "residential", "living_street", "service"};
    return std::find(std::begin(kRoads), std::end(kRoads), highway) != std::end(kRoads);
}

void setOsmTag(OsmTags& tags, std::string_view key, std::string_view value) {
    static const std::pair<std::string_view, std::string OsmTags::*> kKeys[] = {
        {"highway", &OsmTags::highway},
        {"junction", &OsmTags::junction},
        {"oneway", &OsmTags::oneway},
        {"lanes", &OsmTags::lanes},
        {"lanes:forward", &OsmTags::lanesForward},
        {"lanes:backward", &OsmTags::lanesBackward},
        {"maxspeed", &OsmTags::maxspeed},
        {"maxspeed:forward", &OsmTags::maxspeedForward},
        {"maxspeed:backward", &OsmTags::maxspeedBackward},
        {"name", &OsmTags::name},
        {"ref", &OsmTags::ref},
        {"railway", &OsmTags::railway},
        {"waterway", &OsmTags::waterway},
        {"access", &OsmTags::access},
        {"motor_vehicle", &OsmTags::motorVehicle},
        {"vehicle", &OsmTags::vehicle},
        {"motorcar", &OsmTags::motorcar},
        {"service", &OsmTags::service},
        {"area", &OsmTags::area},
        {"natural", &OsmTags::natural},
    };
    for (const auto& [name, member] : kKeys)
        if (key == name) {
            tags.*member = std::string(value);
            return;
        }
}

std::int32_t speedFromMaxspeed(std::string_view text) {
    return speedOf(text, false);
}

void applyOsmTags(const OsmTags& tags, TigerChain& chain) {
    const std::string h = lowered(trimmed(tags.highway));
    chain.sourceClass = tags.highway;
    chain.description = !tags.name.empty() ? tags.name : tags.ref;
    // An area of pavement (a square, a car park drawn as its outline) is no road to drive along.
    const bool area = lowered(trimmed(tags.area)) == "yes";
    if (!isOsmRoad(h) || area) {
        chain.traffic = ChainTraffic::None;
        if (!tags.railway.empty()) {
            chain.cfcc = "B11";
            chain.sourceClass = "railway=" + tags.railway;
        } else if (!tags.waterway.empty()) {
            chain.cfcc = "H11";
            chain.sourceClass = "waterway=" + tags.waterway;
        } else if (!tags.natural.empty()) {
            chain.cfcc = "H11";
            chain.sourceClass = "natural=" + tags.natural;
        } else {
            chain.cfcc = h.empty() ? "X00" : "A71";
        }
        return;
    }
    chain.roadClass = h;
    chain.cfcc = cfccOfRoadClass(h);
    if (h == "service")
        chain.serviceKind = lowered(trimmed(tags.service));
    const bool implied =
        h == "motorway" || h == "motorway_link" || lowered(trimmed(tags.junction)) == "roundabout";
    applyTraffic(tags.oneway, tags.lanes, tags.lanesForward, tags.lanesBackward, implied, chain);
    applySpeeds(tags.maxspeed, tags.maxspeedForward, tags.maxspeedBackward, false, chain);
    // Drawn as the road it is, but no traffic of ours may use it.
    if (closedToCars(tags))
        chain.traffic = ChainTraffic::None;
}

void applyMtfcc(std::string_view mtfcc, std::string_view fullName, TigerChain& chain) {
    const std::string code = lowered(trimmed(mtfcc));
    chain.sourceClass = std::string(trimmed(mtfcc));
    chain.description = std::string(trimmed(fullName));
    const auto [roadClass, serviceKind] = roadClassOfMtfcc(code);
    if (roadClass.empty()) {
        chain.traffic = ChainTraffic::None;
        int number = -1;
        if (code.size() == 5 && code[0] == 's')
            std::from_chars(code.data() + 1, code.data() + 5, number);
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
    chain.roadClass = roadClass;
    chain.serviceKind = serviceKind;
    chain.cfcc = cfccOfRoadClass(roadClass);
    // Census ramps are drawn in the direction traffic runs; everything else is two-way.
    chain.traffic = code == "s1630" ? ChainTraffic::Forward : ChainTraffic::TwoWay;
}

void applyLineFields(const LineFields& fields, bool bareSpeedIsMph, TigerChain& chain) {
    chain.description =
        std::string(trimmed(!trimmed(fields.name).empty() ? fields.name : fields.ref));
    const std::string c = lowered(trimmed(fields.roadClass));
    chain.sourceClass = std::string(trimmed(fields.roadClass));
    if (!c.empty()) {
        // A class field decides what is a road: an MTFCC, or OpenStreetMap's words as the
        // highway and fclass fields hold them; footways, tracks, rail, power lines are not.
        std::string roadClass, serviceKind;
        if (c.size() == 5 && c[0] == 's' && c[1] >= '0' && c[1] <= '9')
            std::tie(roadClass, serviceKind) = roadClassOfMtfcc(c);
        else if (isOsmRoad(c))
            roadClass = c;
        if (roadClass.empty()) {
            chain.traffic = ChainTraffic::None;
            switch (classLineKind(c)) {
            case LineKind::Water:
                chain.cfcc = "H11";
                break;
            case LineKind::Railway:
                chain.cfcc = "B11";
                break;
            case LineKind::None:
            case LineKind::Road:
            case LineKind::Way:
                chain.cfcc = "A71";
                break;
            }
            return;
        }
        chain.roadClass = roadClass;
        chain.serviceKind = serviceKind;
        chain.cfcc = cfccOfRoadClass(roadClass);
    } else {
        // A layer that says nothing of classes is taken whole, every line a road.
        chain.cfcc = "A41";
    }
    const bool implied = chain.roadClass == "motorway" || chain.roadClass == "motorway_link";
    applyTraffic(fields.oneway, fields.lanes, fields.lanesForward, fields.lanesBackward, implied,
                 chain);
    applySpeeds(fields.maxspeed, "", "", bareSpeedIsMph, chain);
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

// A rough length between two points, good enough to find the middle of a road: degrees of
// latitude, and of longitude shrunk by the cosine of the latitude.
double roughDistance(TigerPoint a, TigerPoint b) {
    constexpr double kRadiansPerMicrodegree = 3.14159265358979323846 / 180.0 * 1e-6;
    const double lat = 0.5 * (static_cast<double>(a.latitude) + b.latitude);
    const double dx =
        (static_cast<double>(b.longitude) - a.longitude) * std::cos(lat * kRadiansPerMicrodegree);
    const double dy = static_cast<double>(b.latitude) - a.latitude;
    return std::hypot(dx, dy);
}

// The interior point of points[first..last] nearest the middle of its length; 0 when it has
// none.
std::size_t middleVertex(const std::vector<TigerPoint>& pts, std::size_t first, std::size_t last) {
    if (last - first < 2)
        return 0;
    double total = 0;
    for (std::size_t i = first; i < last; ++i)
        total += roughDistance(pts[i], pts[i + 1]);
    std::size_t best = first + 1;
    double bestGap = -1, run = 0;
    for (std::size_t i = first + 1; i < last; ++i) {
        run += roughDistance(pts[i - 1], pts[i]);
        const double gap = std::abs(run - total / 2);
        if (bestGap < 0 || gap < bestGap) {
            bestGap = gap;
            best = i;
        }
    }
    return best;
}

// Where each point of each road line lies in the data: its key (the source's node id, or its
// position) and its place in its line.
struct Use {
    std::uint64_t key;
    std::uint32_t line;
    std::uint32_t index;
};

// The keys of the points where roads join. With node ids (OpenStreetMap), that is every node two
// ways share or one way passes twice. By position (any layer), it is a point where a line ends
// and another passes, or where the lines through it go three or more ways: two lines that trace
// the same road, one for each direction, do not join at every point they share.
std::vector<std::uint64_t> junctionKeys(const std::vector<StreetLine>& lines,
                                        const std::vector<std::vector<std::uint64_t>>& keys,
                                        bool byId) {
    std::vector<Use> uses;
    std::size_t total = 0;
    for (const auto& k : keys)
        total += k.size();
    uses.reserve(total);
    for (std::size_t i = 0; i < lines.size(); ++i)
        for (std::size_t j = 0; j < keys[i].size(); ++j)
            uses.push_back(
                {keys[i][j], static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(j)});
    std::sort(uses.begin(), uses.end(), [](const Use& a, const Use& b) {
        return a.key != b.key     ? a.key < b.key
               : a.line != b.line ? a.line < b.line
                                  : a.index < b.index;
    });
    std::vector<std::uint64_t> junctions;
    std::vector<std::uint64_t> neighbours;
    for (std::size_t i = 0; i < uses.size();) {
        std::size_t j = i + 1;
        while (j < uses.size() && uses[j].key == uses[i].key)
            ++j;
        if (j - i >= 2) {
            bool joins = byId;
            if (!joins) {
                neighbours.clear();
                for (std::size_t u = i; u < j && !joins; ++u) {
                    const std::vector<std::uint64_t>& k = keys[uses[u].line];
                    const std::uint32_t at = uses[u].index;
                    if (at == 0 || at + 1 == k.size())
                        joins = true;
                    if (at > 0)
                        neighbours.push_back(k[at - 1]);
                    if (at + 1 < k.size())
                        neighbours.push_back(k[at + 1]);
                }
                if (!joins) {
                    std::sort(neighbours.begin(), neighbours.end());
                    joins =
                        std::unique(neighbours.begin(), neighbours.end()) - neighbours.begin() >= 3;
                }
            }
            if (joins)
                junctions.push_back(uses[i].key);
        }
        i = j;
    }
    return junctions;
}

// The directions a chain's links would run between its two ends, as bits: 1 from the end with
// the lower key to the other, 2 back.
unsigned directionsOf(ChainTraffic traffic, bool startIsLower) {
    const unsigned along = startIsLower ? 1u : 2u, against = startIsLower ? 2u : 1u;
    switch (traffic) {
    case ChainTraffic::Forward:
        return along;
    case ChainTraffic::Backward:
        return against;
    default:
        return along | against;
    }
}

} // namespace

void splitIntoChains(std::vector<StreetLine>& lines, std::vector<TigerChain>& out) {
    // Joined by the source's node ids when every road line has them, by position otherwise.
    bool byId = true;
    for (const StreetLine& line : lines)
        if (isRoadLine(line) && line.nodeIds.size() != line.points.size())
            byId = false;
    std::vector<std::vector<std::uint64_t>> keys(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!isRoadLine(lines[i]))
            continue;
        std::vector<std::uint64_t>& k = keys[i];
        k.reserve(lines[i].points.size());
        for (std::size_t j = 0; j < lines[i].points.size(); ++j)
            k.push_back(byId ? static_cast<std::uint64_t>(lines[i].nodeIds[j])
                             : keyOf(lines[i].points[j]));
    }
    const std::vector<std::uint64_t> junctions = junctionKeys(lines, keys, byId);
    const auto isJunction = [&](std::uint64_t key) {
        return std::binary_search(junctions.begin(), junctions.end(), key);
    };

    // The directions already taken between two ends: a second road between the same two points
    // gets a point of its own on the way, so that each stays a link of its own with its length.
    std::unordered_map<std::uint64_t, std::unordered_map<std::uint64_t, unsigned>> taken;
    const auto claim = [&](std::uint64_t a, std::uint64_t b, ChainTraffic traffic) {
        const bool startIsLower = a < b;
        unsigned& used = taken[std::min(a, b)][std::max(a, b)];
        const unsigned wanted = directionsOf(traffic, startIsLower);
        if (used & wanted)
            return false;
        used |= wanted;
        return true;
    };

    for (std::size_t li = 0; li < lines.size(); ++li) {
        StreetLine& line = lines[li];
        std::vector<TigerPoint>& pts = line.points;
        if (pts.size() < 2)
            continue;
        if (!isRoadLine(line)) {
            addChain(line.chain, pts, 0, pts.size() - 1, out);
            continue;
        }
        const std::vector<std::uint64_t>& k = keys[li];
        // A piece that closes on itself, or runs between two ends that another road already
        // joins the same way, is cut at the point nearest its middle, and its halves checked
        // in turn: a two-way loop ends up in three links each way.
        const auto emit = [&](auto& self, std::size_t from, std::size_t to) -> void {
            const bool loop = k[from] == k[to];
            if (!loop && claim(k[from], k[to], line.chain.traffic)) {
                addChain(line.chain, pts, from, to, out);
                return;
            }
            if (const std::size_t middle = middleVertex(pts, from, to); middle != 0) {
                self(self, from, middle);
                self(self, middle, to);
                return;
            }
            if (loop)
                return;
            // A straight second road: a point halfway along stands in for a vertex.
            const TigerPoint a = pts[from], b = pts[to];
            const TigerPoint half{
                static_cast<std::int32_t>((static_cast<std::int64_t>(a.latitude) + b.latitude) / 2),
                static_cast<std::int32_t>((static_cast<std::int64_t>(a.longitude) + b.longitude) /
                                          2)};
            if (half == a || half == b)
                return;
            const std::vector<TigerPoint> three{a, half, b};
            addChain(line.chain, three, 0, 1, out);
            addChain(line.chain, three, 1, 2, out);
        };
        std::size_t first = 0;
        const auto finish = [&](std::size_t last) {
            if (last > first)
                emit(emit, first, last);
            first = last;
        };
        for (std::size_t i = 1; i + 1 < pts.size(); ++i)
            if (isJunction(k[i]))
                finish(i);
        finish(pts.size() - 1);
        pts = {};
        line.nodeIds = {};
    }
}
