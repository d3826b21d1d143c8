#include "query/linkexpression.h"

#include "querynetwork.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vantry {

namespace {

using ::testing::ElementsAre;

std::vector<LinkAssignment> assignments(const std::vector<std::string>& texts) {
    std::vector<LinkAssignment> parsed;
    for (const std::string& text : texts) {
        ExpressionError error;
        std::optional<LinkAssignment> assignment = parseLinkAssignment(text, &error);
        EXPECT_TRUE(assignment) << text << ": " << error.text();
        if (assignment)
            parsed.push_back(std::move(*assignment));
    }
    return parsed;
}

// Applies to every link; the refusal, or empty.
std::string applyAll(Network& net, const std::vector<std::string>& texts) {
    std::string why;
    if (applyLinkAssignments(net.links(), assignments(texts), &why))
        return {};
    return why.empty() ? "refused without a reason" : why;
}

std::string refusal(const std::string& text) {
    ExpressionError error;
    EXPECT_FALSE(parseLinkAssignment(text, &error)) << text;
    return error.text();
}

std::vector<int> capacities(const Network& net) {
    std::vector<int> out;
    for (const Link* link : net.links())
        out.push_back(link->capacity());
    return out;
}

TEST(LinkAssignment, SetsEachLinkFromItsOwnAttributes) {
    auto net = query_test::buildQueryNetwork();
    EXPECT_EQ(applyAll(*net, {"capacity = lanes * 1900"}), "");
    EXPECT_THAT(capacities(*net), ElementsAre(3800, 5700, 1900, 3800, 7600, 1900));

    // Every assignment sees the link as it was: capacity follows the old lane count.
    EXPECT_EQ(applyAll(*net, {"lanes = lanes + 1", "\"Free-flow Speed\" = round(speed * 0.9)",
                              "capacity = lanes * 1000"}),
              "");
    const Link& first = *net->links()[0];
    EXPECT_EQ(first.numLanes(), 3);
    EXPECT_EQ(first.ffSpeed(), 50); // 49.5 rounds away from zero
    EXPECT_EQ(first.capacity(), 2000);
}

TEST(LinkAssignment, CountsAreRoundedToTheNearestWholeNumber) {
    auto net = query_test::buildQueryNetwork();
    EXPECT_EQ(applyAll(*net, {"capacity = 1900.4", "jam = 199.5"}), "");
    EXPECT_EQ(net->links()[0]->capacity(), 1900);
    EXPECT_EQ(net->links()[0]->jamDensity(), 200);
}

TEST(LinkAssignment, TextFieldsTakeCodesNamesAndJoinedText) {
    auto net = query_test::buildQueryNetwork();
    EXPECT_EQ(applyAll(*net, {"type = 'wz'", "direction = 'Outbound'",
                              "description = description + ' (WZ)'"}),
              "");
    const Link& first = *net->links()[0];
    EXPECT_EQ(first.type(), LinkType::Workzone);
    EXPECT_EQ(first.direction(), LinkDirection::Outbound);
    EXPECT_EQ(first.description(), "Main St (WZ)");
    EXPECT_EQ(applyAll(*net, {"type = 'Ramp'", "direction = 'i'"}), "");
    EXPECT_EQ(first.type(), LinkType::Ramp);
    EXPECT_EQ(first.direction(), LinkDirection::Inbound);
    EXPECT_EQ(applyAll(*net, {"type = ''"}), "");
    EXPECT_EQ(first.type(), LinkType::None);
}

TEST(LinkAssignment, LengthsFollowTheDrawnDistanceOrAreTyped) {
    auto net = query_test::buildQueryNetwork();
    EXPECT_EQ(applyAll(*net, {"length = drawn * 1.1"}), "");
    const Link& first = *net->links()[0];
    EXPECT_FALSE(first.hasAutomaticLength());
    EXPECT_FLOAT_EQ(first.effectiveLength(), 5.5f);
    // The drawn distance itself makes the length automatic again, as in the dialog.
    EXPECT_EQ(applyAll(*net, {"length = drawn"}), "");
    for (const Link* link : net->links())
        EXPECT_TRUE(link->hasAutomaticLength()) << link->id();
}

TEST(LinkAssignment, ABadValueOnAnyLinkRefusesTheWholeChange) {
    auto net = query_test::buildQueryNetwork();
    const std::string before = net->toText();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"capacity = lanes * 0"}, "link 1: capacity 0: must be at least 1"},
        // Links 1 to 4 would take it; link 5 (4 lanes) is the first refused.
        {{"description = 'x'", "capacity = 2000 - lanes * 500"},
         "link 5: capacity 0: must be at least 1"},
        {{"lanes = 0.4"}, "link 1: lanes 0.4: must be at least 1"},
        {{"speed = 3e9 * lanes"}, "link 1: speed 6000000000: too large"},
        {{"jam = jam / (lanes - 2)"}, "link 1: jam: no value (division by zero)"},
        {{"length = drawn - 5"}, "link 1: length 0: must be more than 0"},
        {{"type = description"}, "link 1: type 'Main St': must be M, WZ, D1, D2, R or empty"},
        {{"direction = 'N'"}, "link 1: direction 'N': must be I or O"},
    };
    for (const auto& [texts, why] : cases) {
        EXPECT_EQ(applyAll(*net, texts), why);
        EXPECT_EQ(net->toText(), before) << why;
    }
}

TEST(LinkAssignment, AttributesComeBackWithoutChangingTheLinks) {
    auto net = query_test::buildQueryNetwork();
    const std::vector<Link*> some = {net->links()[2], net->links()[4]};
    std::string why;
    const auto next = assignedAttributes(some, assignments({"capacity = 1234"}), &why);
    ASSERT_TRUE(next) << why;
    ASSERT_EQ(next->size(), 2u);
    EXPECT_EQ((*next)[0].link, some[0]);
    EXPECT_EQ((*next)[1].capacity, 1234);
    EXPECT_THAT(capacities(*net), ElementsAre(3800, 5700, 1800, 3600, 7600, 1900));
}

TEST(LinkAssignment, RefusesFieldsItCannotSetAndValuesOfTheWrongKind) {
    const char* const readOnly =
        "this field is read only; lanes, capacity, speed, jam, length, type, direction and "
        "description can be set at ";
    EXPECT_EQ(refusal("auto = true"), std::string(readOnly) + "1");
    EXPECT_EQ(refusal("  drawn = 2"), std::string(readOnly) + "3");
    EXPECT_EQ(refusal("id = 3"), std::string(readOnly) + "1");
    EXPECT_EQ(refusal("capacity = 'x'"), "'capacity' needs a number at 12");
    EXPECT_EQ(refusal("type = 3"), "'type' needs text at 8");
    EXPECT_EQ(refusal("capacity 5"), "expected '=' after 'capacity' at 10");
    EXPECT_EQ(refusal("capacity ="), "expected a value after '=' at 11");
    EXPECT_EQ(refusal("= 5"), "expected a field name at 1");
    EXPECT_EQ(refusal("wheels = 5"), "unknown field 'wheels' at 1");
    EXPECT_EQ(refusal("lanes = 2 = 2"), "'lanes' needs a number at 9");
}

} // namespace

} // namespace vantry
