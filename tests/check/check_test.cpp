#include "check/checker.h"
#include "model/model_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using model_test::addLinkBetween;
using model_test::addNodeAt;

namespace {

// The findings of one rule as their lines, which say everything a finding holds.
std::vector<std::string> lines(const char* rule, const Network& net) {
    const CheckRule* r = findCheckRule(rule);
    EXPECT_NE(r, nullptr) << rule;
    std::vector<std::string> out;
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

using Lines = std::vector<std::string>;

} // namespace

TEST(CheckRules, ACleanNetworkHasNoFindings) {
    Network net;
    Node* a = addNodeAt(net, 0, 0);
    Node* b = addNodeAt(net, 1, 0);
    goodLink(net, a, b);
    goodLink(net, b, a)->setLength(1.5f);
    EXPECT_TRUE(checkNetwork(net).empty());
    EXPECT_TRUE(checkNetwork(Network()).empty());
}

TEST(CheckRules, DuplicateLinksAreReportedOnEachLaterLinkNamingTheFirst) {
    Network net;
    Node* a = addNodeAt(net, 0, 0);
    Node* b = addNodeAt(net, 1, 0);
    goodLink(net, a, b);
    goodLink(net, b, a); // the other direction is a partner, not a duplicate
    goodLink(net, a, b);
    goodLink(net, a, b);
    EXPECT_EQ(lines("duplicate-link", net),
              (Lines{"error duplicate-link: link 3: runs from node 1 to node 2 like link 1",
                     "error duplicate-link: link 4: runs from node 1 to node 2 like link 1"}));
}

TEST(CheckRules, ALinkFromANodeToItselfIsAnError) {
    Network net;
    Node* a = addNodeAt(net, 0, 0);
    Node* b = addNodeAt(net, 1, 0);
    goodLink(net, a, b);
    goodLink(net, b, b);
    EXPECT_EQ(lines("self-link", net),
              (Lines{"error self-link: link 2: starts and ends at node 2"}));
}

TEST(CheckRules, AttributesBelowOneAreNamedTogetherOnTheirLink) {
    Network net;
    Node* a = addNodeAt(net, 0, 0);
    Node* b = addNodeAt(net, 1, 0);
    goodLink(net, a, b);
    Link* bad = goodLink(net, b, a);
    bad->setNumLanes(0);
    bad->setJamDensity(-3);
    Link* slow = goodLink(net, a, b);
    slow->setCapacity(1);
    slow->setFFSpeed(0);
    EXPECT_EQ(lines("bad-attribute", net),
              (Lines{"error bad-attribute: link 2: number of lanes 0, jam density -3: each must "
                     "be at least 1",
                     "error bad-attribute: link 3: free-flow speed 0: each must be at least 1"}));
}

TEST(CheckRules, ANodeOnNoLinkIsAWarning) {
    Network net;
    Node* a = addNodeAt(net, 0, 0);
    addNodeAt(net, 3, 3);
    Node* c = addNodeAt(net, 1, 0);
    goodLink(net, a, c);
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
    Network net;
    Node* a = addNodeAt(net, 0, 0);
    Node* b = addNodeAt(net, 0, 1);
    const float lengths[] = {0.49f, 0.5f, 2.0f, 2.01f, -1.0f};
    for (float length : lengths)
        goodLink(net, a, b)->setLength(length);
    Node* c = addNodeAt(net, 0, 1);
    goodLink(net, b, c)->setLength(0.0f); // no distance drawn and none given
    EXPECT_EQ(lines("length-mismatch", net),
              (Lines{"warning length-mismatch: link 1: length 0.490 miles is less than half the "
                     "1.000 miles drawn",
                     "warning length-mismatch: link 4: length 2.010 miles is more than twice the "
                     "1.000 miles drawn"}));
    // An automatic length follows the nodes, so moving one never makes it a mismatch.
    b->setY(40);
    EXPECT_EQ(lines("length-mismatch", net).size(), 4u);
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
    Node* a = addNodeAt(net, 0, 0);
    addNodeAt(net, 0, 0);
    Link* self = goodLink(net, a, a);
    self->setCapacity(0);
    const std::vector<Finding> found = checkNetwork(net);
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0].rule, std::string("self-link"));
    EXPECT_EQ(found[1].rule, std::string("bad-attribute"));
    EXPECT_EQ(found[2].rule, std::string("isolated-node"));
    EXPECT_EQ(found[3].rule, std::string("overlapping-nodes"));
    EXPECT_EQ(found[0].severity, Severity::Error);
    EXPECT_EQ(found[3].severity, Severity::Warning);
    EXPECT_EQ(found[3].object, Finding::Object::Node);
    EXPECT_EQ(found[3].number, 2);
}
