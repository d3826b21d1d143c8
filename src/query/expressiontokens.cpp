#include "query/expressiontokens.h"

#include <charconv>
#include <cmath>

namespace vantry {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool startsName(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool continuesName(char c) {
    return startsName(c) || isDigit(c);
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool fail(ExpressionError* error, int column, std::string message) {
    if (error)
        *error = {column, std::move(message)};
    return false;
}

// Columns count characters, so the continuation bytes of UTF-8 are not counted.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}
    bool atEnd() const { return at_ >= text_.size(); }
    char peek(std::size_t ahead = 0) const {
        return at_ + ahead < text_.size() ? text_[at_ + ahead] : '\0';
    }
    void advance() {
        if ((static_cast<unsigned char>(text_[at_]) & 0xC0) != 0x80)
            ++column_;
        ++at_;
        while (at_ < text_.size() && (static_cast<unsigned char>(text_[at_]) & 0xC0) == 0x80)
            ++at_;
    }
    std::size_t offset() const { return at_; }
    int column() const { return column_; }

private:
    std::string_view text_;
    std::size_t at_ = 0;
    int column_ = 1;
};

// A text in single quotes or a name in double quotes; the quote is doubled to stand for itself.
bool readQuoted(Cursor& cursor, std::string_view text, char quote, Token& token,
                ExpressionError* error) {
    const int start = cursor.column();
    cursor.advance();
    for (;;) {
        if (cursor.atEnd())
            return fail(error, start,
                        quote == '\'' ? "text not closed by '" : "field name not closed by \"");
        const char c = cursor.peek();
        const std::size_t from = cursor.offset();
        cursor.advance();
        if (c == quote) {
            if (cursor.peek() != quote)
                return true;
            cursor.advance();
            token.text += quote;
            continue;
        }
        token.text.append(text.substr(from, cursor.offset() - from));
    }
}

} // namespace

std::optional<std::vector<Token>> tokenize(std::string_view text, ExpressionError* error) {
    std::vector<Token> tokens;
    Cursor cursor(text);
    while (true) {
        while (!cursor.atEnd() && (cursor.peek() == ' ' || cursor.peek() == '\t' ||
                                   cursor.peek() == '\r' || cursor.peek() == '\n'))
            cursor.advance();
        Token token;
        token.column = cursor.column();
        if (cursor.atEnd()) {
            tokens.push_back(std::move(token));
            return tokens;
        }
        const char c = cursor.peek();
        const std::size_t from = cursor.offset();
        if (isDigit(c) || (c == '.' && isDigit(cursor.peek(1)))) {
            while (isDigit(cursor.peek()) || cursor.peek() == '.')
                cursor.advance();
            const char e = cursor.peek();
            const std::size_t sign = cursor.peek(1) == '+' || cursor.peek(1) == '-' ? 1 : 0;
            if ((e == 'e' || e == 'E') && isDigit(cursor.peek(1 + sign))) {
                for (std::size_t i = 0; i < 1 + sign; ++i)
                    cursor.advance();
                while (isDigit(cursor.peek()))
                    cursor.advance();
            }
            token.kind = TokenKind::Number;
            token.text = std::string(text.substr(from, cursor.offset() - from));
            const char* end = token.text.data() + token.text.size();
            const auto [stop, problem] = std::from_chars(token.text.data(), end, token.number);
            if (problem != std::errc() || stop != end || !std::isfinite(token.number)) {
                fail(error, token.column, "'" + token.text + "' is not a number");
                return std::nullopt;
            }
        } else if (startsName(c)) {
            while (continuesName(cursor.peek()))
                cursor.advance();
            token.kind = TokenKind::Name;
            token.text = std::string(text.substr(from, cursor.offset() - from));
        } else if (c == '\'' || c == '"') {
            token.kind = c == '\'' ? TokenKind::Text : TokenKind::QuotedName;
            if (!readQuoted(cursor, text, c, token, error))
                return std::nullopt;
        } else {
            static constexpr std::string_view kTwo[] = {"<=", ">=", "!=", "<>", "=="};
            token.kind = TokenKind::Symbol;
            for (std::string_view two : kTwo)
                if (c == two[0] && cursor.peek(1) == two[1])
                    token.text = two;
            if (token.text.empty() && std::string_view("=<>+-*/(),").find(c) == std::string::npos) {
                cursor.advance();
                fail(error, token.column,
                     "unexpected character '" +
                         std::string(text.substr(from, cursor.offset() - from)) + "'");
                return std::nullopt;
            }
            if (token.text.empty())
                token.text = std::string(1, c);
            for (std::size_t i = 0; i < token.text.size(); ++i)
                cursor.advance();
        }
        tokens.push_back(std::move(token));
    }
}

bool isSymbol(const Token& token, std::string_view symbol) {
    return token.kind == TokenKind::Symbol && token.text == symbol;
}

bool isKeyword(const Token& token, std::string_view keyword) {
    return token.kind == TokenKind::Name && sameLetters(token.text, keyword);
}

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

} // namespace vantry
