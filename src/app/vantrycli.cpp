#include "app/vantrycli.h"

#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"

#include <charconv>
#include <cstdio>
#include <optional>
#include <ostream>

namespace {

constexpr const char* kUsage = "usage: vantry-cli convert IN OUT [--precision N]\n"
                               "       vantry-cli info IN\n";

int usageError(std::ostream& err, const std::string& problem) {
    err << "vantry-cli: " << problem << "\n" << kUsage;
    return 2;
}

bool parseInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc{} && r.ptr == end;
}

std::string sixDecimals(float v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", static_cast<double>(v));
    return buf;
}

int convert(const std::vector<std::string>& args, std::ostream& err) {
    std::vector<std::string> files;
    std::optional<int> precision;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--precision") {
            int value = 0;
            if (i + 1 >= args.size() || !parseInt(args[i + 1], value))
                return usageError(err, "--precision needs a whole number");
            precision = value;
            ++i;
        } else if (args[i].starts_with("--")) {
            return usageError(err, "unknown option " + args[i]);
        } else {
            files.push_back(args[i]);
        }
    }
    if (files.size() != 2)
        return usageError(err, "convert needs an input and an output file");

    CVantryDoc doc;
    if (!doc.OnOpenDocument(files[0])) {
        err << doc.lastError() << "\n";
        return 1;
    }
    if (precision)
        SingletonPtr<UserDefinedSettings>::instance().precision.value = *precision;
    if (!doc.OnSaveDocument(files[1])) {
        err << doc.lastError() << "\n";
        return 1;
    }
    return 0;
}

int info(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2)
        return usageError(err, "info needs exactly one input file");
    CVantryDoc doc;
    if (!doc.OnOpenDocument(args[1])) {
        err << doc.lastError() << "\n";
        return 1;
    }
    const Network& net = doc.network();
    const WorldRect& b = net.bounds();
    out << "nodes " << net.nodes().size() << "\n"
        << "links " << net.links().size() << "\n"
        << "bounds " << sixDecimals(b.top) << " " << sixDecimals(b.bottom) << " "
        << sixDecimals(b.left) << " " << sixDecimals(b.right) << "\n"
        << "bitmap " << net.bitmapPath() << "\n";
    return 0;
}

} // namespace

int runVantryCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty())
        return usageError(err, "no command given");
    if (args[0] == "convert")
        return convert(args, err);
    if (args[0] == "info")
        return info(args, out, err);
    return usageError(err, "unknown command \"" + args[0] + "\"");
}
