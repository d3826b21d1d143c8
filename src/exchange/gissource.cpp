#include "exchange/gissource.h"

#include "base/files.h"
#include "exchange/exchangefields.h"
#include "exchange/exchangemodule.h"
#include "exchange/fieldmatch.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <unordered_map>
#include <unordered_set>

namespace vantry {

namespace {

namespace fs = std::filesystem;

// Names of the id fields given to nodes found where lines meet: no source field has them.
constexpr const char* kJoinedFrom = "(from line ends)";
constexpr const char* kJoinedTo = "(to line ends)";

const ExchangeModuleApi* module(const std::string& path, std::string& why) {
    const ExchangeModule& m = exchangeModule();
    if (!m.api)
        why = "Cannot read \"" + path + "\": " + m.failure + ".";
    return m.api;
}

std::string cellText(const TableColumn& column, std::size_t row) {
    if (column.isNull(row))
        return {};
    switch (column.kind) {
    case FieldKind::Integer:
        return std::to_string(column.integers[row]);
    case FieldKind::Real: {
        char text[32];
        const auto r = std::to_chars(text, text + sizeof text, column.reals[row]);
        return std::string(text, r.ptr);
    }
    case FieldKind::Text:
        break;
    }
    return column.texts[row];
}

bool chooseLayer(const ExchangeModuleApi& api, const std::string& path, std::string& layer,
                 std::vector<std::string>& layers, std::string& why) {
    if (!api.listLayers(path, layers, why))
        return false;
    if (!layer.empty())
        return true;
    if (std::find(layers.begin(), layers.end(), kLinksLayer) != layers.end())
        layer = kLinksLayer;
    else if (!layers.empty())
        layer = layers.front();
    return true;
}

bool readLines(const std::string& path, std::string& layer, FeatureTable& table, std::string& crs,
               std::vector<ExchangeMetadata>& metadata, std::vector<std::string>& layers,
               std::string& why, const ExchangeProgress& progress = {}) {
    const ExchangeModuleApi* api = module(path, why);
    if (!api || !chooseLayer(*api, path, layer, layers, why) ||
        !api->readTable(path, layer, table, crs, metadata, why, progress))
        return false;
    if (table.points) {
        why = "Cannot import \"" + path + "\": its layer \"" + layer +
              "\" holds points, not the lines of links.";
        return false;
    }
    return true;
}

bool exportedHere(const FeatureTable& table, const std::string& crs,
                  const std::vector<ExchangeMetadata>& metadata) {
    if (isLocalMilesCrs(crs))
        return true;
    for (const ExchangeMetadata& item : metadata)
        if (item.name == kGeoreferenceMetadata)
            return true;
    // A shapefile keeps the field's name cut to ten characters.
    std::vector<std::string> fields;
    for (const TableColumn& column : table.columns)
        fields.push_back(column.name);
    return !matchFields(fields)[static_cast<std::size_t>(ImportField::LengthAuto)].empty();
}

// Where the nodes an export writes beside the links are: the file's "nodes" layer, or for a
// format of one layer a file, the file NAME_nodes.EXT beside it. Empty when there are none.
std::string nodeLayerFile(const std::string& path, const std::vector<std::string>& layers,
                          const std::string& linkLayer, std::string& layer) {
    if (linkLayer == kNodesLayer)
        return {};
    if (std::find(layers.begin(), layers.end(), kNodesLayer) != layers.end()) {
        layer = kNodesLayer;
        return path;
    }
    const fs::path p = pathFromUtf8(path);
    const fs::path beside = p.parent_path() / (utf8FromPath(p.stem()) + "_" + kNodesLayer +
                                               utf8FromPath(p.extension()));
    std::error_code ec;
    if (layers.size() != 1 || !fs::is_regular_file(beside, ec))
        return {};
    layer.clear();
    return utf8FromPath(beside);
}

// The nodes an export writes beside the links: ids with points.
void readNodeLayer(const std::string& linkPath, const std::vector<std::string>& layers,
                   const std::string& linkLayer, ImportNodes& nodes) {
    std::string layer;
    const std::string path = nodeLayerFile(linkPath, layers, linkLayer, layer);
    if (path.empty())
        return;
    std::string why, crs;
    std::vector<ExchangeMetadata> metadata;
    FeatureTable table;
    const ExchangeModuleApi* api = module(path, why);
    if (!api || !api->readTable(path, layer, table, crs, metadata, why, {}) || !table.points)
        return;
    for (const TableColumn& column : table.columns) {
        if (!sameFieldName(column.name, nodefield::kNodeId))
            continue;
        for (std::size_t r = 0; r < table.rows(); ++r)
            if (table.starts[r + 1] > table.starts[r]) {
                nodes.ids.push_back(cellText(column, r));
                nodes.xy.push_back(table.xy[2 * table.starts[r]]);
                nodes.xy.push_back(table.xy[2 * table.starts[r] + 1]);
            }
    }
}

} // namespace

void joinLineEnds(const FeatureTable& table, ImportNodes& nodes,
                  std::vector<std::ptrdiff_t>& rowEnds) {
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (std::size_t i = 0; i + 1 < table.xy.size(); i += 2) {
        minX = std::min(minX, table.xy[i]);
        maxX = std::max(maxX, table.xy[i]);
        minY = std::min(minY, table.xy[i + 1]);
        maxY = std::max(maxY, table.xy[i + 1]);
    }
    const double extent = table.xy.empty() ? 0.0 : std::hypot(maxX - minX, maxY - minY);
    const double tolerance = std::max(extent * 1e-6, 1e-12);
    // Ends are kept in cells a tolerance wide: an end's partner lies in its cell or one beside.
    std::unordered_map<std::uint64_t, std::vector<std::size_t>> cells;
    const auto key = [](std::int64_t cx, std::int64_t cy) {
        return (static_cast<std::uint64_t>(cx) << 32) ^ static_cast<std::uint64_t>(cy);
    };
    const auto nodeAt = [&](double x, double y) -> std::size_t {
        const auto cx = static_cast<std::int64_t>(std::floor((x - minX) / tolerance));
        const auto cy = static_cast<std::int64_t>(std::floor((y - minY) / tolerance));
        for (std::int64_t dx = -1; dx <= 1; ++dx)
            for (std::int64_t dy = -1; dy <= 1; ++dy) {
                const auto found = cells.find(key(cx + dx, cy + dy));
                if (found == cells.end())
                    continue;
                for (std::size_t n : found->second)
                    if (std::hypot(nodes.xy[2 * n] - x, nodes.xy[2 * n + 1] - y) <= tolerance)
                        return n;
            }
        const std::size_t n = nodes.ids.size();
        nodes.ids.push_back(std::to_string(n + 1));
        nodes.xy.push_back(x);
        nodes.xy.push_back(y);
        cells[key(cx, cy)].push_back(n);
        return n;
    };
    rowEnds.assign(2 * table.rows(), -1);
    for (std::size_t r = 0; r < table.rows(); ++r) {
        const std::size_t first = table.starts[r], last = table.starts[r + 1];
        if (first == last)
            continue;
        rowEnds[2 * r] =
            static_cast<std::ptrdiff_t>(nodeAt(table.xy[2 * first], table.xy[2 * first + 1]));
        rowEnds[2 * r + 1] = static_cast<std::ptrdiff_t>(
            nodeAt(table.xy[2 * (last - 1)], table.xy[2 * (last - 1) + 1]));
    }
}

bool inspectGis(const std::string& path, ImportSource& source, std::string& why) {
    FeatureTable table;
    std::string crs;
    std::vector<ExchangeMetadata> metadata;
    std::vector<std::string> layers;
    std::string layer = source.layer;
    if (!readLines(path, layer, table, crs, metadata, layers, why))
        return false;
    source.path = path;
    source.layer = layer;
    source.gmns = false;
    source.fields.clear();
    for (const TableColumn& column : table.columns)
        source.fields.push_back(column.name);
    source.mapping = matchFields(source.fields);
    source.crs = crs;
    if (exportedHere(table, crs, metadata)) {
        source.lengthUnit = LengthUnit::Miles;
        source.speedUnit = SpeedUnitOfSource::MilesPerHour;
    }
    return true;
}

bool readGis(const ImportSource& source, FieldMapping& mapping, ImportData& data, std::string& why,
             const ExchangeProgress& progress) {
    FeatureTable table;
    std::vector<ExchangeMetadata> metadata;
    std::vector<std::string> layers;
    std::string layer = source.layer;
    if (!readLines(source.path, layer, table, data.crs, metadata, layers, why, progress))
        return false;
    for (const ExchangeMetadata& item : metadata)
        if (item.name == kGeoreferenceMetadata)
            data.georeference = item.value;

    ImportRows& rows = data.links;
    rows.fileName = layer;
    for (const TableColumn& column : table.columns)
        rows.fields.push_back(column.name);
    rows.cells.resize(table.rows());
    for (std::size_t r = 0; r < table.rows(); ++r) {
        rows.cells[r].reserve(table.columns.size() + 2);
        for (const TableColumn& column : table.columns)
            rows.cells[r].push_back(cellText(column, r));
        rows.rowNumbers.push_back(r + 1);
    }

    std::string& from = mapping[static_cast<std::size_t>(ImportField::FromNode)];
    std::string& to = mapping[static_cast<std::size_t>(ImportField::ToNode)];
    const bool byIds = !from.empty() && !to.empty();
    if (byIds)
        readNodeLayer(source.path, layers, layer, data.nodes);
    ImportNodes ends;
    std::vector<std::ptrdiff_t> rowEnds;
    joinLineEnds(table, ends, rowEnds);
    if (byIds) {
        // Ids the nodes layer does not place are placed where their lines end.
        const int columns[2] = {mappedColumn(mapping, ImportField::FromNode, rows.fields),
                                mappedColumn(mapping, ImportField::ToNode, rows.fields)};
        std::unordered_set<std::string> placed(data.nodes.ids.begin(), data.nodes.ids.end());
        for (std::size_t r = 0; r < table.rows(); ++r)
            for (std::size_t k = 0; k < 2; ++k) {
                if (columns[k] < 0 || rowEnds[2 * r + k] < 0)
                    continue;
                const std::string& id = rows.cells[r][static_cast<std::size_t>(columns[k])];
                if (!placed.insert(id).second)
                    continue;
                const auto e = static_cast<std::size_t>(rowEnds[2 * r + k]);
                data.nodes.ids.push_back(id);
                data.nodes.xy.push_back(ends.xy[2 * e]);
                data.nodes.xy.push_back(ends.xy[2 * e + 1]);
            }
        return true;
    }
    data.nodes = std::move(ends);
    rows.fields.push_back(kJoinedFrom);
    rows.fields.push_back(kJoinedTo);
    // A feature without a line names no nodes: it cannot become a link.
    std::size_t kept = 0;
    for (std::size_t r = 0; r < table.rows(); ++r) {
        if (rowEnds[2 * r] < 0)
            continue;
        for (std::size_t k = 0; k < 2; ++k)
            rows.cells[r].push_back(data.nodes.ids[static_cast<std::size_t>(rowEnds[2 * r + k])]);
        if (kept != r) {
            rows.cells[kept] = std::move(rows.cells[r]);
            rows.rowNumbers[kept] = rows.rowNumbers[r];
        }
        ++kept;
    }
    const std::size_t missing = table.rows() - kept;
    rows.cells.resize(kept);
    rows.rowNumbers.resize(kept);
    from = kJoinedFrom;
    to = kJoinedTo;
    if (missing)
        data.warnings.push_back(
            layer + ": " + std::to_string(missing) +
            " features have neither a line nor from and to node ids; they are left out.");
    return true;
}

} // namespace vantry
