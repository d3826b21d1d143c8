#include "cli/commandtable.h"

#include "cli/commands.h"

#include "document/networkfiles.h"

#include <cstring>
#include <ostream>

namespace vantry {

namespace {

// Where street data and record files are asked for, what SOURCE may be.
constexpr const char* kSourceNote =
    "  SOURCE is a TIGER/Line record type 1 file (FILE.RT1) or street data: OpenStreetMap\n"
    "  (.osm, .osm.pbf), a shapefile, GeoPackage, GeoJSON, FlatGeobuf or other line layer.\n";

} // namespace

const std::vector<CliCommand>& cliCommands() {
    static const std::vector<CliCommand> commands = {
        convertCommand(),      infoCommand(),     renderCommand(), tigerChainsCommand(),
        streetChainsCommand(), populateCommand(), checkCommand(),  exportCommand(),
        importCommand(),       selectCommand(),   setCommand(),    routeCommand(),
        workZoneCommand()};
    return commands;
}

const CliCommand* findCliCommand(const std::string& name) {
    for (const CliCommand& command : cliCommands())
        if (name == command.name)
            return &command;
    return nullptr;
}

std::string networkExtensionsText() {
    const auto& formats = networkFileFormats();
    std::string text;
    for (std::size_t i = 0; i < formats.size(); ++i) {
        if (i > 0)
            text += i + 1 == formats.size() ? " or " : ", ";
        text += formats[i].extension;
    }
    return text;
}

std::string usageText() {
    std::string text;
    for (const CliCommand& command : cliCommands()) {
        const std::string start =
            std::string(text.empty() ? "usage: " : "       ") + "vantry-cli " + command.name + " ";
        // Further lines start under the command's first argument.
        for (std::size_t i = 0; i < command.synopsis.size(); ++i)
            text += (i == 0 ? start : std::string(start.size(), ' ')) + command.synopsis[i] + "\n";
    }
    return text + kSourceNote;
}

std::string helpText() {
    std::string text =
        "Usage: vantry-cli COMMAND ARGUMENTS...\n"
        "Converts, inspects and draws Vantry road network files (" +
        networkExtensionsText() +
        ") with the same\n"
        "document code as the editor, without a window. The user's preferences are read as the\n"
        "editor reads them and never written.\n"
        "\n"
        "Commands:\n";
    for (const CliCommand& command : cliCommands()) {
        for (std::size_t i = 0; i < command.synopsis.size(); ++i)
            text += std::string("  ") + (i == 0 ? std::string(command.name) + " " : "") +
                    command.synopsis[i] + "\n";
        text += command.help;
    }
    return text +
           "\n"
           "Options:\n"
           "  -h, --help     Print this help and exit.\n"
           "  --version      Print the version and exit.\n"
           "\n"
           "Exit status:\n"
           "  0 on success, 1 when a file cannot be read or written (with a one-line "
           "message on\n"
           "  standard error), 2 on bad usage, 3 when check finds errors, 4 when route\n"
           "  finds no route or work-zone no detour, 5 when set refuses a value or work-zone\n"
           "  its links (named on standard error).\n";
}

int usageError(std::ostream& err, const std::string& problem) {
    err << "vantry-cli: " << problem << "\n" << usageText();
    return kExitUsage;
}

} // namespace vantry
