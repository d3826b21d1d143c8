// The commands over routes: route finds the fastest route between two nodes, work-zone marks a
// work zone and the detours around it, as the editor's Route and Work Zone do.
#include "cli/commands.h"
#include "cli/commandsupport.h"

#include "document/vantrydoc.h"
#include "model/linkcodes.h"
#include "route/workzone.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace vantry {

namespace {

const CliOption kAvoidType = {"--avoid-type", 1, "--avoid-type needs link types, e.g. M,WZ"};
const CliOption kAvoid = {"--avoid", 1, "--avoid needs link numbers, e.g. 4,5"};
const CliOption kLinks = {"--links", 1, "--links needs the work zone's link numbers, e.g. 4,5"};
const CliOption kOpenLanes = {"--open-lanes", 1, "--open-lanes needs a number of lanes"};
const CliOption kCapacity = {"--capacity", 1, "--capacity needs a capacity per open lane"};
const CliOption kDetours = {"--detours", 1, "--detours needs 0, 1 or 2"};
const CliOption kFrom = {"--from", 1, "--from needs a node number"};
const CliOption kTo = {"--to", 1, "--to needs a node number"};

std::vector<std::string> commaSeparated(const std::string& text) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, ','))
        parts.push_back(part);
    if (!text.empty() && text.back() == ',')
        parts.emplace_back();
    return parts;
}

// Object numbers 1..count from "4,5,9"; nothing, with the problem, when one is not.
std::optional<std::vector<std::int32_t>> numbers(const std::string& text, std::size_t count,
                                                 const char* what, std::string& problem) {
    std::vector<std::int32_t> ids;
    for (const std::string& part : commaSeparated(text)) {
        int id = 0;
        if (!parseInt(part, id)) {
            problem = "\"" + part + "\" is not a " + what + " number";
            return std::nullopt;
        }
        if (id < 1 || static_cast<std::size_t>(id) > count) {
            problem = "there is no " + std::string(what) + " " + part + ": the network's " + what +
                      "s are numbered 1 to " + std::to_string(count);
            return std::nullopt;
        }
        ids.push_back(id);
    }
    if (ids.empty())
        problem = std::string("no ") + what + " numbers given";
    return ids.empty() ? std::nullopt : std::optional(ids);
}

std::optional<std::int32_t> nodeNumber(const std::string& text, const Network& net,
                                       std::string& problem) {
    auto ids = numbers(text, net.nodes().size(), "node", problem);
    if (ids && ids->size() != 1) {
        problem = "\"" + text + "\" is not one node number";
        return std::nullopt;
    }
    return ids ? std::optional(ids->front()) : std::nullopt;
}

const std::string* optionValue(const CommandLine& line, const CliOption& option) {
    const std::string* value = nullptr;
    for (const GivenOption& given : line.options)
        if (given.option == &option || std::string(given.option->name) == option.name)
            value = &given.values[0];
    return value;
}

std::string threeDecimals(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3f", v);
    return buf;
}

// "LINK LINK ... 2.770 mi 3.480 min" without the links when there are none.
std::string milesAndMinutes(const Route& route) {
    return threeDecimals(route.miles) + " mi " + threeDecimals(route.minutes) + " min";
}

int route(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.files.size() != 3)
        return usageError(err, "route needs a network file, a start node and an end node");
    RouteAvoid avoid;
    if (const std::string* types = optionValue(line, kAvoidType))
        for (const std::string& name : commaSeparated(*types)) {
            const std::optional<LinkType> type = linkTypeNamed(name);
            if (!type)
                return usageError(err, "--avoid-type: \"" + name +
                                           "\" is not a link type (M, WZ, D1, D2, R or None)");
            avoid.types.push_back(*type);
        }

    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    doc.setShowsPictures(false);
    if (!openNetwork(doc, line.files[0], err))
        return kExitFileError;
    const Network& net = doc.network();
    std::string problem;
    const auto from = nodeNumber(line.files[1], net, problem);
    const auto to = from ? nodeNumber(line.files[2], net, problem) : std::nullopt;
    if (!to)
        return usageError(err, problem);
    if (const std::string* links = optionValue(line, kAvoid)) {
        const auto ids = numbers(*links, net.links().size(), "link", problem);
        if (!ids)
            return usageError(err, "--avoid: " + problem);
        avoid.links = *ids;
    }

    const RoutingGraph graph(net);
    const std::optional<Route> found = fastestRoute(graph, *from, *to, avoid);
    if (!found) {
        err << "vantry-cli: " << noRouteText(graph, *from, *to) << "\n";
        return kExitNoRoute;
    }
    std::string text;
    for (std::int32_t id : found->links)
        text += std::to_string(id) + "\n";
    out << text << "total " << milesAndMinutes(*found) << "\n";
    return kExitSuccess;
}

int workZone(const CommandLine& line, std::ostream& out, std::ostream& err) {
    if (line.files.size() != 2)
        return usageError(err, "work-zone needs a network file and an output file");
    const std::string* linksText = optionValue(line, kLinks);
    if (!linksText)
        return usageError(err, "work-zone needs --links with the work zone's link numbers");
    const std::string* fromText = optionValue(line, kFrom);
    const std::string* toText = optionValue(line, kTo);
    if ((fromText == nullptr) != (toText == nullptr))
        return usageError(err, "--from and --to go together");
    DetourOptions options;
    if (const std::string* text = optionValue(line, kDetours))
        if (!parseInt(*text, options.wanted) || options.wanted < 0 || options.wanted > 2)
            return usageError(err, kDetours.problem);
    std::optional<int> openLanes;
    std::optional<int> capacity;
    for (auto [option, value] : {std::pair{&kOpenLanes, &openLanes}, {&kCapacity, &capacity}})
        if (const std::string* text = optionValue(line, *option)) {
            int v = 0;
            if (!parseInt(*text, v))
                return usageError(err, option->problem);
            *value = v;
        }

    Held<CVantryDoc> heldDoc;
    CVantryDoc& doc = *heldDoc;
    doc.setShowsPictures(false);
    if (!openNetwork(doc, line.files[0], err))
        return kExitFileError;
    Network& net = doc.network();
    std::string problem;
    const auto ids = numbers(*linksText, net.links().size(), "link", problem);
    if (!ids)
        return usageError(err, "--links: " + problem);
    if (fromText) {
        const auto from = nodeNumber(*fromText, net, problem);
        const auto to = from ? nodeNumber(*toText, net, problem) : std::nullopt;
        if (!to)
            return usageError(err, problem);
        if (*from == *to)
            return usageError(err, "--from and --to must be two different nodes");
        options.from = *from;
        options.to = *to;
    }
    std::vector<Link*> selected;
    for (std::int32_t id : *ids)
        selected.push_back(net.links()[id - 1]);
    std::string why;
    const auto run = headToTailRun(selected, &why);
    if (!run) {
        err << "vantry-cli: " << why << " Nothing was written.\n";
        return kExitRefused;
    }
    const Link& first = *run->front();
    const WorkZoneValues values{openLanes.value_or(std::max(1, first.numLanes() - 1)),
                                capacity.value_or(first.capacity())};
    if (const auto bad = workZoneValuesProblem(values))
        return usageError(err, *bad);

    const RoutingGraph graph(net);
    const DetourSearch search = findDetours(graph, *run, options);
    std::vector<std::vector<std::int32_t>> detourLinks;
    for (const Detour& detour : search.detours)
        detourLinks.push_back(detour.route.links);
    markWorkZone(net, *run, values, detourLinks);
    if (!saveNetwork(doc, line.files[1], err))
        return kExitFileError;

    std::string text;
    for (std::size_t k = 0; k < search.detours.size(); ++k) {
        const Detour& detour = search.detours[k];
        text += "detour " + std::to_string(k + 1) + ":";
        for (std::int32_t id : detour.route.links)
            text += " " + std::to_string(id);
        text += " " + milesAndMinutes(detour.route) + "\n";
    }
    out << text;
    for (std::size_t k = 0; k < search.detours.size(); ++k) {
        const Detour& detour = search.detours[k];
        err << "vantry-cli: detour " << k + 1 << " runs from node " << detour.from << " to node "
            << detour.to;
        if (const double extra = detour.extraMinutes(); detour.mainlineMinutes != kImpassable)
            err << ", " << threeDecimals(std::fabs(extra)) << " min "
                << (extra < 0 ? "less" : "more") << " than the mainline before the work zone";
        if (k > 0)
            err << "; it shares " << detour.sharedWithFirst << " of its "
                << detour.route.links.size() << " links with detour 1";
        err << "\n";
    }
    for (const std::string& note : search.notes)
        err << "vantry-cli: " << note << "\n";
    return options.wanted > 0 && search.detours.empty() ? kExitNoRoute : kExitSuccess;
}

} // namespace

CliCommand routeCommand() {
    return {"route",
            {"NET FROM TO [--avoid-type T,...] [--avoid LINK,...]"},
            "      Print the fastest route from node FROM to node TO by free-flow time (each\n"
            "      link's length over its free-flow speed): its link numbers in driving order,\n"
            "      one a line, then \"total MILES mi MINUTES min\". --avoid-type leaves out links\n"
            "      of the types given by name or code (M, WZ, D1, D2, R, None); --avoid leaves\n"
            "      out the links given. Links of no speed or no lanes cannot be driven. Exit\n"
            "      status 4 when there is no route.\n",
            {kAvoidType, kAvoid},
            route};
}

CliCommand workZoneCommand() {
    return {"work-zone",
            {"NET OUT --links LINK,... [--open-lanes N] [--capacity C] [--detours K]",
             "[--from NODE --to NODE]"},
            "      Mark the links given, one run head to tail, Work Zone with N open lanes (one\n"
            "      fewer than the first link has, by default) of capacity C each (the first\n"
            "      link's, by default); find up to K detours (2 by default) that avoid them and\n"
            "      mark their links Detour 1 and Detour 2 (Ramp and Work Zone links keep their\n"
            "      type); save the network as OUT. Detours run from the start of the run to its\n"
            "      end or, where no route does, between nodes further up and down the mainline;\n"
            "      --from and --to choose the nodes. The second detour shares as few links with\n"
            "      the first as it can. Each is printed as \"detour K: LINK... MILES mi MINUTES\n"
            "      min\". Exit status 4 when no detour is found (OUT is written with the work\n"
            "      zone marked); 5 when the links are not one run (nothing is written).\n",
            {kLinks, kOpenLanes, kCapacity, kDetours, kFrom, kTo},
            workZone};
}

} // namespace vantry
