#include "exchange/exporttables.h"

#include "exchange/exchangefields.h"
#include "geo/geotransform.h"
#include "model/network.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace vantry {

namespace {

TableColumn& addColumn(FeatureTable& table, const char* name, FieldKind kind, std::size_t rows) {
    TableColumn& column = table.columns.emplace_back();
    column.name = name;
    column.kind = kind;
    switch (kind) {
    case FieldKind::Integer:
        column.integers.reserve(rows);
        break;
    case FieldKind::Real:
        column.reals.reserve(rows);
        break;
    case FieldKind::Text:
        column.texts.reserve(rows);
        break;
    }
    return column;
}

// Where each node lies in the output's coordinates, by node id (index 0 unused).
bool placeNodes(const Network& network, const std::optional<GeoTransform>& transform,
                std::vector<double>& xy, std::string& why) {
    const std::vector<Node*>& nodes = network.nodes();
    xy.assign(2 * (nodes.size() + 1), 0.0);
    for (const Node* node : nodes) {
        const auto at = 2 * static_cast<std::size_t>(node->id());
        if (!transform) {
            xy[at] = plainDouble(node->x());
            xy[at + 1] = plainDouble(node->y());
            continue;
        }
        const LonLat place = transform->toLonLat(node->position());
        if (!std::isfinite(place.longitude) || !std::isfinite(place.latitude)) {
            why = "node " + std::to_string(node->id()) + " lies beyond the reach of the CRS " +
                  network.georeference().crs;
            return false;
        }
        xy[at] = place.longitude;
        xy[at + 1] = place.latitude;
    }
    return true;
}

void fillNodes(const Network& network, const std::vector<double>& placed, FeatureTable& table) {
    const std::size_t rows = network.nodes().size();
    table.name = kNodesLayer;
    table.points = true;
    TableColumn& ids = addColumn(table, nodefield::kNodeId, FieldKind::Integer, rows);
    table.xy.reserve(2 * rows);
    table.starts.reserve(rows + 1);
    for (const Node* node : network.nodes()) {
        ids.integers.push_back(node->id());
        const auto at = 2 * static_cast<std::size_t>(node->id());
        table.xy.push_back(placed[at]);
        table.xy.push_back(placed[at + 1]);
        table.starts.push_back(table.starts.back() + 1);
    }
}

bool fillLinks(const Network& network, const std::vector<double>& placed, FeatureTable& table,
               std::string& why, const ExchangeProgress& progress) {
    const std::size_t rows = network.links().size();
    table.name = kLinksLayer;
    table.points = false;
    namespace f = linkfield;
    // Room for every column first, so that the pointers below stay valid; added in the order the
    // columns stand in every file.
    table.columns.reserve(15);
    TableColumn* id = &addColumn(table, f::kLinkId, FieldKind::Integer, rows);
    TableColumn* from = &addColumn(table, f::kFromNodeId, FieldKind::Integer, rows);
    TableColumn* to = &addColumn(table, f::kToNodeId, FieldKind::Integer, rows);
    TableColumn* directed = &addColumn(table, f::kDirected, FieldKind::Integer, rows);
    TableColumn* length = &addColumn(table, f::kLength, FieldKind::Real, rows);
    TableColumn* automatic = &addColumn(table, f::kLengthAuto, FieldKind::Integer, rows);
    TableColumn* lanes = &addColumn(table, f::kLanes, FieldKind::Integer, rows);
    TableColumn* capacity = &addColumn(table, f::kCapacity, FieldKind::Integer, rows);
    TableColumn* speed = &addColumn(table, f::kFreeSpeed, FieldKind::Integer, rows);
    TableColumn* jam = &addColumn(table, f::kJamDensity, FieldKind::Integer, rows);
    TableColumn* facility = &addColumn(table, f::kFacilityType, FieldKind::Text, rows);
    TableColumn* type = &addColumn(table, f::kLinkType, FieldKind::Text, rows);
    TableColumn* direction = &addColumn(table, f::kDirection, FieldKind::Text, rows);
    TableColumn* side = &addColumn(table, f::kTwoWaySide, FieldKind::Integer, rows);
    TableColumn* name = &addColumn(table, f::kName, FieldKind::Text, rows);
    table.xy.reserve(4 * rows);
    table.starts.reserve(rows + 1);
    std::size_t done = 0;
    for (const Link* link : network.links()) {
        const Node* a = link->fromNode();
        const Node* b = link->toNode();
        id->integers.push_back(link->id());
        from->integers.push_back(a ? a->id() : 0);
        to->integers.push_back(b ? b->id() : 0);
        directed->integers.push_back(1);
        const float effective = link->effectiveLength();
        if (!std::isfinite(effective)) {
            why = "link " + std::to_string(link->id()) + " has no finite length";
            return false;
        }
        length->reals.push_back(plainDouble(effective));
        automatic->integers.push_back(link->hasAutomaticLength() ? 1 : 0);
        lanes->integers.push_back(link->numLanes());
        capacity->integers.push_back(link->capacity());
        speed->integers.push_back(link->ffSpeed());
        jam->integers.push_back(link->jamDensity());
        facility->texts.emplace_back(facilityTypeText(link->type()));
        type->texts.emplace_back(link->typeCode());
        direction->texts.emplace_back(1, link->directionCode());
        side->integers.push_back(link->twoWaySide());
        name->texts.push_back(link->description());
        std::size_t points = 0;
        for (const Node* end : {a, b}) {
            if (!end)
                continue;
            const auto at = 2 * static_cast<std::size_t>(end->id());
            table.xy.push_back(placed[at]);
            table.xy.push_back(placed[at + 1]);
            ++points;
        }
        // A line needs both ends; a link missing one is kept as a row without geometry.
        if (points == 1) {
            table.xy.resize(table.xy.size() - 2);
            points = 0;
        }
        table.starts.push_back(table.starts.back() + points);
        if (progress && ++done % 65536 == 0 && !progress(0.5 * done / double(rows))) {
            why = "the export was cancelled";
            return false;
        }
    }
    return true;
}

} // namespace

double plainDouble(float value) {
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double read = value;
    std::from_chars(text, written.ptr, read);
    return read;
}

bool buildExportTables(const Network& network, ExportTables& tables, std::string& why,
                       const ExchangeProgress& progress) {
    tables = ExportTables{};
    std::optional<GeoTransform> transform;
    const Georeference& georeference = network.georeference();
    if (georeference.placed()) {
        transform = GeoTransform::make(georeference, why);
        if (!transform)
            return false;
        tables.crs = "EPSG:4326";
        tables.crsLabel = "EPSG:4326";
        tables.metadata.push_back({kGeoreferenceMetadata, formatGeoreference(georeference)});
    } else {
        tables.crs = kLocalMilesCrsWkt;
        tables.crsLabel = kLocalMilesCrsName;
    }
    std::vector<double> placed;
    if (!placeNodes(network, transform, placed, why))
        return false;
    fillNodes(network, placed, tables.nodes);
    return fillLinks(network, placed, tables.links, why, progress);
}

} // namespace vantry
