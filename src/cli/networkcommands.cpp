// The commands that read a network and save or describe it: convert, info and check.
#include "cli/commands.h"
#include "cli/commandsupport.h"

#include "check/checker.h"
#include "document/vantrydoc.h"
#include "settings/singletonptr.h"
#include "settings/usersettings.h"

#include <charconv>
#include <optional>
#include <ostream>
#include <string>

namespace vantry {

namespace {

// The digits that read back as the same double, as the network file writes the origin.
std::string shortestDigits(double v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

int convert(const CommandLine& line, std::ostream&, std::ostream& err) {
    std::optional<int> precision;
    for (const GivenOption& given : line.options) {
        int value = 0;
        // Any whole number, as the Precision setting takes it.
        if (!parseInt(given.values[0], value))
            return usageError(err, given.option->problem);
        precision = value;
    }
    if (line.files.size() != 2)
        return usageError(err, "convert needs an input and an output file");

    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    // A conversion writes the picture's path, never its pixels.
    doc.setShowsPictures(false);
    if (!openNetwork(doc, line.files[0], err))
        return kExitFileError;
    if (precision)
        SingletonPtr<UserDefinedSettings>::instance().precision.value = *precision;
    return saveNetwork(doc, line.files[1], err) ? kExitSuccess : kExitFileError;
}

int info(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.files.size() != 1)
        return usageError(err, "info needs exactly one input file");
    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    doc.setShowsPictures(false);
    if (!openNetwork(doc, line.files[0], err))
        return kExitFileError;
    const Network& net = doc.network();
    const WorldRect& b = net.bounds();
    out << "nodes " << net.nodes().size() << "\n"
        << "links " << net.links().size() << "\n"
        << "bounds " << sixDecimals(b.top) << " " << sixDecimals(b.bottom) << " "
        << sixDecimals(b.left) << " " << sixDecimals(b.right) << "\n"
        << "bitmap " << net.bitmapPath() << "\n";
    const Georeference& g = net.georeference();
    if (g.placed())
        out << "placed: " << g.crs << ", origin " << shortestDigits(g.originX) << " "
            << shortestDigits(g.originY) << "\n";
    return kExitSuccess;
}

// The checker's findings, one a line. Errors make the exit code 3 so that a script can stop on
// them; warnings alone still succeed.
int check(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.files.size() != 1)
        return usageError(err, "check needs exactly one network file");
    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    doc.setShowsPictures(false);
    if (!openNetwork(doc, line.files[0], err))
        return kExitFileError;
    bool errors = false;
    for (const Finding& finding : checkNetwork(doc.network())) {
        out << findingLine(finding) << "\n";
        errors = errors || finding.severity == Severity::Error;
    }
    return errors ? kExitFindings : kExitSuccess;
}

} // namespace

CliCommand convertCommand() {
    return {
        "convert",
        {"IN OUT [--precision N]"},
        "      Open IN as File Open does and save it as OUT as File Save does; the extension of\n"
        "      each name (" +
            networkExtensionsText() +
            ") chooses its format. --precision N writes N decimals\n"
            "      instead of the Precision preference.\n",
        {{"--precision", 1, "--precision needs a whole number"}},
        convert};
}

CliCommand infoCommand() {
    return {
        "info",
        {"IN"},
        "      Print four lines: \"nodes N\", \"links M\", \"bounds TOP BOTTOM LEFT RIGHT\" and\n"
        "      \"bitmap PATH\", the network's background picture (empty when it has none); and\n"
        "      for a network placed on Earth a fifth, \"placed: CRS, origin X Y\": its coordinate\n"
        "      reference system and the CRS coordinates of its point 0,0.\n",
        {},
        info};
}

CliCommand checkCommand() {
    return {
        "check",
        {"NET"},
        "      Run the network checks and print each finding on a line, as \"error RULE: link N:\n"
        "      message\" or \"warning RULE: node N: message\".\n",
        {},
        check};
}

} // namespace vantry
