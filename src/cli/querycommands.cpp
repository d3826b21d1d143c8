// The commands that pick links by an expression over their attributes: select lists them, set
// gives them new values, as the editor's Select by Expression and field calculator do.
#include "cli/commands.h"
#include "cli/commandsupport.h"

#include "document/vantrydoc.h"
#include "query/linkexpression.h"

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vantry {

namespace {

// The links every --where holds for (all of them without one), or nothing after telling the
// first expression that cannot be read.
std::optional<std::vector<LinkExpression>> wherePredicates(const CommandLine& line,
                                                           std::ostream& err, int& code) {
    std::vector<LinkExpression> predicates;
    for (const GivenOption& given : line.options) {
        ExpressionError error;
        std::optional<LinkExpression> predicate = parseLinkPredicate(given.values[0], &error);
        if (!predicate) {
            code = usageError(err, "--where: " + error.text());
            return std::nullopt;
        }
        predicates.push_back(std::move(*predicate));
    }
    return predicates;
}

std::vector<Link*> chosenLinks(const Network& net, const std::vector<LinkExpression>& where) {
    std::vector<Link*> chosen;
    for (Link* link : net.links())
        if (std::all_of(where.begin(), where.end(),
                        [link](const LinkExpression& e) { return e.matches(*link); }))
            chosen.push_back(link);
    return chosen;
}

int select(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.files.size() != 1)
        return usageError(err, "select needs exactly one network file");
    if (line.options.empty())
        return usageError(err, "select needs --where EXPR");
    int code = kExitSuccess;
    const std::optional<std::vector<LinkExpression>> where = wherePredicates(line, err, code);
    if (!where)
        return code;
    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    doc.setShowsPictures(false);
    if (!openNetwork(doc, line.files[0], err))
        return kExitFileError;
    std::string ids;
    for (const Link* link : chosenLinks(doc.network(), *where))
        ids += std::to_string(link->id()) + "\n";
    out << ids;
    return kExitSuccess;
}

int set(const CommandLine& line, std::ostream&, std::ostream& err) {
    if (line.files.size() < 3)
        return usageError(err, "set needs a network file, an output file and FIELD=EXPR");
    int code = kExitSuccess;
    const std::optional<std::vector<LinkExpression>> where = wherePredicates(line, err, code);
    if (!where)
        return code;
    std::vector<LinkAssignment> assignments;
    for (std::size_t i = 2; i < line.files.size(); ++i) {
        ExpressionError error;
        std::optional<LinkAssignment> assignment = parseLinkAssignment(line.files[i], &error);
        if (!assignment)
            return usageError(err, line.files[i] + ": " + error.text());
        assignments.push_back(std::move(*assignment));
    }

    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    // The picture's path is kept as it is; its pixels are not needed.
    doc.setShowsPictures(false);
    if (!openNetwork(doc, line.files[0], err))
        return kExitFileError;
    std::string why;
    if (!applyLinkAssignments(chosenLinks(doc.network(), *where), assignments, &why)) {
        err << "vantry-cli: " << why << "\n";
        return kExitRefused;
    }
    return saveNetwork(doc, line.files[1], err) ? kExitSuccess : kExitFileError;
}

} // namespace

CliCommand selectCommand() {
    return {"select",
            {"NET --where EXPR"},
            "      Print the number of each link for which the expression EXPR holds, one a line,\n"
            "      e.g. --where \"lanes >= 2 and speed < 45\". Expressions are described in the\n"
            "      user's guide; one that cannot be read is bad usage, its column named.\n",
            {{"--where", 1, "--where needs an expression"}},
            select};
}

CliCommand setCommand() {
    return {
        "set",
        {"NET OUT [--where EXPR] FIELD=EXPR [FIELD=EXPR...]"},
        "      Give every link of NET (or those for which --where EXPR holds) new values, e.g.\n"
        "      \"capacity = lanes * 1900\" or \"type = 'WZ'\", and save the network as OUT.\n"
        "      Each value is computed from the link as it was; counts are rounded to whole\n"
        "      numbers. A value the Link Properties dialog would refuse (a capacity of 0)\n"
        "      refuses the whole change: the first such link is named and nothing is written.\n",
        {{"--where", 1, "--where needs an expression"}},
        set};
}

} // namespace vantry
