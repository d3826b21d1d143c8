#pragma once

#include "model/network.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// Expressions over a link's attributes ("lanes >= 2 and speed < 45", "capacity = lanes * 1900"):
// parsed once into a flat program, then evaluated per link without allocating, so that a
// predicate runs over a million links in a few milliseconds. The language is described in the
// user's guide (src/dialogs/help/expressions.html).

// Where and why an expression was refused. The column is 1-based, counted in characters of
// the text as typed.
struct ExpressionError {
    int column = 0;
    std::string message;
    // "expected a value after 'and' at 14": the message with its column, as shown to the user.
    std::string text() const;
};

// Every expression has one of these types, known when it is parsed.
enum class ValueKind { Number, Text, Boolean };

struct ExpressionValue {
    ValueKind kind = ValueKind::Number;
    // Numbers; NaN when a division by zero made the value undefined.
    double number = 0.0;
    std::string text;
    bool boolean = false;
};

struct ExpressionProgram;

class LinkExpression {
public:
    ValueKind kind() const;
    // True when a Boolean expression holds for the link; false for any other kind.
    bool matches(const Link& link) const;
    ExpressionValue evaluate(const Link& link) const;

private:
    friend struct ExpressionCompiler;
    std::shared_ptr<const ExpressionProgram> program_;
};

// Any expression, or nothing with the error.
std::optional<LinkExpression> parseLinkExpression(std::string_view text, ExpressionError* error);
// An expression that must be true or false, as a filter needs ("lanes" alone is refused).
std::optional<LinkExpression> parseLinkPredicate(std::string_view text, ExpressionError* error);

// The links of the network for which the predicate holds, in the network's order.
std::vector<Link*> selectLinks(const Network& network, const LinkExpression& predicate);

// An expression over a node: its id, x and y (miles), links (how many links meet there), in and
// out (how many end and start there), with the operators and functions of link expressions.
class NodeExpression {
public:
    ValueKind kind() const;
    // True when a Boolean expression holds for the node; false for any other kind.
    bool matches(const Node& node) const;
    ExpressionValue evaluate(const Node& node) const;

private:
    friend struct ExpressionCompiler;
    std::shared_ptr<const ExpressionProgram> program_;
};

// As parseLinkPredicate, over the node fields; a link's field ("lanes") is refused at its column.
std::optional<NodeExpression> parseNodePredicate(std::string_view text, ExpressionError* error);

// The nodes of the network for which the predicate holds, in the network's order.
std::vector<Node*> selectNodes(const Network& network, const NodeExpression& predicate);

// The attributes an assignment may set; auto, drawn, id, from and to are read only.
enum class AssignedField { Lanes, Capacity, Speed, Jam, Length, Type, Direction, Description };

// "FIELD = EXPR": the field and the value it is given.
struct LinkAssignment {
    AssignedField field = AssignedField::Lanes;
    LinkExpression value;
};

// The field is named as in expressions; the value's type must suit it (a number for lanes,
// text for type). Columns of the error count from the start of the whole text.
std::optional<LinkAssignment> parseLinkAssignment(std::string_view text, ExpressionError* error);

// The attributes each link would have after the assignments, in the order of the links, or
// nothing, with why the first link that cannot take its values was refused ("link 12:
// capacity 0: must be at least 1"). Every assignment sees the link as it was before any of them, so
// "lanes = lanes - 1, capacity = lanes * 1800" uses the old lane count. Nothing is changed: the
// caller applies the result (Link::setAttributes), e.g. as one undo step.
std::optional<std::vector<LinkAttributes>>
assignedAttributes(const std::vector<Link*>& links, const std::vector<LinkAssignment>& assignments,
                   std::string* why);

// assignedAttributes, then applied to every link, or to none when one is refused.
bool applyLinkAssignments(const std::vector<Link*>& links,
                          const std::vector<LinkAssignment>& assignments, std::string* why);

} // namespace vantry
