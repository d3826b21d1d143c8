#include "streets/trafficfields.h"

#include "tiger/roadclasses.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace vantry {

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

} // namespace

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

void applySpeeds(std::string_view both, std::string_view forward, std::string_view backward,
                 bool bareIsMph, TigerChain& chain) {
    const std::int32_t plain = speedOf(both, bareIsMph);
    const std::int32_t f = speedOf(forward, bareIsMph), b = speedOf(backward, bareIsMph);
    chain.speedForward = f > 0 ? f : plain;
    chain.speedBackward = b > 0 ? b : plain;
}

std::int32_t speedFromMaxspeed(std::string_view text) {
    return speedOf(text, false);
}

} // namespace vantry
