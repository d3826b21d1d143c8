#include "exchange/networkexport.h"

#include "exchange/exchangefields.h"
#include "exchange/exchangemodule.h"
#include "exchange/exporttables.h"
#include "exchange/gmnswriter.h"
#include "model/network.h"

#include <filesystem>

namespace vantry {

namespace {

namespace fs = std::filesystem;

// A GMNS folder may be named by its link table, as an import names it.
std::string gmnsFolder(const std::string& path) {
    const fs::path p(path);
    if (p.filename() == "link.csv")
        return p.has_parent_path() ? p.parent_path().string() : std::string(".");
    return path;
}

// The files a GIS export writes: the layer of links at `path`, and for a format of one layer a
// file the nodes beside it ("NAME_nodes.EXT").
std::vector<std::string> gisFiles(const std::string& path, const ExchangeFormatInfo& info) {
    std::vector<std::string> files{path};
    if (info.format != ExchangeFormat::GeoPackage) {
        const fs::path p(path);
        files.push_back(
            (p.parent_path() / (p.stem().string() + "_" + kNodesLayer + p.extension().string()))
                .string());
    }
    return files;
}

} // namespace

bool exportNetwork(const Network& network, const std::string& path, ExchangeFormat format,
                   ExportResult& result, std::string& why, const ExchangeProgress& progress) {
    result = ExportResult{};
    const ExchangeFormatInfo& info = exchangeFormatInfo(format);
    ExportTables tables;
    std::string reason;
    if (!buildExportTables(network, tables, reason, progress)) {
        why = "Cannot write \"" + path + "\": " + reason + ".";
        return false;
    }
    // The rest of the way is the writing.
    const ExchangeProgress writing = [&progress](double done) {
        return !progress || progress(0.5 + 0.5 * done);
    };
    if (format == ExchangeFormat::Gmns) {
        const std::string folder = gmnsFolder(path);
        if (!writeGmns(tables, network.georeference(), folder, result.files, why, writing))
            return false;
    } else {
        const ExchangeModule& module = exchangeModule();
        if (!module.api) {
            why = "Cannot write \"" + path + "\" as " + info.label + ": " + module.failure + ".";
            return false;
        }
        const std::vector<FeatureTable> layers{std::move(tables.links), std::move(tables.nodes)};
        if (!module.api->writeTables(path, info.driver, tables.crs, tables.metadata, layers, why,
                                     writing))
            return false;
        result.files = gisFiles(path, info);
    }
    result.nodes = network.nodes().size();
    result.links = network.links().size();
    result.crs = tables.crsLabel;
    return true;
}

} // namespace vantry
