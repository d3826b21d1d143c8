// The commands that pick links (or nodes) by an expression over their attributes: select lists
// them, set gives links new values, as the editor's Select by Expression and field calculator do.
#include "cli/commands.h"
#include "cli/commandsupport.h"

#include "document/vantrydoc.h"
#include "query/linkexpression.h"

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

namespace {

const CliOption kWhere = {"--where", 1, "--where needs an expression"};
const CliOption kNodes = {"--nodes", 0, ""};

bool given(const CommandLine& line, const char* name) {
    return std::any_of(line.options.begin(), line.options.end(), [name](const GivenOption& o) {
        return std::string(o.option->name) == name;
    });
}

template <typename Expression>
using Parser = std::optional<Expression> (*)(std::string_view, ExpressionError*);

// The expressions of every --where, read by parse (parseLinkPredicate or parseNodePredicate), or
// nothing after telling the first one that cannot be read.
template <typename Expression>
std::optional<std::vector<Expression>> wherePredicates(const CommandLine& line, std::ostream& err,
                                                       int& code, Parser<Expression> parse) {
    std::vector<Expression> predicates;
    for (const GivenOption& option : line.options) {
        if (std::string(option.option->name) != kWhere.name)
            continue;
        ExpressionError error;
        std::optional<Expression> predicate = parse(option.values[0], &error);
        if (!predicate) {
            code = usageError(err, "--where: " + error.text());
            return std::nullopt;
        }
        predicates.push_back(std::move(*predicate));
    }
    return predicates;
}

// The objects every expression holds for (all of them without one), in the network's order.
template <typename Object, typename Expression>
std::vector<Object*> chosen(const std::vector<Object*>& all, const std::vector<Expression>& where) {
    std::vector<Object*> picked;
    for (Object* object : all)
        if (std::all_of(where.begin(), where.end(),
                        [object](const Expression& e) { return e.matches(*object); }))
            picked.push_back(object);
    return picked;
}

template <typename Object, typename Expression>
int printChosen(const CommandLine& line, std::ostream& out, std::ostream& err,
                Parser<Expression> parse, const std::vector<Object*>& (Network::*all)() const) {
    int code = kExitSuccess;
    const auto where = wherePredicates(line, err, code, parse);
    if (!where)
        return code;
    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    doc.setShowsPictures(false);
    if (!openNetwork(doc, line.files[0], err))
        return kExitFileError;
    std::string ids;
    for (const Object* object : chosen((doc.network().*all)(), *where))
        ids += std::to_string(object->id()) + "\n";
    out << ids;
    return kExitSuccess;
}

int select(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.files.size() != 1)
        return usageError(err, "select needs exactly one network file");
    if (!given(line, kWhere.name))
        return usageError(err, "select needs --where EXPR");
    if (given(line, kNodes.name))
        return printChosen(line, out, err, parseNodePredicate, &Network::nodes);
    return printChosen(line, out, err, parseLinkPredicate, &Network::links);
}

int set(const CommandLine& line, std::ostream&, std::ostream& err) {
    if (line.files.size() < 3)
        return usageError(err, "set needs a network file, an output file and FIELD=EXPR");
    int code = kExitSuccess;
    const auto where = wherePredicates(line, err, code, parseLinkPredicate);
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
    if (!applyLinkAssignments(chosen(doc.network().links(), *where), assignments, &why)) {
        err << "vantry-cli: " << why << "\n";
        return kExitRefused;
    }
    return saveNetwork(doc, line.files[1], err) ? kExitSuccess : kExitFileError;
}

} // namespace

CliCommand selectCommand() {
    return {"select",
            {"NET [--nodes] --where EXPR"},
            "      Print the number of each link for which the expression EXPR holds, one a line,\n"
            "      e.g. --where \"lanes >= 2 and speed < 45\"; with --nodes, of each node, e.g.\n"
            "      --where \"links >= 3\". Expressions are described in the user's guide; one\n"
            "      that cannot be read is bad usage, its column named.\n",
            {kWhere, kNodes},
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
        {kWhere},
        set};
}

} // namespace vantry
