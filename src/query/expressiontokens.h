#pragma once

#include "query/linkexpression.h"

#include <string>
#include <string_view>
#include <vector>

namespace vantry {

enum class TokenKind { Number, Text, Name, QuotedName, Symbol, End };

struct Token {
    TokenKind kind = TokenKind::End;
    // The symbol or name as written, the text without its quotes, the number as written.
    std::string text;
    double number = 0.0;
    // 1-based, in characters.
    int column = 0;
};

// The tokens of an expression, the last one End (at the column after the text), or nothing
// with the error: a text or quoted name left open, a character no expression uses.
std::optional<std::vector<Token>> tokenize(std::string_view text, ExpressionError* error);

// True when the token is the symbol or the keyword (keywords case-blind).
bool isSymbol(const Token& token, std::string_view symbol);
bool isKeyword(const Token& token, std::string_view keyword);

// ASCII case folding, enough for keywords, field names and the link's codes.
bool sameLetters(std::string_view a, std::string_view b);

} // namespace vantry
