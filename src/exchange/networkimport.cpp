#include "exchange/networkimport.h"

#include "exchange/fieldmatch.h"
#include "exchange/gissource.h"
#include "exchange/gmnssource.h"
#include "exchange/linkrowreader.h"
#include "exchange/nodeplacement.h"
#include "exchange/unitcheck.h"
#include "model/network.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <unordered_map>

namespace vantry {

namespace {

// How often, in rows, an import tells its progress.
constexpr std::size_t kProgressStride = 4096;

using NodeIndex = std::unordered_map<std::string, std::size_t>;

NodeIndex indexNodes(const ImportData& data, std::vector<std::string>& warnings) {
    NodeIndex index;
    index.reserve(data.nodes.ids.size());
    std::size_t repeated = 0;
    std::string first;
    for (std::size_t i = 0; i < data.nodes.ids.size(); ++i)
        if (!index.emplace(nodeIdOf(data.nodes.ids[i]), i).second && repeated++ == 0)
            first = data.nodes.ids[i];
    if (repeated)
        warnings.push_back("Node " + first +
                           (repeated > 1
                                ? " and " + std::to_string(repeated - 1) + " other node ids are"
                                : " is") +
                           " given more than once; the first of each is kept.");
    return index;
}

// Finds both ends of every row, or says which row names a node that does not exist.
bool findEnds(const ImportData& data, const NodeIndex& index, const LinkRowReader& reader,
              const std::vector<LinkValues>& values, std::vector<std::size_t>& ends,
              std::string& why) {
    ends.resize(2 * values.size());
    for (std::size_t r = 0; r < values.size(); ++r) {
        const std::string* ids[2] = {&values[r].from, &values[r].to};
        const ImportField fields[2] = {ImportField::FromNode, ImportField::ToNode};
        for (int k = 0; k < 2; ++k) {
            const auto found = index.find(*ids[k]);
            if (found != index.end()) {
                ends[2 * r + static_cast<std::size_t>(k)] = found->second;
                continue;
            }
            const int c = reader.column(fields[k]);
            why = data.links.fileName + " row " + std::to_string(data.links.rowNumbers[r]) + ", " +
                  (c >= 0 ? data.links.fields[static_cast<std::size_t>(c)] : "") + ": ";
            if (ids[k]->empty())
                why += "empty, and a link needs both its nodes.";
            else
                why += "node \"" + *ids[k] + "\" does not exist" +
                       (data.links.fileName == "link.csv" ? " in node.csv." : ".");
            return false;
        }
    }
    return true;
}

// The unit the stated lengths are read in: the chosen one, unless the distances between the
// nodes show that another fits them.
LengthUnit lengthUnitOf(const ImportData& data, const std::vector<LinkValues>& values,
                        const std::vector<std::size_t>& ends, const PlacedNodes& placed,
                        LengthUnit chosen, std::vector<std::string>& warnings) {
    std::vector<StatedLength> lengths;
    for (std::size_t r = 0; r < values.size(); ++r) {
        if (!values[r].length || values[r].lengthAuto)
            continue;
        const WorldPoint a = placed.miles[ends[2 * r]], b = placed.miles[ends[2 * r + 1]];
        lengths.push_back({*values[r].length, std::hypot(static_cast<double>(a.x) - b.x,
                                                         static_cast<double>(a.y) - b.y)});
    }
    const std::optional<LengthUnit> fits = unitThatFits(lengths, chosen);
    if (!fits)
        return chosen;
    warnings.push_back(data.links.fileName + ": the lengths are read as " + lengthUnitText(*fits) +
                       ", not " + lengthUnitText(chosen) + " as stated: only in " +
                       lengthUnitText(*fits) + " do they fit the distances between their nodes.");
    return *fits;
}

Link* makeLink(Network& network, Node* from, Node* to, const LinkValues& v, double milesPerUnit) {
    auto* link = new Link;
    link->setFromNode(from);
    link->setToNode(to);
    link->setNumLanes(v.lanes);
    link->setCapacity(v.capacity);
    link->setFFSpeed(v.freeSpeed);
    link->setJamDensity(v.jamDensity);
    link->setType(v.type);
    link->setDescription(v.description);
    if (v.twoWaySide)
        link->setTwoWaySide(*v.twoWaySide);
    // A stated length is kept unless it is the straight distance: then it follows the nodes.
    if (v.length && !v.lengthAuto)
        link->setLength(static_cast<float>(*v.length * milesPerUnit));
    else
        link->setLength(-1.0f);
    network.addLink(link);
    return link;
}

// The order of the ids by their numbers when every one is a whole number, else their own order.
// A GIS layer's order is the file's to choose (FlatGeobuf hands its features back in its spatial
// index's order), and the numbers of a network's nodes and links are their places in it, so the
// features of a layer take the order of their ids; the rows of a GMNS table keep theirs.
std::vector<std::size_t> numberedOrder(const std::vector<std::string>& ids, bool byNumber) {
    std::vector<std::size_t> order(ids.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (!byNumber)
        return order;
    std::vector<long long> numbers(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const std::string id = nodeIdOf(ids[i]);
        const char* end = id.data() + id.size();
        if (id.empty() || std::from_chars(id.data(), end, numbers[i]).ptr != end)
            return order;
    }
    std::stable_sort(order.begin(), order.end(),
                     [&numbers](std::size_t a, std::size_t b) { return numbers[a] < numbers[b]; });
    return order;
}

std::vector<std::string> linkIds(const ImportData& data, const LinkRowReader& reader) {
    const int c = reader.column(ImportField::LinkId);
    if (c < 0)
        return {};
    std::vector<std::string> ids;
    ids.reserve(data.links.cells.size());
    for (const std::vector<std::string>& row : data.links.cells)
        ids.push_back(static_cast<std::size_t>(c) < row.size() ? row[static_cast<std::size_t>(c)]
                                                               : std::string());
    return ids;
}

bool cancelled(const ExchangeProgress& progress, double done) {
    return progress && !progress(done);
}

bool fail(Network& network, std::string& why, std::string what) {
    network.clear();
    why = std::move(what);
    return false;
}

} // namespace

bool inspectImport(const std::string& path, ImportSource& source, std::string& why) {
    const std::string layer = source.layer;
    source = ImportSource{};
    source.layer = layer;
    if (looksLikeGmns(path))
        return inspectGmns(path, source, why);
    return inspectGis(path, source, why);
}

bool importNetwork(const ImportSource& source, const ImportChoices& choices, Network& network,
                   ImportResult& result, std::string& why, const ExchangeProgress& progress) {
    result = ImportResult{};
    network.clear();
    ImportData data;
    ImportChoices chosen = choices;
    // Reading the layer is most of a GIS import's time: it gets the first fifth of the progress.
    const ExchangeProgress reading = [&progress](double done) {
        return !progress || progress(0.2 * done);
    };
    if (!(source.gmns ? readGmns(source, data, why)
                      : readGis(source, chosen.mapping, data, why, reading)))
        return fail(network, why, why);
    std::vector<std::string>& warnings = result.warnings;
    warnings = std::move(data.warnings);
    if (cancelled(progress, 0.2))
        return fail(network, why, "The import was cancelled.");

    LinkRowReader reader(data.links, chosen);
    if (reader.column(ImportField::FromNode) < 0 || reader.column(ImportField::ToNode) < 0)
        return fail(network, why,
                    "Cannot import \"" + source.path + "\": no field is chosen for the link's " +
                        (reader.column(ImportField::FromNode) < 0 ? "from" : "to") + " node.");
    const NodeIndex index = indexNodes(data, warnings);

    std::vector<LinkValues> values(data.links.cells.size());
    for (std::size_t r = 0; r < values.size(); ++r) {
        values[r] = reader.read(r, warnings);
        if (r % kProgressStride == 0 &&
            cancelled(progress, 0.2 + 0.5 * static_cast<double>(r) / values.size()))
            return fail(network, why, "The import was cancelled.");
    }
    reader.finish(warnings);
    std::vector<std::size_t> ends;
    if (!findEnds(data, index, reader, values, ends, why))
        return fail(network, why, "Cannot import \"" + source.path + "\": " + why);

    const LengthUnit chosenUnit =
        chosen.lengthUnit == LengthUnit::Unknown ? LengthUnit::Miles : chosen.lengthUnit;
    PlacedNodes placed;
    if (!placeNodes(data.crs, data.georeference, data.nodes.xy, milesPerUnit(chosenUnit), placed,
                    why))
        return fail(network, why, "Cannot import \"" + source.path + "\": " + why + ".");
    warnings.insert(warnings.end(), placed.warnings.begin(), placed.warnings.end());
    const LengthUnit unit = lengthUnitOf(data, values, ends, placed, chosenUnit, warnings);

    std::vector<Node*> nodes(data.nodes.ids.size(), nullptr);
    for (const auto& [id, i] : index) {
        (void)id;
        nodes[i] = new Node(placed.miles[i]);
    }
    for (std::size_t i : numberedOrder(data.nodes.ids, !source.gmns))
        if (nodes[i])
            network.addNode(nodes[i]);
    const std::vector<std::string> ids = linkIds(data, reader);
    const std::vector<std::size_t> rows =
        numberedOrder(ids.empty() ? std::vector<std::string>(values.size()) : ids, !source.gmns);
    for (std::size_t made = 0; made < rows.size(); ++made) {
        const std::size_t r = rows[made];
        const LinkValues& v = values[r];
        Node* from = nodes[ends[2 * r]];
        Node* to = nodes[ends[2 * r + 1]];
        Link* link = makeLink(network, from, to, v, milesPerUnit(unit));
        link->setDirection(v.direction.value_or(LinkDirection::Inbound));
        if (!v.directed) {
            // The way back of a two-way row runs the other way: outbound, unless the source
            // says which way its links run.
            Link* back = makeLink(network, to, from, v, milesPerUnit(unit));
            back->setDirection(v.direction.value_or(LinkDirection::Outbound));
        }
        if (made % kProgressStride == 0 &&
            cancelled(progress, 0.7 + 0.3 * static_cast<double>(made) / values.size()))
            return fail(network, why, "The import was cancelled.");
    }
    if (!network.setGeoreference(placed.georeference, &why))
        return fail(network, why, "Cannot import \"" + source.path + "\": " + why + ".");
    network.recomputeBounds();
    if (!network.checkStorable(&why))
        return fail(network, why, "Cannot import \"" + source.path + "\": " + why);
    result.rows = values.size();
    result.links = network.links().size();
    result.nodes = network.nodes().size();
    if (progress)
        progress(1.0);
    return true;
}

} // namespace vantry
