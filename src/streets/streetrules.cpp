#include "streets/streetrules.h"

#include "streets/linekinds.h"
#include "streets/trafficfields.h"
#include "tiger/roadclasses.h"

#include <charconv>
#include <tuple>
#include <utility>

namespace vantry {

namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
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

} // namespace

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

} // namespace vantry
