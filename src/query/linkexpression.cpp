#include "query/linkexpression.h"

#include "query/expressionprogram.h"
#include "query/expressiontokens.h"

#include <algorithm>
#include <cmath>
#include <forward_list>
#include <limits>

namespace vantry {

namespace {

struct NamedAttribute {
    const char* name;
    LinkAttribute attribute;
};

// Short names first, then the link table's column titles; "Free-flow Speed" and "Jam Density"
// hold blanks and are written in double quotes.
constexpr NamedAttribute kNames[] = {{"lanes", LinkAttribute::Lanes},
                                     {"capacity", LinkAttribute::Capacity},
                                     {"speed", LinkAttribute::Speed},
                                     {"jam", LinkAttribute::Jam},
                                     {"length", LinkAttribute::Length},
                                     {"drawn", LinkAttribute::Drawn},
                                     {"id", LinkAttribute::Id},
                                     {"from", LinkAttribute::From},
                                     {"to", LinkAttribute::To},
                                     {"auto", LinkAttribute::Auto},
                                     {"type", LinkAttribute::Type},
                                     {"direction", LinkAttribute::Direction},
                                     {"description", LinkAttribute::Description},
                                     {"Link", LinkAttribute::Id},
                                     {"Free-flow Speed", LinkAttribute::Speed},
                                     {"Jam Density", LinkAttribute::Jam}};

// Trivial, so that a program's stack costs nothing to set up for each link.
struct Slot {
    double number;
    const char* data;
    std::size_t size;

    std::string_view text() const { return {data, size}; }
    void setText(std::string_view t) {
        data = t.data();
        size = t.size();
    }
};

Slot numberSlot(double number) {
    return {number, nullptr, 0};
}

Slot textSlot(std::string_view text) {
    return {0.0, text.data(), text.size()};
}

constexpr double kUndefined = std::numeric_limits<double>::quiet_NaN();

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int compareText(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = lower(a[i]);
        const char y = lower(b[i]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool containsText(std::string_view haystack, std::string_view needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                       [](char x, char y) { return lower(x) == lower(y); }) != haystack.end();
}

double nodeId(const Node* node) {
    return node ? node->id() : 0.0;
}

Slot field(const Link& link, LinkAttribute attribute) {
    switch (attribute) {
    case LinkAttribute::Lanes:
        return numberSlot(static_cast<double>(link.numLanes()));
    case LinkAttribute::Capacity:
        return numberSlot(static_cast<double>(link.capacity()));
    case LinkAttribute::Speed:
        return numberSlot(static_cast<double>(link.ffSpeed()));
    case LinkAttribute::Jam:
        return numberSlot(static_cast<double>(link.jamDensity()));
    case LinkAttribute::Length:
        return numberSlot(static_cast<double>(link.effectiveLength()));
    case LinkAttribute::Drawn:
        return numberSlot(link.automaticLength());
    case LinkAttribute::Id:
        return numberSlot(static_cast<double>(link.id()));
    case LinkAttribute::From:
        return numberSlot(nodeId(link.fromNode()));
    case LinkAttribute::To:
        return numberSlot(nodeId(link.toNode()));
    case LinkAttribute::Auto:
        return numberSlot(link.hasAutomaticLength() ? 1.0 : 0.0);
    case LinkAttribute::Type:
        return textSlot(link.typeCode());
    case LinkAttribute::Direction:
        return textSlot(link.direction() == LinkDirection::Outbound ? "O" : "I");
    case LinkAttribute::Description:
        return textSlot(link.description());
    }
    return numberSlot(0.0);
}

Slot field(const Node& node, NodeAttribute attribute) {
    const auto count = [&node](auto&& counts) {
        return numberSlot(
            static_cast<double>(std::count_if(node.links().begin(), node.links().end(), counts)));
    };
    switch (attribute) {
    case NodeAttribute::Id:
        return numberSlot(static_cast<double>(node.id()));
    case NodeAttribute::X:
        return numberSlot(static_cast<double>(node.x()));
    case NodeAttribute::Y:
        return numberSlot(static_cast<double>(node.y()));
    case NodeAttribute::Links:
        return numberSlot(static_cast<double>(node.links().size()));
    case NodeAttribute::In:
        return count([&node](const Link* link) { return link->toNode() == &node; });
    case NodeAttribute::Out:
        return count([&node](const Link* link) { return link->fromNode() == &node; });
    }
    return numberSlot(0.0);
}

Slot fieldOf(const Link& link, std::int32_t arg) {
    return field(link, static_cast<LinkAttribute>(arg));
}

Slot fieldOf(const Node& node, std::int32_t arg) {
    return field(node, static_cast<NodeAttribute>(arg));
}

bool ordered(double a, double b) {
    return !std::isnan(a) && !std::isnan(b);
}

// Runs the program over one link or node. Text made by joining lives in joined, which stays
// empty (and allocates nothing) unless the program joins text.
template <typename Object>
Slot run(const ExpressionProgram& program, const Object& object,
         std::forward_list<std::string>& joined) {
    // stack[0] stays unused, so that the top of an empty stack is still inside the array.
    Slot stack[kMaxStackDepth + 1];
    int top = 0;
    for (const Instruction& step : program.code) {
        Slot* s = stack + top;
        switch (step.op) {
        case Op::PushNumber:
            stack[++top].number = program.numbers[static_cast<std::size_t>(step.arg)];
            break;
        case Op::PushText:
            stack[++top].setText(program.texts[static_cast<std::size_t>(step.arg)]);
            break;
        case Op::Field:
            stack[++top] = fieldOf(object, step.arg);
            break;
        case Op::Add:
            s[-1].number += s[0].number, --top;
            break;
        case Op::Subtract:
            s[-1].number -= s[0].number, --top;
            break;
        case Op::Multiply:
            s[-1].number *= s[0].number, --top;
            break;
        case Op::Divide:
            s[-1].number = s[0].number == 0.0 ? kUndefined : s[-1].number / s[0].number, --top;
            break;
        case Op::Negate:
            s[0].number = -s[0].number;
            break;
        case Op::Min:
        case Op::Max: {
            const double a = s[-1].number;
            const double b = s[0].number;
            s[-1].number = !ordered(a, b) ? kUndefined : (step.op == Op::Min) == (a < b) ? a : b;
            --top;
            break;
        }
        case Op::Round:
            s[0].number = std::round(s[0].number);
            break;
        case Op::Abs:
            s[0].number = std::fabs(s[0].number);
            break;
        case Op::Concat:
            joined.emplace_front(s[-1].text());
            joined.front().append(s[0].text());
            s[-1].setText(joined.front()), --top;
            break;
        case Op::Less:
            s[-1].number = s[-1].number < s[0].number, --top;
            break;
        case Op::LessEqual:
            s[-1].number = s[-1].number <= s[0].number, --top;
            break;
        case Op::Greater:
            s[-1].number = s[-1].number > s[0].number, --top;
            break;
        case Op::GreaterEqual:
            s[-1].number = s[-1].number >= s[0].number, --top;
            break;
        case Op::Equal:
            s[-1].number = s[-1].number == s[0].number, --top;
            break;
        case Op::NotEqual:
            // An undefined value compares false both ways, as it does with every comparison.
            s[-1].number = s[-1].number < s[0].number || s[-1].number > s[0].number, --top;
            break;
        case Op::TextLess:
            s[-1].number = compareText(s[-1].text(), s[0].text()) < 0, --top;
            break;
        case Op::TextLessEqual:
            s[-1].number = compareText(s[-1].text(), s[0].text()) <= 0, --top;
            break;
        case Op::TextGreater:
            s[-1].number = compareText(s[-1].text(), s[0].text()) > 0, --top;
            break;
        case Op::TextGreaterEqual:
            s[-1].number = compareText(s[-1].text(), s[0].text()) >= 0, --top;
            break;
        case Op::TextEqual:
            s[-1].number = compareText(s[-1].text(), s[0].text()) == 0, --top;
            break;
        case Op::TextNotEqual:
            s[-1].number = compareText(s[-1].text(), s[0].text()) != 0, --top;
            break;
        case Op::Contains:
            s[-1].number = containsText(s[-1].text(), s[0].text()), --top;
            break;
        case Op::StartsWith:
            s[-1].number = s[0].size <= s[-1].size &&
                           compareText(s[-1].text().substr(0, s[0].size), s[0].text()) == 0,
            --top;
            break;
        case Op::And:
            s[-1].number = s[-1].number != 0.0 && s[0].number != 0.0, --top;
            break;
        case Op::Or:
            s[-1].number = s[-1].number != 0.0 || s[0].number != 0.0, --top;
            break;
        case Op::Not:
            s[0].number = s[0].number == 0.0;
            break;
        }
    }
    return stack[1];
}

} // namespace

std::string ExpressionError::text() const {
    return message + " at " + std::to_string(column);
}

std::optional<LinkAttribute> attributeNamed(std::string_view name) {
    for (const NamedAttribute& named : kNames)
        if (sameLetters(name, named.name))
            return named.attribute;
    return std::nullopt;
}

std::optional<NodeAttribute> nodeAttributeNamed(std::string_view name) {
    static constexpr std::pair<const char*, NodeAttribute> kNodeNames[] = {
        {"id", NodeAttribute::Id},  {"Node", NodeAttribute::Id},     {"x", NodeAttribute::X},
        {"y", NodeAttribute::Y},    {"links", NodeAttribute::Links}, {"in", NodeAttribute::In},
        {"out", NodeAttribute::Out}};
    for (const auto& [named, attribute] : kNodeNames)
        if (sameLetters(name, named))
            return attribute;
    return std::nullopt;
}

ValueKind attributeKind(LinkAttribute attribute) {
    switch (attribute) {
    case LinkAttribute::Auto:
        return ValueKind::Boolean;
    case LinkAttribute::Type:
    case LinkAttribute::Direction:
    case LinkAttribute::Description:
        return ValueKind::Text;
    default:
        return ValueKind::Number;
    }
}

LinkExpression ExpressionCompiler::make(ExpressionProgram program) {
    LinkExpression expression;
    expression.program_ = std::make_shared<const ExpressionProgram>(std::move(program));
    return expression;
}

NodeExpression ExpressionCompiler::makeNode(ExpressionProgram program) {
    NodeExpression expression;
    expression.program_ = std::make_shared<const ExpressionProgram>(std::move(program));
    return expression;
}

const ExpressionProgram& ExpressionCompiler::program(const LinkExpression& expression) {
    return *expression.program_;
}

ValueKind LinkExpression::kind() const {
    return program_ ? program_->kind : ValueKind::Boolean;
}

namespace {

template <typename Object> bool holds(const ExpressionProgram* program, const Object& object) {
    if (!program || program->kind != ValueKind::Boolean)
        return false;
    std::forward_list<std::string> joined;
    return run(*program, object, joined).number != 0.0;
}

template <typename Object>
ExpressionValue valueOf(const ExpressionProgram* program, const Object& object) {
    ExpressionValue value;
    if (!program)
        return value;
    std::forward_list<std::string> joined;
    const Slot result = run(*program, object, joined);
    value.kind = program->kind;
    value.number = result.number;
    value.boolean = result.number != 0.0;
    if (value.kind == ValueKind::Text)
        value.text = std::string(result.text());
    return value;
}

// A parsed expression that must be a condition, or nothing with why it is not.
std::optional<ExpressionProgram> compilePredicate(std::string_view text, ExpressionError* error,
                                                  ExpressionSubject subject) {
    std::optional<ExpressionProgram> program = compileExpression(text, error, nullptr, subject);
    if (program && program->kind != ValueKind::Boolean) {
        if (error)
            *error = {1, std::string("expected a condition (true or false), not ") +
                             (program->kind == ValueKind::Text ? "text" : "a number")};
        return std::nullopt;
    }
    return program;
}

} // namespace

bool LinkExpression::matches(const Link& link) const {
    return holds(program_.get(), link);
}

ExpressionValue LinkExpression::evaluate(const Link& link) const {
    return valueOf(program_.get(), link);
}

ValueKind NodeExpression::kind() const {
    return program_ ? program_->kind : ValueKind::Boolean;
}

bool NodeExpression::matches(const Node& node) const {
    return holds(program_.get(), node);
}

ExpressionValue NodeExpression::evaluate(const Node& node) const {
    return valueOf(program_.get(), node);
}

std::optional<NodeExpression> parseNodePredicate(std::string_view text, ExpressionError* error) {
    std::optional<ExpressionProgram> program =
        compilePredicate(text, error, ExpressionSubject::Node);
    if (!program)
        return std::nullopt;
    return ExpressionCompiler::makeNode(std::move(*program));
}

std::vector<Node*> selectNodes(const Network& network, const NodeExpression& predicate) {
    std::vector<Node*> chosen;
    for (Node* node : network.nodes())
        if (predicate.matches(*node))
            chosen.push_back(node);
    return chosen;
}

std::optional<LinkExpression> parseLinkExpression(std::string_view text, ExpressionError* error) {
    std::optional<ExpressionProgram> program = compileExpression(text, error, nullptr);
    if (!program)
        return std::nullopt;
    return ExpressionCompiler::make(std::move(*program));
}

std::optional<LinkExpression> parseLinkPredicate(std::string_view text, ExpressionError* error) {
    std::optional<ExpressionProgram> program =
        compilePredicate(text, error, ExpressionSubject::Link);
    if (!program)
        return std::nullopt;
    return ExpressionCompiler::make(std::move(*program));
}

std::vector<Link*> selectLinks(const Network& network, const LinkExpression& predicate) {
    std::vector<Link*> chosen;
    for (Link* link : network.links())
        if (predicate.matches(*link))
            chosen.push_back(link);
    return chosen;
}

} // namespace vantry
