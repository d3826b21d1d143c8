#pragma once

#include "route/routinggraph.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vantry {

// The links given, ordered so that each starts where the one before it ends; nothing, with why
// ("link 7 does not follow on from another selected link"), when they are not one such run: a
// gap, a fork, a loop, a link given twice, or no links.
std::optional<std::vector<Link*>> headToTailRun(const std::vector<Link*>& links,
                                                std::string* why = nullptr);

// A detour around a work zone: its route, the nodes it runs between and how it compares.
struct Detour {
    Route route;
    std::int32_t from = 0;
    std::int32_t to = 0;
    // The time between the same nodes along the mainline before the work zone (or, between nodes
    // the user chose off the mainline, the fastest route before it); kImpassable when unknown.
    double mainlineMinutes = kImpassable;
    // How many of its links the first detour has too (0 for the first).
    int sharedWithFirst = 0;

    double extraMinutes() const { return route.minutes - mainlineMinutes; }
};

struct DetourOptions {
    // How many detours to look for: 0, 1 or 2.
    int wanted = 2;
    // Where the detours run, both given or neither (0): without them the search starts at the
    // ends of the run and moves upstream and downstream along the mainline (links of the
    // mainline's and the run's types that carry on without a sharp turn), a node at a time,
    // until some route avoids the run.
    std::int32_t from = 0;
    std::int32_t to = 0;
    // How many nodes the search moves each way at most.
    int maxSteps = 100;
};

struct DetourSearch {
    std::vector<Detour> detours;
    // What the user should be told: why there is no detour, or no second one.
    std::vector<std::string> notes;
};

// Detours around a run of links (ordered head to tail) of the network the graph was built from:
// the fastest route between the detours' ends that avoids the run, then the route between the
// same ends that shares as few links with the first as possible, the fastest of those. A second
// route that is the first again is not given. Where the search moves along the mainline it
// tries the pairs of nodes nearest the run first (fewest steps up and down together) and takes,
// among the pairs of one round that a route joins, the one that adds the fewest minutes.
DetourSearch findDetours(const RoutingGraph& graph, const std::vector<Link*>& run,
                         const DetourOptions& options);

// The lanes that stay open through a work zone and the capacity of each.
struct WorkZoneValues {
    std::int32_t openLanes = 1;
    std::int32_t capacityPerLane = 1;
};
// Nothing when both can be used, otherwise what is wrong ("The open lanes must be at least 1.").
std::optional<std::string> workZoneValuesProblem(const WorkZoneValues& values);

// Marks the run Work Zone with the values, and the links of the detours, in order, Detour 1 and
// Detour 2 (links by id; a Ramp or Work Zone link keeps its type, and a link of both detours is
// Detour 1). True when anything changed.
bool markWorkZone(Network& net, const std::vector<Link*>& run, const WorkZoneValues& values,
                  const std::vector<std::vector<std::int32_t>>& detours);

} // namespace vantry
