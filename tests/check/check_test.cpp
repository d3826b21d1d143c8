#include "check/checker.h"
#include "model/model_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vantry {

using model_test::addLinkBetween;
using model_test::addNodeAt;

namespace {

using Lines = std::vector<std::string>;

// The findings of one rule as their lines, which say everything a finding holds.
Lines lines(const char* rule, const Network& net) {
    const CheckRule* r = findCheckRule(rule);
    EXPECT_NE(r, nullptr) << rule;
    Lines out;
    if (r)
        for (const Finding& f : runCheckRule(*r, net))
            out.push_back(findingLine(f));
    return out;
}

// A link with attributes no rule objects to.
Link* goodLink(Network& net, Node* a, Node* b) {
    Link* l = addLinkBetween(net, a, b);
    l->setNumLanes(2);
    l->setCapacity(1800);
    l->setFFSpeed(55);
    l->setJamDensity(190);
    return l;
}

// Appends `nodes` nodes a mile apart on a line, then good links given by node numbers, written
// "FROM-TO FROM-TO ...".
void addRoads(Network& net, int nodes, const std::string& links) {
    const auto first = net.nodes().size();
    for (int i = 0; i < nodes; ++i)
        addNodeAt(net, static_cast<float>(first) + static_cast<float>(i), 0);
    std::istringstream in(links);
    std::size_t from = 0, to = 0;
    for (char dash = 0; in >> from >> dash >> to;)
        goodLink(net, net.nodes()[from - 1], net.nodes()[to - 1]);
}

// Gives the links numbered the type of that code ("D1", "R", "WZ").
void setTypes(Network& net, const char* code, std::initializer_list<int> links) {
    for (int id : links)
        net.links()[static_cast<std::size_t>(id) - 1]->setTypeCode(code);
}

// The findings of every rule, in table order.
Lines allLines(const Network& net) {
    Lines out;
    for (const Finding& f : checkNetwork(net))
        out.push_back(findingLine(f));
    return out;
}

} // namespace

TEST(CheckRules, ACleanNetworkHasNoFindings) {
    Network net;
    addRoads(net, 2, "1-2 2-1");
    net.links()[1]->setLength(1.5f);
    EXPECT_TRUE(checkNetwork(net).empty());
    EXPECT_TRUE(checkNetwork(Network()).empty());
}

TEST(CheckRules, DuplicateLinksAreReportedOnEachLaterLinkNamingTheFirst) {
    Network net;
    addRoads(net, 2, "1-2 2-1 1-2 1-2"); // the other direction is a partner, not a duplicate
    EXPECT_EQ(lines("duplicate-link", net),
              (Lines{"error duplicate-link: link 3: runs from node 1 to node 2 like link 1",
                     "error duplicate-link: link 4: runs from node 1 to node 2 like link 1"}));
}

TEST(CheckRules, ALinkFromANodeToItselfIsOneErrorAndNothingElse) {
    // As files hold them: a typed length (which the zero drawn length would call a mismatch),
    // and a second one on the same node (which would be a duplicate of the first).
    Network net;
    addRoads(net, 2, "1-2 2-1 2-2 2-2");
    net.links()[2]->setLength(0.5f);
    EXPECT_EQ(allLines(net), (Lines{"error self-link: link 3: starts and ends at node 2",
                                    "error self-link: link 4: starts and ends at node 2"}));
}

TEST(CheckRules, AttributesBelowOneAreNamedTogetherOnTheirLink) {
    Network net;
    addRoads(net, 2, "1-2 2-1 1-2");
    net.links()[1]->setNumLanes(0);
    net.links()[1]->setJamDensity(-3);
    net.links()[2]->setCapacity(1);
    net.links()[2]->setFFSpeed(0);
    EXPECT_EQ(lines("bad-attribute", net),
              (Lines{"error bad-attribute: link 2: number of lanes 0, jam density -3: each must "
                     "be at least 1",
                     "error bad-attribute: link 3: free-flow speed 0: each must be at least 1"}));
}

TEST(CheckRules, ANodeOnNoLinkIsAWarning) {
    Network net;
    addRoads(net, 3, "1-3");
    EXPECT_EQ(lines("isolated-node", net), (Lines{"warning isolated-node: node 2: is on no link"}));
}

TEST(CheckRules, OverlappingNodesAreReportedOncePerPairOnTheLaterNode) {
    Network net;
    addNodeAt(net, 0, 0);
    addNodeAt(net, 5, 5);
    addNodeAt(net, 0.0009f, 0); // near node 1
    addNodeAt(net, 0.0019f, 0); // 0.0019 from node 1, 0.001 from node 3: neither counts
    // On both sides of zero and of a cell edge.
    addNodeAt(net, -7.0004f, 2);
    addNodeAt(net, -6.9996f, 2.0003f);
    EXPECT_EQ(lines("overlapping-nodes", net),
              (Lines{"warning overlapping-nodes: node 3: lies within 0.001 miles of node 1",
                     "warning overlapping-nodes: node 6: lies within 0.001 miles of node 5"}));
}

TEST(CheckRules, APileOfNodesListsAFewPartnersAndCountsTheRest) {
    Network net;
    // Two points of the pile and a node beside them, all within 0.001 miles of each other.
    for (int i = 0; i < 7; ++i)
        addNodeAt(net, 10, i % 2 ? 10.0002f : 10.0f);
    addNodeAt(net, 10.0003f, 10.0001f);
    const Lines found = lines("overlapping-nodes", net);
    // Nodes 2 to 6 name every earlier node; 7 and 8 name five and count the rest.
    EXPECT_EQ(found.size(), 1u + 2 + 3 + 4 + 5 + 6 + 6);
    EXPECT_EQ(found.back(),
              "warning overlapping-nodes: node 8: lies within 0.001 miles of 2 more earlier nodes");
    EXPECT_EQ(found[found.size() - 2],
              "warning overlapping-nodes: node 8: lies within 0.001 miles of node 5");
}

TEST(CheckRules, ExplicitLengthsFarFromTheDrawnDistanceAreWarnedAbout) {
    // 2.13: a winding road measured along its shape; 10: a slipped decimal point.
    Network net;
    addRoads(net, 2, "1-2 1-2 1-2 1-2 1-2 1-2");
    const float lengths[] = {0.49f, 0.5f, 2.13f, 5.0f, 10.0f, -1.0f};
    for (int i = 0; i < 6; ++i)
        net.links()[i]->setLength(lengths[i]);
    goodLink(net, net.nodes()[1], addNodeAt(net, 1, 0))->setLength(0.0f); // none drawn or given
    EXPECT_EQ(lines("length-mismatch", net),
              (Lines{"warning length-mismatch: link 1: length 0.490 miles is less than half the "
                     "1.000 miles drawn",
                     "warning length-mismatch: link 5: length 10.000 miles is more than five times "
                     "the 1.000 miles drawn"}));
    // An automatic length follows the nodes, so moving one never makes it a mismatch.
    net.nodes()[1]->setY(40);
    EXPECT_EQ(lines("length-mismatch", net).size(), 5u);
}

TEST(CheckRules, EachPartCutOffFromTheMainNetworkIsReportedOnceWithItsSize) {
    // A junction of one-way pieces: a roundabout 1-4 (the main network); a two-way road 5-6-7
    // that the roundabout feeds but that never returns; a one-way loop 8-9-10 that only
    // feeds it; a two-way pair 11-12 on its own; a stub out to node 13 and one in from node 14,
    // lone nodes that the dead-end rule reports.
    Network net;
    addRoads(net, 14,
             "4-5 1-2 2-3 3-4 4-1 5-6 6-5 6-7 7-6 8-9 9-10 10-8 10-1 11-12 12-11 3-13 14-2 13-13");
    EXPECT_EQ(
        lines("disconnected", net),
        (Lines{"warning disconnected: link 6: lies in a part of 3 nodes that can be reached from "
               "the main network but cannot reach it",
               "warning disconnected: link 10: lies in a part of 3 nodes that can reach the main "
               "network but cannot be reached from it",
               "warning disconnected: link 14: lies in a part of 2 nodes that can neither reach "
               "the main network nor be reached from it"}));

    // Equal parts: the one holding the lowest node is the main network.
    Network pairs;
    addRoads(pairs, 4, "3-4 4-3 1-2 2-1");
    EXPECT_EQ(lines("disconnected", pairs),
              (Lines{"warning disconnected: link 1: lies in a part of 2 nodes that can neither "
                     "reach the main network nor be reached from it"}));
}

TEST(CheckRules, TrafficMustBeAbleToLeaveEveryNodeItEnters) {
    // A two-way road 1-2, a one-way stub out to 3 (whose other links lead nowhere) and a
    // one-way road in from 4.
    Network net;
    addRoads(net, 4, "1-2 2-1 2-3 4-1 3-3");
    goodLink(net, net.nodes()[2], nullptr);
    EXPECT_EQ(lines("dead-end", net),
              (Lines{"warning dead-end: node 3: links end at node 3 but none leave it",
                     "warning dead-end: node 4: links leave node 4 but none reach it"}));
}

TEST(CheckRules, TwoWayRoadsAndClosedLoopsAreNeitherCutOffNorDeadEnds) {
    // A two-way ring with a two-way spur out to node 5: traffic turns back there. Then, like the
    // bundled corridor, one-way carriageways joined at both ends by ramps to two-way frontage
    // and cross streets.
    Network ring, corridor, empty;
    addRoads(ring, 5, "1-2 2-1 2-3 3-2 3-4 4-3 4-1 1-4 3-5 5-3");
    addRoads(corridor, 10, "1-2 2-3 4-5 5-6 3-7 7-8 8-7 8-4 6-9 9-10 10-9 10-1 2-8 5-10");
    for (const Network* net : {&ring, &corridor, &empty}) {
        EXPECT_EQ(lines("disconnected", *net), Lines{});
        EXPECT_EQ(lines("dead-end", *net), Lines{});
    }
}

TEST(CheckRules, HugeNetworksAreWalkedWithoutDeepCalls) {
    // A ring of 200,000 one-way links is one part; a chain of 100,000 is a piece of its own, a
    // part per node; and a thousand small two-way pieces are one part each.
    constexpr std::size_t kRing = 200000, kChain = 100000, kPieces = 1000;
    Network net;
    for (std::size_t i = 0; i < kRing + kChain + 1 + 2 * kPieces; ++i)
        addNodeAt(net, static_cast<float>(i), 0);
    const std::vector<Node*>& n = net.nodes();
    for (std::size_t i = 0; i < kRing; ++i)
        addLinkBetween(net, n[i], n[(i + 1) % kRing]);
    for (std::size_t i = kRing; i < kRing + kChain; ++i)
        addLinkBetween(net, n[i], n[i + 1]);
    for (std::size_t i = kRing + kChain + 1; i < n.size(); i += 2) {
        addLinkBetween(net, n[i], n[i + 1]);
        addLinkBetween(net, n[i + 1], n[i]);
    }
    const Lines found = lines("disconnected", net);
    ASSERT_EQ(found.size(), 1 + kPieces);
    EXPECT_EQ(found[0], "warning disconnected: link 200001: lies in a part of 100001 nodes that "
                        "can neither reach the main network nor be reached from it");
    EXPECT_EQ(found.back(), "warning disconnected: link 301999: lies in a part of 2 nodes that "
                            "can neither reach the main network nor be reached from it");
    EXPECT_EQ(lines("dead-end", net).size(), 2u);
}

TEST(CheckRules, TheWorkbookLimitNamesTheFirstLinkAndNodeBeyondIt) {
    Network net;
    for (int i = 0; i < 100; ++i)
        addNodeAt(net, static_cast<float>(i), 0);
    for (int i = 0; i < 200; ++i)
        goodLink(net, net.nodes()[i % 100], net.nodes()[(i + 1) % 100]);
    EXPECT_TRUE(lines("workbook-limit", net).empty());

    goodLink(net, net.nodes()[0], net.nodes()[2]);
    addNodeAt(net, -1, 0);
    EXPECT_EQ(lines("workbook-limit", net),
              (Lines{"warning workbook-limit: link 201: the network has 201 links; a Travona "
                     "workbook holds at most 200, so it cannot be saved as .xls",
                     "warning workbook-limit: node 101: the network has 101 nodes; a Travona "
                     "workbook holds at most 100, so it cannot be saved as .xls"}));
}

TEST(CheckRules, AllRulesRunInTableOrderWithTheirOwnSeverity) {
    Network net;
    addRoads(net, 1, "1-1");
    addNodeAt(net, 0, 0);
    net.links()[0]->setCapacity(0);
    EXPECT_EQ(allLines(net),
              (Lines{"error self-link: link 1: starts and ends at node 1",
                     "error bad-attribute: link 1: capacity 0: each must be at least 1",
                     "warning isolated-node: node 2: is on no link",
                     "warning overlapping-nodes: node 2: lies within 0.001 miles of node 1"}));
}

TEST(CheckRules, ADetourInPiecesNamesALinkOfEveryOtherPiece) {
    // Detour 1 runs 1-2-3, then 4-5 against link 4's way, 5-6-7; Detour 2 comes in from node 8
    // and leaves 6-7-9, sharing Detour 1's links, the shared one typed Detour 1, and a ramp
    // joins 3-4. Both detours are whole.
    Network net;
    addRoads(net, 9, "1-2 2-3 3-4 5-4 5-6 6-7 7-9 8-1");
    setTypes(net, "D1", {1, 2, 5, 6});
    setTypes(net, "D2", {4, 7, 8});
    setTypes(net, "R", {3});
    EXPECT_EQ(lines("detour-split", net), Lines{});

    // Without the ramp each falls in two.
    setTypes(net, "M", {3});
    EXPECT_EQ(lines("detour-split", net),
              (Lines{"warning detour-split: link 1: Detour 1 is in 2 pieces: this piece of 2 links "
                     "is not joined to the one with link 5",
                     "warning detour-split: link 5: Detour 1 is in 2 pieces: this piece of 2 links "
                     "is not joined to the one with link 1",
                     "warning detour-split: link 4: Detour 2 is in 2 pieces: this piece of 2 links "
                     "is not joined to the one with link 8",
                     "warning detour-split: link 8: Detour 2 is in 2 pieces: this piece of 1 link "
                     "is not joined to the one with link 4"}));

    // Many pieces name the first few others and count the rest, in linear time.
    constexpr int kPieces = 100000;
    Network many;
    for (int i = 0; i < 2 * kPieces; ++i)
        addNodeAt(many, static_cast<float>(i), 0);
    for (int i = 0; i < kPieces; ++i)
        goodLink(many, many.nodes()[2 * i], many.nodes()[2 * i + 1])->setTypeCode("D2");
    const Lines found = lines("detour-split", many);
    ASSERT_EQ(found.size(), static_cast<std::size_t>(kPieces));
    EXPECT_EQ(found[2], "warning detour-split: link 3: Detour 2 is in 100000 pieces: this piece of "
                        "1 link is not joined to the ones with links 1, 2, 4, 5, 6 and 99994 more");
    for (int i = 3; i < kPieces; ++i)
        many.links()[static_cast<std::size_t>(i)]->setTypeCode("M");
    EXPECT_EQ(lines("detour-split", many),
              (Lines{"warning detour-split: link 1: Detour 2 is in 3 pieces: this piece of 1 link "
                     "is not joined to the ones with links 2 and 3",
                     "warning detour-split: link 2: Detour 2 is in 3 pieces: this piece of 1 link "
                     "is not joined to the ones with links 1 and 3",
                     "warning detour-split: link 3: Detour 2 is in 3 pieces: this piece of 1 link "
                     "is not joined to the ones with links 1 and 2"}));
}

TEST(CheckRules, WorkZoneLinksMustBeOneRunHeadToTail) {
    const auto zone = [](int nodes, const std::string& links) {
        Network net;
        addRoads(net, nodes, links);
        for (Link* l : net.links())
            l->setTypeCode("WZ");
        return lines("work-zone-gap", net);
    };
    EXPECT_EQ(zone(4, "3-4 1-2 2-3"), Lines{}); // one run, in any order
    EXPECT_EQ(zone(2, "1-2"), Lines{});
    EXPECT_EQ(zone(0, ""), Lines{});
    const std::string head = "warning work-zone-gap: link ";
    // A gap: the second run (links 4 then 3) starts at node 4, not at node 3.
    EXPECT_EQ(zone(6, "1-2 2-3 5-6 4-5"),
              Lines{head + "4: Work Zone links are not one run: link 4 does not follow on from "
                           "link 2"});
    EXPECT_EQ(zone(4, "1-2 2-3 2-4 3-4"),
              (Lines{head + "3: Work Zone links are not one run: link 2 and link 3 both start at "
                            "node 2",
                     head + "4: Work Zone links are not one run: link 3 and link 4 both end at "
                            "node 4"}));
    EXPECT_EQ(zone(5, "1-2 2-3 3-1 4-5"),
              Lines{head + "3: Work Zone links are not one run: link 3 loops back to node 1, "
                           "where link 1 starts"});
}

TEST(CheckRules, TheBundledSampleHasWholeDetoursAndOneWorkZone) {
    Network net;
    std::ifstream in(std::string(VANTRY_EXAMPLES) + "/corridor-work-zone.txt");
    std::string why;
    ASSERT_TRUE(net.read(in, &why)) << why;
    EXPECT_EQ(lines("detour-split", net), Lines{});
    EXPECT_EQ(lines("work-zone-gap", net), Lines{});
    // Without a block of frontage road (links 21 and 22, a link each way) both detours are in
    // two; a Work Zone link past the mainline's next node leaves a gap.
    setTypes(net, "M", {21, 22});
    setTypes(net, "WZ", {7});
    EXPECT_EQ(lines("detour-split", net).size(), 4u);
    EXPECT_EQ(lines("work-zone-gap", net),
              Lines{"warning work-zone-gap: link 7: Work Zone links are not one run: link 7 does "
                    "not follow on from link 5"});
}

} // namespace vantry
