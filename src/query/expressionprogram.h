#pragma once

#include "query/linkexpression.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vantry {

// The attributes an expression reads, each with a fixed type.
enum class LinkAttribute : std::uint8_t {
    Lanes,
    Capacity,
    Speed,
    Jam,
    Length,
    Drawn,
    Id,
    From,
    To,
    Auto,
    Type,
    Direction,
    Description
};

// The attributes a node expression reads, all numbers.
enum class NodeAttribute : std::uint8_t { Id, X, Y, Links, In, Out };

// What an expression is about; it decides which fields it may name.
enum class ExpressionSubject { Link, Node };

// One step of a postfix program over a stack of values. Booleans are held as numbers 0 and 1;
// which slot field a step reads is known from the types checked when the program was made.
enum class Op : std::uint8_t {
    PushNumber, // constant numbers[arg]
    PushText,   // constant texts[arg]
    Field,      // the link's or node's attribute arg
    Add,
    Subtract,
    Multiply,
    Divide,
    Negate,
    Min,
    Max,
    Round,
    Abs,
    Concat,
    Less, // numbers
    LessEqual,
    Greater,
    GreaterEqual,
    Equal,
    NotEqual,
    TextLess, // texts, compared without regard to case
    TextLessEqual,
    TextGreater,
    TextGreaterEqual,
    TextEqual,
    TextNotEqual,
    Contains,
    StartsWith,
    And,
    Or,
    Not
};

struct Instruction {
    Op op;
    std::int32_t arg = 0;
};

// The deepest stack a program may need: deeper expressions are refused when parsed, so that
// evaluation needs no allocation.
inline constexpr int kMaxStackDepth = 128;

struct ExpressionProgram {
    std::vector<Instruction> code;
    std::vector<double> numbers;
    std::vector<std::string> texts;
    ValueKind kind = ValueKind::Number;
};

// Makes programs and hands them to LinkExpression and NodeExpression, whose programs are
// otherwise out of reach.
struct ExpressionCompiler {
    static LinkExpression make(ExpressionProgram program);
    static NodeExpression makeNode(ExpressionProgram program);
    static const ExpressionProgram& program(const LinkExpression& expression);
};

// The attribute an expression names, case-blind: short names ("lanes"), the link table's
// column titles ("Free-flow Speed", written in double quotes when they hold a blank).
std::optional<LinkAttribute> attributeNamed(std::string_view name);
ValueKind attributeKind(LinkAttribute attribute);
std::optional<NodeAttribute> nodeAttributeNamed(std::string_view name);

// The field an assignment's text begins with, and where its value begins.
struct AssignmentTarget {
    LinkAttribute field = LinkAttribute::Lanes;
    int fieldColumn = 0;
    int valueColumn = 0;
};

// Parses text from its start; when target is given, the text must begin "FIELD =" and what it
// names is stored there. On failure the error is filled and nothing is returned.
std::optional<ExpressionProgram>
compileExpression(std::string_view text, ExpressionError* error, AssignmentTarget* target,
                  ExpressionSubject subject = ExpressionSubject::Link);

} // namespace vantry
