#include "fields/numbertext.h"

#include <charconv>
#include <string>
#include <string_view>
#include <system_error>

namespace vantry {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::size_t skipBlanks(std::string_view s, std::size_t pos) {
    while (pos < s.size() && isBlank(s[pos]))
        ++pos;
    return pos;
}

// Scans the number at `pos` in the notation strtod reads (decimal, hexadecimal after "0x",
// infinity, nan) and leaves `pos` just after it.
std::optional<double> scanNumber(std::string_view s, std::size_t& pos) {
    std::size_t at = pos;
    bool negative = false;
    if (at < s.size() && (s[at] == '+' || s[at] == '-')) {
        negative = s[at] == '-';
        ++at;
    }
    // from_chars takes a minus of its own; a second sign is not a number for strtod.
    if (at < s.size() && (s[at] == '+' || s[at] == '-'))
        return std::nullopt;

    const char* first = s.data() + at;
    const char* last = s.data() + s.size();
    double value = 0.0;
    std::from_chars_result r{first, std::errc::invalid_argument};
    if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X'))
        r = std::from_chars(first + 2, last, value, std::chars_format::hex);
    // "0x" without hexadecimal digits is the number 0 followed by other text.
    if (r.ec == std::errc::invalid_argument)
        r = std::from_chars(first, last, value, std::chars_format::general);
    if (r.ec != std::errc{})
        return std::nullopt;
    pos = static_cast<std::size_t>(r.ptr - s.data());
    return negative ? -value : value;
}

} // namespace

std::optional<std::int32_t> parseIntegerText(const QString& text) {
    const std::string s = text.toStdString();
    std::size_t pos = skipBlanks(s, 0);
    bool negative = false;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
        negative = s[pos] == '-';
        ++pos;
    }
    const std::size_t digits = pos;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9')
        ++pos;
    if (pos == digits || skipBlanks(s, pos) != s.size())
        return std::nullopt;

    // Reading the magnitude wider than 32 bits lets -2147483648 through and nothing beyond.
    std::int64_t magnitude = 0;
    const auto r = std::from_chars(s.data() + digits, s.data() + pos, magnitude);
    if (r.ec != std::errc{})
        return std::nullopt;
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::optional<double> parseLeadingNumber(const QString& text) {
    const std::string s = text.toStdString();
    std::size_t pos = skipBlanks(s, 0);
    return scanNumber(s, pos);
}

std::optional<double> parseNumberText(const QString& text) {
    const std::string s = text.toStdString();
    std::size_t pos = skipBlanks(s, 0);
    const std::optional<double> value = scanNumber(s, pos);
    if (!value || skipBlanks(s, pos) != s.size())
        return std::nullopt;
    return value;
}

QString formatFixed(double value, int decimals) {
    // Wide enough for the largest double in fixed notation.
    char buffer[400];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(r.ptr - buffer));
}

QString formatSignificant(double value, int digits) {
    char buffer[64];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(r.ptr - buffer));
}

QString integerFieldMessage(const QString& fieldName) {
    return QStringLiteral("Please enter an integer for %1.").arg(fieldName);
}

} // namespace vantry
