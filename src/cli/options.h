#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vantry {

// An option a command takes: its name ("--size"), how many words follow it as its values, and
// the one-line problem told when they are missing or cannot be used.
struct CliOption {
    const char* name;
    int values;
    const char* problem;
};

// One option as given, with its values.
struct GivenOption {
    const CliOption* option;
    std::vector<std::string> values;
};

// A command's arguments split into files and options, in the order given.
struct CommandLine {
    std::vector<std::string> files;
    std::vector<GivenOption> options;
};

// Splits the arguments after the command's name. Anything starting with "--" is an option and
// must be one the command takes, with all its values; everything else is a file. Nothing, with
// problem set, when an option is unknown or its values are missing.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            const std::vector<CliOption>& options,
                                            std::string& problem);

// Value readers: false for anything but the whole text as that kind of value.
bool parseInt(const std::string& text, int& value);
bool parseFloat(const std::string& text, float& value);
// Parses "AxB" or "A,B" into its two parts.
bool splitPair(const std::string& text, char separator, std::string& a, std::string& b);

} // namespace vantry
