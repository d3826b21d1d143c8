#pragma once

#include "cli/commandtable.h"

namespace vantry {

// The commands, each with its synopsis, help, options and run function, defined beside the code
// that runs it.
CliCommand convertCommand();
CliCommand infoCommand();
CliCommand checkCommand();
CliCommand renderCommand();
CliCommand tigerChainsCommand();
CliCommand streetChainsCommand();
CliCommand populateCommand();
CliCommand exportCommand();
CliCommand importCommand();
CliCommand selectCommand();
CliCommand setCommand();
CliCommand routeCommand();
CliCommand workZoneCommand();

// How the help names the network file extensions: ".xls or .txt".
std::string networkExtensionsText();

} // namespace vantry
