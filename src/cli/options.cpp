#include "cli/options.h"

#include <charconv>
#include <cmath>

namespace vantry {

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            const std::vector<CliOption>& options,
                                            std::string& problem) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!args[i].starts_with("--")) {
            line.files.push_back(args[i]);
            continue;
        }
        const CliOption* option = nullptr;
        for (const CliOption& o : options)
            if (args[i] == o.name)
                option = &o;
        if (!option) {
            problem = "unknown option " + args[i];
            return std::nullopt;
        }
        const auto count = static_cast<std::size_t>(option->values);
        // Values are taken as they come, even when they look like options: "--layer --raw"
        // names a layer.
        if (args.size() - i - 1 < count) {
            problem = option->problem;
            return std::nullopt;
        }
        line.options.push_back({option,
                                {args.begin() + static_cast<std::ptrdiff_t>(i + 1),
                                 args.begin() + static_cast<std::ptrdiff_t>(i + 1 + count)}});
        i += count;
    }
    return line;
}

bool parseInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc{} && r.ptr == end;
}

bool parseFloat(const std::string& text, float& value) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc{} && r.ptr == end && std::isfinite(value);
}

bool splitPair(const std::string& text, char separator, std::string& a, std::string& b) {
    const auto at = text.find(separator);
    if (at == std::string::npos)
        return false;
    a = text.substr(0, at);
    b = text.substr(at + 1);
    return true;
}

} // namespace vantry
