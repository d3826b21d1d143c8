#include "query/expressionprogram.h"
#include "query/expressiontokens.h"

#include <algorithm>

namespace vantry {

namespace {

// Nesting beyond this is refused, so that neither the parser's recursion nor the program's
// stack can be exhausted by a long run of parentheses or signs.
constexpr int kMaxNesting = 100;

struct Failed {};

const char* kindName(ValueKind kind) {
    switch (kind) {
    case ValueKind::Number:
        return "a number";
    case ValueKind::Text:
        return "text";
    case ValueKind::Boolean:
        return "true/false";
    }
    return "";
}

// Recursive descent over the tokens, emitting the postfix program as it goes; every operator
// checks the types of its operands, which are all known here, so evaluation never meets a type
// it cannot handle.
class Parser {
public:
    Parser(std::vector<Token> tokens, ExpressionError* error, ExpressionSubject subject)
        : tokens_(std::move(tokens)), error_(error), subject_(subject) {}

    ExpressionProgram& program() { return program_; }

    void parseAssignedField(AssignmentTarget* target) {
        const Token& name = tokens_[at_];
        if (name.kind != TokenKind::Name && name.kind != TokenKind::QuotedName)
            fail(name.column, "expected a field name");
        const std::optional<LinkAttribute> attribute = attributeNamed(name.text);
        if (!attribute)
            fail(name.column, "unknown field '" + name.text + "'");
        ++at_;
        if (!isSymbol(tokens_[at_], "=") && !isSymbol(tokens_[at_], "=="))
            fail(tokens_[at_].column, "expected '=' after '" + name.text + "'");
        ++at_;
        *target = {*attribute, name.column, next().column};
    }

    void parseWhole() {
        program_.kind = orExpression();
        const Token& rest = tokens_[at_];
        if (rest.kind != TokenKind::End)
            fail(rest.column,
                 isSymbol(rest, ")") ? "')' without '('" : "unexpected '" + rest.text + "'");
    }

    [[noreturn]] void fail(int column, std::string message) {
        if (error_)
            *error_ = {column, std::move(message)};
        throw Failed{};
    }

private:
    const Token& next() { return tokens_[at_]; }
    const Token& previous() { return tokens_[at_ - 1]; }

    void emit(Op op, std::int32_t arg = 0, int pushes = 1, int pops = 0) {
        program_.code.push_back({op, arg});
        depth_ += pushes - pops;
        if (depth_ > kMaxStackDepth)
            fail(previous().column, "expression too deeply nested");
    }

    void binary(Op op) { emit(op, 0, 1, 2); }

    void need(bool ok, const Token& at, const std::string& message) {
        if (!ok)
            fail(at.column, message);
    }

    ValueKind orExpression() {
        ValueKind left = andExpression();
        while (isKeyword(next(), "or")) {
            const Token op = tokens_[at_++];
            const ValueKind right = andExpression();
            need(left == ValueKind::Boolean && right == ValueKind::Boolean, op,
                 "'or' needs true/false values on both sides");
            binary(Op::Or);
            left = ValueKind::Boolean;
        }
        return left;
    }

    ValueKind andExpression() {
        ValueKind left = notExpression();
        while (isKeyword(next(), "and")) {
            const Token op = tokens_[at_++];
            const ValueKind right = notExpression();
            need(left == ValueKind::Boolean && right == ValueKind::Boolean, op,
                 "'and' needs true/false values on both sides");
            binary(Op::And);
            left = ValueKind::Boolean;
        }
        return left;
    }

    ValueKind notExpression() {
        if (!isKeyword(next(), "not"))
            return comparison();
        const Token op = tokens_[at_++];
        const Nesting nesting(*this, op);
        need(notExpression() == ValueKind::Boolean, op, "'not' needs a true/false value");
        emit(Op::Not, 0, 1, 1);
        return ValueKind::Boolean;
    }

    ValueKind comparison() {
        const ValueKind left = additive();
        struct Comparison {
            const char* symbol;
            Op number;
            Op text;
        };
        static constexpr Comparison kComparisons[] = {
            {"=", Op::Equal, Op::TextEqual},        {"==", Op::Equal, Op::TextEqual},
            {"!=", Op::NotEqual, Op::TextNotEqual}, {"<>", Op::NotEqual, Op::TextNotEqual},
            {"<", Op::Less, Op::TextLess},          {"<=", Op::LessEqual, Op::TextLessEqual},
            {">", Op::Greater, Op::TextGreater},    {">=", Op::GreaterEqual, Op::TextGreaterEqual}};
        for (const Comparison& c : kComparisons) {
            if (!isSymbol(next(), c.symbol))
                continue;
            const Token op = tokens_[at_++];
            const ValueKind right = additive();
            const bool equality =
                op.text == "=" || op.text == "==" || op.text == "!=" || op.text == "<>";
            need(left == right && (left != ValueKind::Boolean || equality), op,
                 "'" + op.text + "' needs " +
                     (equality ? "two values of one kind" : "two numbers or two texts") + ", not " +
                     kindName(left) + " and " + kindName(right));
            binary(left == ValueKind::Text ? c.text : c.number);
            return ValueKind::Boolean;
        }
        for (auto [word, code] :
             {std::pair{"contains", Op::Contains}, std::pair{"startswith", Op::StartsWith}}) {
            if (!isKeyword(next(), word))
                continue;
            const Token op = tokens_[at_++];
            const ValueKind right = additive();
            need(left == ValueKind::Text && right == ValueKind::Text, op,
                 "'" + std::string(word) + "' needs text on both sides");
            binary(code);
            return ValueKind::Boolean;
        }
        return left;
    }

    ValueKind additive() {
        ValueKind left = term();
        while (isSymbol(next(), "+") || isSymbol(next(), "-")) {
            const Token op = tokens_[at_++];
            const ValueKind right = term();
            if (op.text == "+" && left == ValueKind::Text && right == ValueKind::Text) {
                binary(Op::Concat);
                continue;
            }
            need(left == ValueKind::Number && right == ValueKind::Number, op,
                 op.text == "+" ? "'+' needs two numbers or two texts" : "'-' needs numbers");
            binary(op.text == "+" ? Op::Add : Op::Subtract);
        }
        return left;
    }

    ValueKind term() {
        ValueKind left = unary();
        while (isSymbol(next(), "*") || isSymbol(next(), "/")) {
            const Token op = tokens_[at_++];
            const ValueKind right = unary();
            need(left == ValueKind::Number && right == ValueKind::Number, op,
                 "'" + op.text + "' needs numbers");
            binary(op.text == "*" ? Op::Multiply : Op::Divide);
        }
        return left;
    }

    ValueKind unary() {
        if (!isSymbol(next(), "-") && !isSymbol(next(), "+"))
            return primary();
        const Token op = tokens_[at_++];
        const Nesting nesting(*this, op);
        need(unary() == ValueKind::Number, op, "'" + op.text + "' needs a number");
        if (op.text == "-")
            emit(Op::Negate, 0, 1, 1);
        return ValueKind::Number;
    }

    ValueKind primary() {
        const Token& token = next();
        switch (token.kind) {
        case TokenKind::Number:
            ++at_;
            program_.numbers.push_back(token.number);
            emit(Op::PushNumber, static_cast<std::int32_t>(program_.numbers.size() - 1));
            return ValueKind::Number;
        case TokenKind::Text:
            ++at_;
            program_.texts.push_back(token.text);
            emit(Op::PushText, static_cast<std::int32_t>(program_.texts.size() - 1));
            return ValueKind::Text;
        case TokenKind::QuotedName:
            return field();
        case TokenKind::Name:
            if (isKeyword(token, "true") || isKeyword(token, "false")) {
                ++at_;
                program_.numbers.push_back(isKeyword(token, "true") ? 1.0 : 0.0);
                emit(Op::PushNumber, static_cast<std::int32_t>(program_.numbers.size() - 1));
                return ValueKind::Boolean;
            }
            if (isSymbol(tokens_[at_ + 1], "("))
                return function();
            if (!isKeyword(token, "and") && !isKeyword(token, "or") && !isKeyword(token, "not") &&
                !isKeyword(token, "contains") && !isKeyword(token, "startswith"))
                return field();
            break;
        case TokenKind::Symbol:
            if (token.text == "(") {
                const Token open = tokens_[at_++];
                const Nesting nesting(*this, open);
                const ValueKind kind = orExpression();
                need(isSymbol(next(), ")"), next(),
                     "expected ')' to close '(' at " + std::to_string(open.column));
                ++at_;
                return kind;
            }
            break;
        case TokenKind::End:
            break;
        }
        if (at_ == 0)
            fail(token.column, "expected a value");
        fail(token.column, "expected a value after '" + previous().text + "'");
    }

    ValueKind field() {
        const Token& token = tokens_[at_++];
        if (subject_ == ExpressionSubject::Node) {
            const std::optional<NodeAttribute> attribute = nodeAttributeNamed(token.text);
            if (!attribute)
                fail(token.column,
                     (attributeNamed(token.text) ? "'" + token.text + "' is a field of links"
                                                 : "unknown field '" + token.text + "'") +
                         "; nodes have id, x, y, links, in and out");
            emit(Op::Field, static_cast<std::int32_t>(*attribute));
            return ValueKind::Number;
        }
        const std::optional<LinkAttribute> attribute = attributeNamed(token.text);
        if (!attribute)
            fail(token.column, "unknown field '" + token.text + "'");
        emit(Op::Field, static_cast<std::int32_t>(*attribute));
        return attributeKind(*attribute);
    }

    ValueKind function() {
        const Token name = tokens_[at_];
        struct Function {
            const char* name;
            Op op;
            int minArgs;
            int maxArgs;
        };
        static constexpr Function kFunctions[] = {{"min", Op::Min, 2, kMaxStackDepth},
                                                  {"max", Op::Max, 2, kMaxStackDepth},
                                                  {"round", Op::Round, 1, 1},
                                                  {"abs", Op::Abs, 1, 1}};
        const Function* f = nullptr;
        for (const Function& candidate : kFunctions)
            if (isKeyword(name, candidate.name))
                f = &candidate;
        if (!f)
            fail(name.column, "unknown function '" + name.text + "'");
        at_ += 2;
        const Nesting nesting(*this, name);
        int count = 0;
        for (;;) {
            const Token& start = next();
            need(argument() == ValueKind::Number, start,
                 "'" + std::string(f->name) + "' needs numbers");
            // min and max fold their arguments pairwise, keeping the stack shallow.
            if (++count > 1 && f->maxArgs > 1)
                binary(f->op);
            if (!isSymbol(next(), ","))
                break;
            ++at_;
        }
        need(isSymbol(next(), ")"), next(),
             "expected ')' after the arguments of '" + name.text + "'");
        need(count >= f->minArgs && count <= f->maxArgs, name,
             "'" + std::string(f->name) + "' takes " +
                 (f->maxArgs == 1 ? std::string("one value") : std::string("two or more values")));
        ++at_;
        if (f->maxArgs == 1)
            emit(f->op, 0, 1, 1);
        return ValueKind::Number;
    }

    ValueKind argument() { return orExpression(); }

    // Counts the depth of the constructs that recurse without consuming an operand first.
    class Nesting {
    public:
        Nesting(Parser& parser, const Token& at) : parser_(parser) {
            if (++parser_.nesting_ > kMaxNesting)
                parser_.fail(at.column, "expression too deeply nested");
        }
        ~Nesting() { --parser_.nesting_; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;

    private:
        Parser& parser_;
    };

    std::vector<Token> tokens_;
    ExpressionError* error_;
    ExpressionSubject subject_;
    ExpressionProgram program_;
    std::size_t at_ = 0;
    int depth_ = 0;
    int nesting_ = 0;
};

} // namespace

std::optional<ExpressionProgram> compileExpression(std::string_view text, ExpressionError* error,
                                                   AssignmentTarget* target,
                                                   ExpressionSubject subject) {
    std::optional<std::vector<Token>> tokens = tokenize(text, error);
    if (!tokens)
        return std::nullopt;
    Parser parser(std::move(*tokens), error, subject);
    try {
        if (target)
            parser.parseAssignedField(target);
        parser.parseWhole();
    } catch (const Failed&) {
        return std::nullopt;
    }
    return std::move(parser.program());
}

} // namespace vantry
