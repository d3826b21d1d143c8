#include "query/linkexpression.h"

#include "querynetwork.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantry {

namespace {

using ::testing::ElementsAreArray;

std::vector<int> selected(const Network& net, const std::string& text) {
    ExpressionError error;
    const std::optional<LinkExpression> predicate = parseLinkPredicate(text, &error);
    EXPECT_TRUE(predicate) << text << ": " << error.text();
    std::vector<int> ids;
    if (predicate)
        for (const Link* link : selectLinks(net, *predicate))
            ids.push_back(link->id());
    return ids;
}

std::string refusal(const std::string& text) {
    ExpressionError error;
    EXPECT_FALSE(parseLinkPredicate(text, &error)) << text;
    return error.text();
}

struct Selection {
    const char* expression;
    std::vector<int> ids;
};

TEST(LinkExpression, SelectsExactlyTheLinksThatMatch) {
    const auto net = query_test::buildQueryNetwork();
    const Selection cases[] = {
        {"lanes >= 2 and speed < 45", {4}},
        {"capacity = lanes * 1900", {1, 2, 5, 6}},
        // Precedence and associativity: * before +, - and / from the left.
        {"lanes + 1 * 2 = 3", {3, 6}},
        {"(lanes + 1) * 2 = 8", {2}},
        {"speed - 10 - 20 > 20", {1, 2}},
        {"capacity / lanes / 2 = 950", {1, 2, 5, 6}},
        {"-lanes < -3", {5}},
        // 'and' binds tighter than 'or'; 'not' is looser than a comparison.
        {"lanes = 1 or lanes = 4 and speed > 100", {3, 6}},
        {"not lanes = 1", {1, 2, 4, 5}},
        {"not (lanes = 1 or auto)", {2, 4}},
        // Text is compared without regard to case.
        {"type = 'wz'", {4}},
        {"type = ''", {6}},
        {"direction = 'O'", {2, 4, 6}},
        {"description contains 'MAIN'", {1, 2}},
        {"description startswith 'oak'", {6}},
        {"description = ''", {5}},
        {"description contains '(wz)' and description != 'x'", {4}},
        {"description + '!' = 'oak ave!'", {6}},
        {"description + '''' = 'Oak Ave'''", {6}},
        {"description >= 'r' and description < 's'", {3}},
        {"auto", {1, 3, 5}},
        {"auto = false", {2, 4, 6}},
        {"length > drawn * 1.1", {2, 4}},
        {"round(drawn) = 6", {3}},
        {"abs(drawn - length) > 1", {4}},
        {"max(lanes, 3) = 3 and min(speed, 50, 99) = 50", {1, 2}},
        {"from = 1 or to = 1", {1, 4, 5, 6}},
        {"id > 4", {5, 6}},
        {"capacity > 5.6e3 and capacity < 7.7E+3", {2, 5}},
        // The link table's column titles, in double quotes when they hold a blank.
        {"\"Free-flow Speed\" >= 55", {1, 2}},
        {"\"JAM DENSITY\" < 190 and Link < 6", {3}},
    };
    for (const Selection& c : cases)
        EXPECT_THAT(selected(*net, c.expression), ElementsAreArray(c.ids)) << c.expression;
}

TEST(LinkExpression, DivisionByZeroMakesEveryComparisonFalse) {
    const auto net = query_test::buildQueryNetwork();
    EXPECT_THAT(selected(*net, "capacity / 0 > 1 or capacity / 0 <= 1"), ElementsAreArray<int>({}));
    EXPECT_THAT(selected(*net, "capacity / (lanes - 1) != 1"), ElementsAreArray({1, 2, 4, 5}));
    EXPECT_THAT(selected(*net, "max(capacity / 0, 1) = 1"), ElementsAreArray<int>({}));
}

TEST(LinkExpression, EvaluatesToTheKindItWasTypedAs) {
    const auto net = query_test::buildQueryNetwork();
    const Link& first = *net->links()[0];
    ExpressionError error;
    const auto text = parseLinkExpression("description + ' (WZ)'", &error);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->kind(), ValueKind::Text);
    EXPECT_EQ(text->evaluate(first).text, "Main St (WZ)");
    // A number is no predicate: it never matches.
    const auto number = parseLinkExpression("round(drawn * 1.1 * 10) / 10", &error);
    ASSERT_TRUE(number);
    EXPECT_EQ(number->kind(), ValueKind::Number);
    EXPECT_DOUBLE_EQ(number->evaluate(first).number, 5.5);
    EXPECT_FALSE(number->matches(first));
}

TEST(LinkExpression, ErrorsGiveTheColumnWhereTheyAre) {
    EXPECT_EQ(refusal("lanes >= 2 and"), "expected a value after 'and' at 15");
    EXPECT_EQ(refusal(""), "expected a value at 1");
    EXPECT_EQ(refusal("lanes >= 2 and speed"), "'and' needs true/false values on both sides at 12");
    EXPECT_EQ(refusal("type > 3"),
              "'>' needs two numbers or two texts, not text and a number at 6");
    EXPECT_EQ(refusal("auto < true"),
              "'<' needs two numbers or two texts, not true/false and true/false at 6");
    EXPECT_EQ(refusal("(lanes = 2"), "expected ')' to close '(' at 1 at 11");
    EXPECT_EQ(refusal("lanes = 2)"), "')' without '(' at 10");
    EXPECT_EQ(refusal("lanes = 2 speed"), "unexpected 'speed' at 11");
    EXPECT_EQ(refusal("speed < 'x"), "text not closed by ' at 9");
    EXPECT_EQ(refusal("\"free-flow speed = 2"), "field name not closed by \" at 1");
    EXPECT_EQ(refusal("lanes # 2"), "unexpected character '#' at 7");
    EXPECT_EQ(refusal("frobs = 2"), "unknown field 'frobs' at 1");
    EXPECT_EQ(refusal("sqrt(lanes) = 2"), "unknown function 'sqrt' at 1");
    EXPECT_EQ(refusal("round(lanes, 2) = 2"), "'round' takes one value at 1");
    EXPECT_EQ(refusal("min(lanes) = 2"), "'min' takes two or more values at 1");
    EXPECT_EQ(refusal("abs(type) = 2"), "'abs' needs numbers at 5");
    EXPECT_EQ(refusal("description contains 3"), "'contains' needs text on both sides at 13");
    EXPECT_EQ(refusal("not lanes"), "'not' needs a true/false value at 1");
    EXPECT_EQ(refusal("lanes - 'a' = 1"), "'-' needs numbers at 7");
    EXPECT_EQ(refusal("lanes = 1.2.3"), "'1.2.3' is not a number at 9");
    EXPECT_EQ(refusal("lanes * 2"), "expected a condition (true or false), not a number at 1");
    // Columns count characters, not bytes.
    EXPECT_EQ(refusal("description = 'é€' and lanes"),
              "'and' needs true/false values on both sides at 20");
}

TEST(LinkExpression, DeepNestingIsRefusedRatherThanExhaustingTheStack) {
    const std::string parentheses = std::string(5000, '(') + "1" + std::string(5000, ')') + " = 1";
    EXPECT_EQ(refusal(parentheses), "expression too deeply nested at 101");
    EXPECT_EQ(refusal(std::string(5000, '-') + "1 = 1"), "expression too deeply nested at 101");
    EXPECT_EQ(
        refusal("not " + std::string(300, '(') + "true" + std::string(300, ')')).substr(0, 28),
        "expression too deeply nested");
    // Deep but within the limits: the stack of the program holds it.
    const auto net = query_test::buildQueryNetwork();
    std::string sum = "lanes";
    for (int i = 0; i < 90; ++i)
        sum = "(" + sum + " + 0)";
    EXPECT_THAT(selected(*net, sum + " = 4"), ElementsAreArray({5}));
    std::string right = "0";
    for (int i = 0; i < 90; ++i)
        right = "0 + (" + right + ")";
    EXPECT_THAT(selected(*net, right + " + lanes = 4"), ElementsAreArray({5}));
}

// The query network's nodes 1-5 with two more that no link reaches: 6 (4,-2) and 7 (-3,-1).
// Node 1 has four links (two in, two out); every other linked node one in and one out.
std::vector<int> selectedNodes(const std::string& text) {
    auto net = query_test::buildQueryNetwork();
    net->addNode(new Node(WorldPoint{4.0f, -2.0f}));
    net->addNode(new Node(WorldPoint{-3.0f, -1.0f}));
    ExpressionError error;
    const std::optional<NodeExpression> predicate = parseNodePredicate(text, &error);
    EXPECT_TRUE(predicate) << text << ": " << error.text();
    std::vector<int> ids;
    if (predicate)
        for (const Node* node : selectNodes(*net, *predicate))
            ids.push_back(node->id());
    return ids;
}

TEST(NodeExpression, SelectsExactlyTheNodesThatMatch) {
    const Selection cases[] = {{"links >= 3", {1}},
                               {"x > 1 and y < 0", {6}},
                               {"in = 0", {6, 7}},
                               {"out = 1 and x >= 3 and not (id = 3)", {2, 5}},
                               {"in + out != links", {}},
                               {"max(abs(x), abs(y)) <= 4 and links < 3", {2, 6, 7}},
                               {"ID = 2 or Node = 4", {2, 4}}};
    for (const Selection& c : cases)
        EXPECT_THAT(selectedNodes(c.expression), ElementsAreArray(c.ids)) << c.expression;
}

TEST(NodeExpression, RefusesLinkFieldsAndNonConditionsWithTheirColumn) {
    const auto refused = [](const std::string& text) {
        ExpressionError error;
        EXPECT_FALSE(parseNodePredicate(text, &error)) << text;
        return error.text();
    };
    EXPECT_EQ(refused("links > 2 and lanes = 2"),
              "'lanes' is a field of links; nodes have id, x, y, links, in and out at 15");
    EXPECT_EQ(refused("x > 1 and \"Free-flow Speed\" > 3").substr(0, 42),
              "'Free-flow Speed' is a field of links; nod");
    EXPECT_EQ(refused("height > 1"),
              "unknown field 'height'; nodes have id, x, y, links, in and out at 1");
    EXPECT_EQ(refused("x + y"), "expected a condition (true or false), not a number at 1");
    EXPECT_EQ(refused("x > 1 and"), "expected a value after 'and' at 10");
    // The node fields are not link fields either.
    EXPECT_EQ(refusal("in = 0"), "unknown field 'in' at 1");
}

} // namespace

} // namespace vantry
