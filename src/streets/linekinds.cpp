#include "streets/linekinds.h"

#include "streets/streetrules.h"
#include "tiger/roadclasses.h"

#include <algorithm>

namespace vantry {

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

} // namespace vantry
