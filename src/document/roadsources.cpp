#include "document/roadsources.h"

#include <algorithm>
#include <cctype>

namespace vantry {

namespace {

std::string lowerCaseName(const std::string& path) {
    std::string name = path.substr(path.find_last_of("/\\") + 1);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

std::string joined(const std::vector<std::string>& patterns) {
    std::string text;
    for (const std::string& p : patterns)
        text += (text.empty() ? "" : ";") + p;
    return text;
}

} // namespace

const std::vector<RoadDataKind>& roadDataKinds() {
    // A type 1 record file ends in "1" whatever its extension, so that "TGR01001.RT1" and
    // "tgr01001.rt1" are both taken.
    static const std::vector<RoadDataKind> kinds = {
        {RoadSource::RecordFiles, "TIGER/Line Record Files", {"*.??1"}, {"1"}},
        // OpenStreetMap's own files give speeds in kilometres per hour unless a unit is written.
        {RoadSource::StreetData,
         "OpenStreetMap",
         {"*.osm", "*.osm.bz2", "*.osm.gz", "*.pbf"},
         {".osm", ".pbf", ".osm.bz2", ".osm.gz"},
         true},
        {RoadSource::StreetData, "Shapefiles", {"*.shp"}, {".shp"}},
        {RoadSource::StreetData, "GeoPackage", {"*.gpkg"}, {".gpkg"}},
        {RoadSource::StreetData, "GeoJSON", {"*.geojson", "*.json"}, {".geojson", ".json"}},
        {RoadSource::StreetData, "FlatGeobuf", {"*.fgb"}, {".fgb"}},
    };
    return kinds;
}

const RoadDataKind* roadDataKindOf(const std::string& path) {
    const std::string name = lowerCaseName(path);
    for (const RoadDataKind& kind : roadDataKinds())
        for (const std::string& ending : kind.endings)
            if (name.size() > ending.size() && name.ends_with(ending))
                return &kind;
    return nullptr;
}

RoadSource roadSourceOf(const std::string& path) {
    const RoadDataKind* kind = roadDataKindOf(path);
    return kind ? kind->source : RoadSource::StreetData;
}

const std::string& roadDataFileFilter() {
    static const std::string filter = [] {
        std::vector<std::string> all;
        std::string each;
        for (const RoadDataKind& kind : roadDataKinds()) {
            all.insert(all.end(), kind.patterns.begin(), kind.patterns.end());
            const std::string patterns = joined(kind.patterns);
            each += "|" + std::string(kind.name) + " (" + patterns + ")|" + patterns;
        }
        const std::string patterns = joined(all);
        return "Road Data (" + patterns + ")|" + patterns + each + "|All Files (*.*)|*.*||";
    }();
    return filter;
}

} // namespace vantry
