#pragma once

#include "cli/options.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace vantry {

// What vantry-cli's exit code says.
enum CliExit : int {
    kExitSuccess = 0,
    kExitFileError = 1, // a file cannot be read or written; one line on standard error says why
    kExitUsage = 2,
    kExitFindings = 3, // check found errors
    kExitNoRoute = 4,  // route found no route, work-zone no detour
    kExitRefused = 5,  // set or work-zone refused its links or values; nothing was written
};
inline constexpr CliExit kEveryCliExit[] = {kExitSuccess,  kExitFileError, kExitUsage,
                                            kExitFindings, kExitNoRoute,   kExitRefused};

// One vantry-cli command: how it is called, what --help says of it, the options it takes and
// the function that runs it with its arguments (after the command's name) split by those options.
struct CliCommand {
    const char* name;
    // After the name, one line each as the usage text breaks them.
    std::vector<const char*> synopsis;
    // What --help says under the synopsis, wrapped and indented by six spaces.
    std::string help;
    std::vector<CliOption> options;
    int (*run)(const CommandLine& line, std::ostream& out, std::ostream& err);
};

// Every command, in the order the usage and the help list them.
const std::vector<CliCommand>& cliCommands();
const CliCommand* findCliCommand(const std::string& name);

// What a usage error shows after its problem: every command's synopsis.
std::string usageText();
// What --help prints, and so what the manual page made from it says.
std::string helpText();

// Tells the problem and the usage on standard error; the exit code for bad usage.
int usageError(std::ostream& err, const std::string& problem);

} // namespace vantry
