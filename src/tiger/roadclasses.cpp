#include "tiger/roadclasses.h"

#include <algorithm>
#include <charconv>

namespace vantry {

namespace {

// Jam density is taken as 190 vehicles per lane per mile for every class: about one vehicle
// every 28 feet, the figure the Highway Capacity Manual's speed-flow curves run out at, and
// little different between a freeway and a street once traffic stands.
constexpr std::int32_t kJam = 190;

// Where the figures come from (Highway Capacity Manual, 6th edition, in vehicles rather than
// passenger cars, rounded down a little for the trucks a real stream carries):
// - motorway: basic freeway segment at 65 mph free-flow speed, capacity 2,350 pc/h/ln
//   (Exhibit 12-6), taken as 2,200 veh/h/ln; two lanes each way as most US freeways have.
// - trunk: multilane highway at 55 mph, 2,100 pc/h/ln (Exhibit 12-8), taken as 2,000.
// - primary: multilane highway at 45 mph, 1,900 pc/h/ln (Exhibit 12-8), taken as 1,800.
// - secondary, tertiary: two-lane highway, 1,700 pc/h in each direction (Chapter 15), less on
//   the lower class for its signals and driveways.
// - unclassified, residential: urban street, base saturation flow 1,900 pc/h/ln (Chapter 19)
//   at a green share of about a half: 1,000.
// - living_street, service: streets driven at walking to parking speeds, 600.
// - ramps: ramp roadway capacity by the ramp's free-flow speed (Exhibit 14-12): 2,100 at 40 to
//   50 mph, 2,000 at 30 to 40, 1,900 at 20 to 30.
const std::vector<RoadClassInfo> kTable = {
    {"motorway", "Motorway", {65, 2, 2200, kJam}, true},
    {"motorway_link", "Motorway ramp", {45, 1, 2100, kJam}, true},
    {"trunk", "Trunk road", {55, 2, 2000, kJam}, true},
    {"trunk_link", "Trunk ramp", {40, 1, 2000, kJam}, true},
    {"primary", "Primary road", {45, 2, 1800, kJam}, true},
    {"primary_link", "Primary ramp", {35, 1, 2000, kJam}, true},
    {"secondary", "Secondary road", {40, 1, 1700, kJam}, true},
    {"secondary_link", "Secondary ramp", {30, 1, 1900, kJam}, true},
    {"tertiary", "Tertiary road", {35, 1, 1500, kJam}, true},
    {"tertiary_link", "Tertiary ramp", {30, 1, 1900, kJam}, true},
    {"unclassified", "Unclassified road", {30, 1, 1000, kJam}, true},
    {"residential", "Residential street", {25, 1, 1000, kJam}, true},
    {"living_street", "Living street", {10, 1, 600, kJam}, true},
    {"service", "Service road", {15, 1, 600, kJam}, false},
    {"driveway", "Driveway (service)", {10, 1, 600, kJam}, false},
    {"parking_aisle", "Parking aisle (service)", {10, 1, 600, kJam}, false},
    {"drive-through", "Drive-through (service)", {10, 1, 600, kJam}, false},
};

constexpr std::string_view kAll = "all";
// Not a road class: railway tracks, drawn under the streets when asked for, never populated.
constexpr std::string_view kRailway = "railway";

// Calls f on each piece of text between separators, trimmed; empty pieces are skipped.
template <class F> void forEachPiece(std::string_view text, char separator, F&& f) {
    while (!text.empty()) {
        const std::size_t at = text.find(separator);
        const std::string_view piece = trimmed(text.substr(0, at));
        if (!piece.empty())
            f(piece);
        if (at == std::string_view::npos)
            break;
        text.remove_prefix(at + 1);
    }
}

bool readField(std::string_view text, std::int32_t most, std::int32_t& out) {
    text = trimmed(text);
    std::int32_t value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (r.ec != std::errc{} || r.ptr != text.data() + text.size() || value < 1 || value > most)
        return false;
    out = value;
    return true;
}

} // namespace

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

const std::vector<RoadClassInfo>& roadClassTable() {
    return kTable;
}

const RoadClassInfo* findRoadClass(std::string_view name) {
    for (const RoadClassInfo& info : kTable)
        if (name == info.name)
            return &info;
    return nullptr;
}

bool isPrivateServiceKind(std::string_view serviceKind) {
    return serviceKind == "driveway" || serviceKind == "parking_aisle" ||
           serviceKind == "drive-through";
}

RoadClassChoice::RoadClassChoice() {
    for (const RoadClassInfo& info : kTable)
        if (info.populatedByDefault)
            names_.insert(info.name);
}

bool RoadClassChoice::parse(std::string_view text, RoadClassChoice& out, std::string& why) {
    std::set<std::string> names;
    bool ok = true;
    forEachPiece(text, ',', [&](std::string_view piece) {
        if (!ok)
            return;
        const std::string name = lowered(piece);
        if (name == kAll || name == kRailway || findRoadClass(name)) {
            names.insert(name);
            return;
        }
        why = "\"" + std::string(piece) + "\" is not a road class (they are " + std::string(kAll);
        for (const RoadClassInfo& info : kTable)
            why += std::string(", ") + info.name;
        why += ", and " + std::string(kRailway) + " to draw railway tracks)";
        ok = false;
    });
    if (!ok)
        return false;
    if (names.empty() || (names.size() == 1 && names.count(std::string(kRailway)))) {
        why = "no road class is named";
        return false;
    }
    out = RoadClassChoice(std::move(names));
    return true;
}

std::string RoadClassChoice::text() const {
    std::string text;
    if (names_.count(std::string(kAll))) {
        text = kAll;
    } else {
        for (const RoadClassInfo& info : kTable)
            if (names_.count(info.name))
                text += (text.empty() ? "" : ",") + std::string(info.name);
    }
    if (railways())
        text += (text.empty() ? "" : ",") + std::string(kRailway);
    return text;
}

bool RoadClassChoice::contains(std::string_view name) const {
    return names_.count(std::string(kAll)) || names_.count(std::string(name));
}

bool RoadClassChoice::railways() const {
    return names_.count(std::string(kRailway)) > 0;
}

bool RoadClassChoice::wants(std::string_view roadClass, std::string_view serviceKind) const {
    if (roadClass.empty() || roadClass == kRailway || !contains(roadClass))
        return false;
    if (roadClass == "service" && isPrivateServiceKind(serviceKind))
        return contains(serviceKind);
    return true;
}

RoadClassDefaultsTable::RoadClassDefaultsTable() {
    for (const RoadClassInfo& info : kTable)
        values_.emplace(info.name, info.defaults);
}

const RoadClassDefaults& RoadClassDefaultsTable::of(std::string_view name) const {
    const auto it = values_.find(name);
    return it != values_.end() ? it->second
                               : values_.find(std::string_view("unclassified"))->second;
}

void RoadClassDefaultsTable::set(std::string_view name, const RoadClassDefaults& d) {
    values_.insert_or_assign(std::string(name), d);
}

std::string RoadClassDefaultsTable::text() const {
    std::string text;
    for (const RoadClassInfo& info : kTable) {
        const RoadClassDefaults& d = of(info.name);
        if (d == info.defaults)
            continue;
        text += (text.empty() ? "" : ";") + std::string(info.name) + "=" + std::to_string(d.speed) +
                "/" + std::to_string(d.lanes) + "/" + std::to_string(d.capacity) + "/" +
                std::to_string(d.jamDensity);
    }
    return text;
}

bool RoadClassDefaultsTable::parse(std::string_view text, RoadClassDefaultsTable& out,
                                   std::string& why) {
    RoadClassDefaultsTable table;
    bool ok = true;
    forEachPiece(text, ';', [&](std::string_view piece) {
        const std::size_t eq = piece.find('=');
        const std::string name = lowered(trimmed(piece.substr(0, eq)));
        RoadClassDefaults d;
        std::string_view rest = eq == std::string_view::npos ? "" : piece.substr(eq + 1);
        std::vector<std::string_view> fields;
        forEachPiece(rest, '/', [&](std::string_view f) { fields.push_back(f); });
        const bool read = findRoadClass(name) && fields.size() == 4 &&
                          readField(fields[0], kMostClassSpeed, d.speed) &&
                          readField(fields[1], kMostClassLanes, d.lanes) &&
                          readField(fields[2], kMostClassCapacity, d.capacity) &&
                          readField(fields[3], kMostClassJamDensity, d.jamDensity);
        if (read) {
            table.set(name, d);
        } else if (ok) {
            why = "the road class defaults \"" + std::string(piece) + "\" cannot be read";
            ok = false;
        }
    });
    out = std::move(table);
    return ok;
}

} // namespace vantry
