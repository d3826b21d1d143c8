#include "streets/layerfields.h"

#include "streets/linekinds.h"
#include "streets/streetrules.h"
#include "tiger/roadclasses.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace vantry {

namespace {

int fieldIndex(const OGRFeatureDefn& defn, std::initializer_list<const char*> names) {
    for (const char* n : names) {
        const int i = defn.GetFieldIndex(n);
        if (i >= 0)
            return i;
    }
    return -1;
}

} // namespace

LayerFields findLayerFields(const OGRFeatureDefn& defn, StreetSchema schema) {
    LayerFields f;
    switch (schema) {
    case StreetSchema::OpenStreetMap: // read by the OpenStreetMap reader, never as a layer
        break;
    case StreetSchema::TigerLine:
        f.mtfcc = fieldIndex(defn, {"MTFCC"});
        f.fullName = fieldIndex(defn, {"FULLNAME"});
        f.id = fieldIndex(defn, {"TLID"});
        break;
    case StreetSchema::Lines:
        // The field lookup ignores letter case. Shapefiles cut field names at ten characters.
        f.roadClass = fieldIndex(defn, {"highway", "fclass", "class", "type"});
        f.lanes = fieldIndex(defn, {"lanes"});
        f.lanesForward =
            fieldIndex(defn, {"lanes:forward", "lanes_forward", "lanes_forw", "lanes_fwd"});
        f.lanesBackward =
            fieldIndex(defn, {"lanes:backward", "lanes_backward", "lanes_back", "lanes_bwd"});
        f.oneway = fieldIndex(defn, {"oneway", "one_way", "dir_travel"});
        f.maxspeed =
            fieldIndex(defn, {"maxspeed", "speed", "speed_limit", "speedlimit", "spd_limit"});
        f.name = fieldIndex(defn, {"name", "FULLNAME", "street", "st_name"});
        f.ref = fieldIndex(defn, {"ref"});
        f.id = fieldIndex(defn, {"osm_id"});
        // Where the class field is empty, these say what a line of OpenStreetMap data is.
        f.waterway = fieldIndex(defn, {"waterway"});
        f.railway = fieldIndex(defn, {"railway"});
        f.natural = fieldIndex(defn, {"natural"});
        f.openStreetMap =
            f.roadClass >= 0 && fieldIndex(defn, {"osm_id", "other_tags", "waterway", "railway",
                                                  "natural", "barrier", "power"}) >= 0;
        break;
    }
    return f;
}

void ignoreOtherFields(OGRLayer& layer, const LayerFields& f) {
    const OGRFeatureDefn& defn = *layer.GetLayerDefn();
    const int used[] = {f.highway,      f.junction,      f.oneway,   f.lanes,
                        f.lanesForward, f.lanesBackward, f.maxspeed, f.name,
                        f.ref,          f.railway,       f.waterway, f.natural,
                        f.mtfcc,        f.fullName,      f.id,       f.roadClass};
    std::vector<const char*> ignored;
    for (int i = 0; i < defn.GetFieldCount(); ++i)
        if (std::find(std::begin(used), std::end(used), i) == std::end(used))
            ignored.push_back(defn.GetFieldDefn(i)->GetNameRef());
    ignored.push_back("OGR_STYLE");
    ignored.push_back(nullptr);
    layer.SetIgnoredFields(ignored.data());
}

namespace {

std::string text(const OGRFeature& f, int index) {
    if (index < 0 || !f.IsFieldSetAndNotNull(index))
        return {};
    return f.GetFieldAsString(index);
}

// Layers in the widely used OpenStreetMap shapefile layout write 0 for a road whose speed is not
// known.
std::string zeroIsUnknown(std::string value) {
    return value == "0" ? std::string() : value;
}

// The tags a line of OpenStreetMap data in a layer keeps outside its class field.
OsmTags otherTags(const OGRFeature& f, const LayerFields& fields) {
    OsmTags tags;
    tags.waterway = text(f, fields.waterway);
    tags.railway = text(f, fields.railway);
    tags.natural = text(f, fields.natural);
    tags.name = text(f, fields.name);
    tags.ref = text(f, fields.ref);
    return tags;
}

} // namespace

LineKind lineKindOf(const OGRFeature& f, const LayerFields& fields, StreetSchema schema) {
    switch (schema) {
    case StreetSchema::OpenStreetMap: // read by the OpenStreetMap reader, never as a layer
        return LineKind::None;
    case StreetSchema::TigerLine:
        return classLineKind(text(f, fields.mtfcc));
    case StreetSchema::Lines:
        break;
    }
    const std::string value = text(f, fields.roadClass);
    if (!trimmed(value).empty()) {
        const LineKind kind = classLineKind(value);
        // A layer of a county's own (class "Arterial", "Collector") uses words no table knows:
        // its lines are drawn, never populated, unless the word names something that is no way.
        if (kind == LineKind::None && !fields.openStreetMap && !namesNoWay(value))
            return LineKind::Way;
        return kind;
    }
    return fields.openStreetMap ? osmLineKind(otherTags(f, fields)) : LineKind::Road;
}

TigerChain chainAttributesOf(const OGRFeature& f, const LayerFields& fields, StreetSchema schema,
                             bool bareSpeedIsMph) {
    TigerChain chain;
    chain.sourceId = fields.id >= 0 && f.IsFieldSetAndNotNull(fields.id)
                         ? static_cast<std::int64_t>(f.GetFieldAsInteger64(fields.id))
                         : static_cast<std::int64_t>(f.GetFID());
    switch (schema) {
    case StreetSchema::OpenStreetMap: // read by the OpenStreetMap reader, never as a layer
        break;
    case StreetSchema::TigerLine:
        applyMtfcc(text(f, fields.mtfcc), text(f, fields.fullName), chain);
        break;
    case StreetSchema::Lines:
        if (fields.openStreetMap && trimmed(text(f, fields.roadClass)).empty()) {
            applyOsmTags(otherTags(f, fields), chain);
            break;
        }
        applyLineFields({.roadClass = text(f, fields.roadClass),
                         .lanes = text(f, fields.lanes),
                         .lanesForward = text(f, fields.lanesForward),
                         .lanesBackward = text(f, fields.lanesBackward),
                         .oneway = text(f, fields.oneway),
                         .maxspeed = zeroIsUnknown(text(f, fields.maxspeed)),
                         .name = text(f, fields.name),
                         .ref = text(f, fields.ref)},
                        bareSpeedIsMph, chain);
        break;
    }
    return chain;
}

bool bareSpeedIsMph(const OGRFeatureDefn& defn, SpeedUnit unit) {
    if (unit != SpeedUnit::Guess)
        return unit == SpeedUnit::MilesPerHour;
    for (const char* name : {"osm_id", "fclass", "highway"})
        if (defn.GetFieldIndex(name) >= 0)
            return false;
    return true;
}

} // namespace vantry
