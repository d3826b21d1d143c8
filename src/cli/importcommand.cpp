// The import command: a network from the files of GIS programs and travel models.
#include "cli/commands.h"
#include "cli/commandsupport.h"

#include "document/networkfiles.h"
#include "exchange/networkimport.h"
#include "exchange/unitcheck.h"
#include "model/network.h"

#include <ostream>
#include <string>

namespace vantry {

namespace {

constexpr const char* kLengthUnits = "feet, miles, meters or km";
constexpr const char* kSpeedUnits = "mph or kmh";

struct ImportOptions {
    std::string layer;
    LengthUnit length = LengthUnit::Unknown;
    SpeedUnitOfSource speed = SpeedUnitOfSource::Unknown;
};

// Reads the options; an empty problem when all of them can be used.
std::string readOptions(const CommandLine& line, ImportOptions& options) {
    for (const GivenOption& given : line.options) {
        const std::string name = given.option->name;
        const std::string& value = given.values[0];
        if (name == "--layer") {
            options.layer = value;
        } else if (name == "--length-unit") {
            options.length = lengthUnitNamed(value);
            if (options.length == LengthUnit::Unknown)
                return "--length-unit takes " + std::string(kLengthUnits) + ", not \"" + value +
                       "\"";
        } else if (name == "--speed-unit") {
            options.speed = speedUnitNamed(value);
            if (options.speed == SpeedUnitOfSource::Unknown)
                return "--speed-unit takes " + std::string(kSpeedUnits) + ", not \"" + value + "\"";
        }
    }
    return {};
}

int importNetworkFile(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.files.size() != 2)
        return usageError(err, "import needs a source and a network file to write");
    const std::string& source = line.files[0];
    const std::string& output = line.files[1];
    ImportOptions options;
    if (const std::string problem = readOptions(line, options); !problem.empty())
        return usageError(err, problem);
    if (!networkFileFormatOf(output))
        return usageError(err, "the extension of \"" + output + "\" names no network format; use " +
                                   networkExtensionsText());

    ImportSource found;
    found.layer = options.layer;
    std::string why;
    if (!inspectImport(source, found, why)) {
        err << oneLine(why) << "\n";
        return kExitFileError;
    }
    // What the user says wins over what the source states: the source may be wrong.
    ImportChoices choices;
    choices.mapping = found.mapping;
    choices.lengthUnit = options.length != LengthUnit::Unknown ? options.length : found.lengthUnit;
    choices.speedUnit =
        options.speed != SpeedUnitOfSource::Unknown ? options.speed : found.speedUnit;
    if (choices.lengthUnit == LengthUnit::Unknown)
        return usageError(err, "\"" + source +
                                   "\" does not say what unit its lengths are in; give "
                                   "--length-unit " +
                                   kLengthUnits);
    if (choices.speedUnit == SpeedUnitOfSource::Unknown)
        return usageError(err, "\"" + source +
                                   "\" does not say what unit its speeds are in; give "
                                   "--speed-unit " +
                                   kSpeedUnits);

    Network network;
    ImportResult result;
    if (!importNetwork(found, choices, network, result, why)) {
        err << oneLine(why) << "\n";
        return kExitFileError;
    }
    for (const std::string& warning : result.warnings)
        err << oneLine(warning) << "\n";
    if (!writeNetworkFile(output, network, nullptr, why)) {
        err << oneLine(why) << "\n";
        return kExitFileError;
    }
    out << "Read " << result.rows << " link rows from \"" << source << "\": wrote " << result.links
        << " links and " << result.nodes << " nodes to \"" << output << "\"";
    if (network.georeference().placed())
        out << ", placed in " << network.georeference().crs;
    out << "\n";
    return kExitSuccess;
}

} // namespace

CliCommand importCommand() {
    return {
        "import",
        {"SOURCE OUT [--layer L] [--length-unit U] [--speed-unit U]"},
        "      Read a network from a GMNS folder (or its link.csv) or a GIS line layer and\n"
        "      write it to OUT (" +
            networkExtensionsText() +
            "). Link fields are matched by name, case-blind:\n"
            "      the GMNS names, the export's own and common variants (NUMLANES, CAP,\n"
            "      SPEED, FNODE, ...). A layer without from and to node ids is joined where\n"
            "      its lines end. --layer L reads layer L of a GIS file (default: \"links\",\n"
            "      or its first). Units come from GMNS's config.csv; a source that states none\n"
            "      needs --length-unit (" +
            kLengthUnits + ") and --speed-unit (" + kSpeedUnits +
            "),\n"
            "      which also override what a source states. Lengths that fit the distances\n"
            "      between their nodes only in another unit are read in it, with a warning.\n"
            "      Values that cannot be read are told on standard error by row and field;\n"
            "      a link naming a missing node, or a CRS PROJ does not know, writes nothing.\n",
        {{"--layer", 1, "--layer needs a layer name"},
         {"--length-unit", 1, "--length-unit needs a unit: feet, miles, meters or km"},
         {"--speed-unit", 1, "--speed-unit needs a unit: mph or kmh"}},
        importNetworkFile};
}

} // namespace vantry
