#include "exchange/fieldmatch.h"

#include "exchange/exchangefields.h"

#include <cctype>
#include <initializer_list>

namespace vantry {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

struct FieldNames {
    ImportField field;
    const char* label;
    // Best first: a source with both "lanes" and "numlanes" is read from "lanes".
    std::initializer_list<const char*> names;
};

const FieldNames kFieldNames[] = {
    {ImportField::LinkId, "link id", {linkfield::kLinkId, "id", "linkid", "link", "fid"}},
    {ImportField::FromNode,
     "from node",
     {linkfield::kFromNodeId, "from_node", "fromnode", "fnode", "fnode_", "from", "a", "a_node",
      "anode", "u"}},
    {ImportField::ToNode,
     "to node",
     {linkfield::kToNodeId, "to_node", "tonode", "tnode", "tnode_", "to", "b", "b_node", "bnode",
      "v"}},
    {ImportField::Directed, "directed", {linkfield::kDirected, "oneway", "one_way", "is_directed"}},
    {ImportField::Lanes,
     "lanes",
     {linkfield::kLanes, "numlanes", "num_lanes", "nlanes", "lane_count", "lanecount",
      "number_of_lanes"}},
    {ImportField::Capacity,
     "capacity",
     {linkfield::kCapacity, "cap", "capacity_per_lane", "lane_capacity", "capacity_per_hour"}},
    {ImportField::FreeSpeed,
     "free-flow speed",
     {linkfield::kFreeSpeed, "freespeed", "free_flow_speed", "ffspeed", "ff_speed", "speed",
      "speed_limit", "speedlimit", "spd", "maxspeed", "max_speed", "posted_speed"}},
    {ImportField::JamDensity,
     "jam density",
     {linkfield::kJamDensity, "jam", "jamdensity", "kjam", "k_jam", "jam_dens"}},
    {ImportField::Length,
     "length",
     {linkfield::kLength, "len", "shape_length", "shape_leng", "link_length", "distance",
      "length_mi", "miles"}},
    {ImportField::LengthAuto, "automatic length", {linkfield::kLengthAuto}},
    {ImportField::Direction, "direction", {linkfield::kDirection, "dir"}},
    {ImportField::LinkType, "link type", {linkfield::kLinkType, "type", "vantry_type"}},
    {ImportField::FacilityType,
     "facility type",
     {linkfield::kFacilityType, "facility", "fclass", "func_class", "road_class", "highway"}},
    {ImportField::Description,
     "description",
     {linkfield::kName, "description", "descr", "street", "street_name", "streetname", "fullname",
      "road_name", "label"}},
    {ImportField::TwoWaySide, "two-way side", {linkfield::kTwoWaySide}},
};

} // namespace

bool sameFieldName(std::string_view a, std::string_view b) {
    a = trimmed(a);
    b = trimmed(b);
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

const char* importFieldLabel(ImportField field) {
    for (const FieldNames& names : kFieldNames)
        if (names.field == field)
            return names.label;
    return "";
}

namespace {

// True when a field is the name, or the name cut to the ten characters a shapefile's dBASE
// table keeps of it ("from_node_" for "from_node_id").
bool namesField(std::string_view field, std::string_view name) {
    constexpr std::size_t kDbaseNameLength = 10;
    if (field.size() == kDbaseNameLength && name.size() > kDbaseNameLength)
        name = name.substr(0, kDbaseNameLength);
    return sameFieldName(field, name);
}

} // namespace

FieldMapping matchFields(const std::vector<std::string>& fields) {
    FieldMapping mapping;
    std::vector<bool> taken(fields.size(), false);
    for (const FieldNames& names : kFieldNames) {
        std::string& chosen = mapping[static_cast<std::size_t>(names.field)];
        for (const char* name : names.names) {
            for (std::size_t i = 0; i < fields.size() && chosen.empty(); ++i)
                if (!taken[i] && namesField(fields[i], name)) {
                    chosen = fields[i];
                    taken[i] = true;
                }
            if (!chosen.empty())
                break;
        }
    }
    return mapping;
}

int mappedColumn(const FieldMapping& mapping, ImportField field,
                 const std::vector<std::string>& fields) {
    const std::string& name = mapping[static_cast<std::size_t>(field)];
    if (name.empty())
        return -1;
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (fields[i] == name)
            return static_cast<int>(i);
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (sameFieldName(fields[i], name))
            return static_cast<int>(i);
    return -1;
}

} // namespace vantry
