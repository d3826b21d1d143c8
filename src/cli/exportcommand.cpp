// The export command: a network to the files of GIS programs and travel models.
#include "cli/commands.h"
#include "cli/commandsupport.h"

#include "document/vantrydoc.h"
#include "exchange/exchangeformats.h"
#include "exchange/networkexport.h"

#include <ostream>
#include <string>

namespace vantry {

namespace {

// "gmns, gpkg, geojson, shp or fgb".
std::string formatNames() {
    const auto& formats = exchangeFormats();
    std::string text;
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (i > 0)
            text += i + 1 == formats.size() ? " or " : ", ";
        text += formats[i].name;
    }
    return text;
}

int exportNetworkFile(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.files.size() != 2)
        return usageError(err, "export needs a network file and an output");
    const std::string& output = line.files[1];
    std::optional<ExchangeFormat> format;
    for (const GivenOption& given : line.options) {
        format = exchangeFormatNamed(given.values[0]);
        if (!format)
            return usageError(err, "--format takes " + formatNames() + ", not \"" +
                                       given.values[0] + "\"");
    }
    if (!format)
        format = exchangeFormatOfPath(output);
    if (!format)
        return usageError(err, "the extension of \"" + output +
                                   "\" names no export format; use --format " + formatNames());

    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    doc.setShowsPictures(false);
    if (!openNetwork(doc, line.files[0], err))
        return kExitFileError;
    ExportResult result;
    std::string why;
    if (!exportNetwork(doc.network(), output, *format, result, why)) {
        err << oneLine(why) << "\n";
        return kExitFileError;
    }
    out << "Wrote " << result.links << " links and " << result.nodes << " nodes to \"" << output
        << "\" as " << exchangeFormatInfo(*format).label << ", in " << result.crs << "\n";
    return kExitSuccess;
}

} // namespace

CliCommand exportCommand() {
    return {"export",
            {"NET OUT [--format gmns|gpkg|geojson|shp|fgb]"},
            "      Write NET's links as lines and its nodes as points, with every link attribute,\n"
            "      for GIS programs and travel models: a GMNS folder (node.csv, link.csv,\n"
            "      config.csv), a GeoPackage, GeoJSON, shapefile or FlatGeobuf (the formats of\n"
            "      one layer a file put the nodes beside OUT as NAME_nodes.EXT). The format\n"
            "      comes from OUT's extension (none: a GMNS folder) unless --format names it.\n"
            "      A network placed on Earth is written in longitude and latitude (EPSG:4326),\n"
            "      any other in a local plane CRS in miles. Nothing is replaced until all of it\n"
            "      is written.\n",
            {{"--format", 1, "--format needs one of gmns, gpkg, geojson, shp or fgb"}},
            exportNetworkFile};
}

} // namespace vantry
