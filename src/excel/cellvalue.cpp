#include "excel/cellvalue.h"

#include "excel/workbookerror.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace vantry {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

template <class T> bool parseWhole(std::string_view text, T& out) {
    text = trimmed(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars would also take "inf", "nan" and hexadecimal digits; a cell text never means
    // those.
    if (text.empty() ||
        !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.'))
        return false;
    T value{};
    const auto r =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (r.ec != std::errc{} || r.ptr != text.data() + text.size())
        return false;
    out = negative ? -value : value;
    return true;
}

std::string quotedForMessage(const std::string& text) {
    constexpr std::size_t kShown = 40;
    if (text.size() <= kShown)
        return "\"" + text + "\"";
    std::size_t cut = kShown;
    // Never cut a UTF-8 sequence in two.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return "\"" + text.substr(0, cut) + "...\"";
}

[[noreturn]] void mismatch(const std::string& what) {
    throw WorkbookError(WorkbookError::Code::TypeMismatch, what);
}

double roundHalfEven(double v) {
    const double lower = std::floor(v);
    const double diff = v - lower;
    if (diff > 0.5)
        return lower + 1.0;
    if (diff < 0.5)
        return lower;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

} // namespace

CellValue CellValue::number(double v) {
    CellValue c;
    c.kind_ = Kind::Number;
    c.number_ = v;
    return c;
}

CellValue CellValue::single(float v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    double d = static_cast<double>(v);
    if (r.ec == std::errc{} && std::isfinite(v))
        std::from_chars(buf, r.ptr, d);
    return number(d);
}

CellValue CellValue::text(std::string utf8) {
    CellValue c;
    if (!utf8.empty()) {
        c.kind_ = Kind::Text;
        c.text_ = std::move(utf8);
    }
    return c;
}

CellValue CellValue::boolean(bool v) {
    CellValue c;
    c.kind_ = Kind::Boolean;
    c.number_ = v ? 1.0 : 0.0;
    return c;
}

CellValue CellValue::error(std::uint8_t code) {
    CellValue c;
    c.kind_ = Kind::Error;
    c.error_ = code;
    return c;
}

double CellValue::toDouble() const {
    switch (kind_) {
    case Kind::Empty:
        return 0.0;
    case Kind::Number:
    case Kind::Boolean:
        return number_;
    case Kind::Text: {
        double v = 0.0;
        if (!parseNumber(text_, v))
            mismatch("The text " + quotedForMessage(text_) + " is not a number.");
        return v;
    }
    case Kind::Error:
        break;
    }
    mismatch("The cell holds the error value " + errorValueText(error_) + ".");
}

std::int32_t CellValue::toInt32() const {
    const double v = roundHalfEven(toDouble());
    if (!(v >= std::numeric_limits<std::int32_t>::min() &&
          v <= std::numeric_limits<std::int32_t>::max()))
        throw WorkbookError(WorkbookError::Code::Overflow,
                            "The number " + describe() + " is too large for a whole number.");
    return static_cast<std::int32_t>(v);
}

float CellValue::toSingle() const {
    if (kind_ == Kind::Text) {
        float f = 0.0f;
        if (parseNumber(text_, f))
            return f;
    }
    const double v = toDouble();
    // Numbers up to half a unit beyond the largest single round to it; larger ones do not fit.
    constexpr double kLargestSingle = std::numeric_limits<float>::max();
    constexpr double kBeyond = 0x1p128 - 0x1p103;
    if (!std::isfinite(v) || std::fabs(v) >= kBeyond)
        throw WorkbookError(WorkbookError::Code::Overflow,
                            "The number " + describe() + " is too large.");
    if (std::fabs(v) > kLargestSingle)
        return static_cast<float>(std::copysign(kLargestSingle, v));
    return static_cast<float>(v);
}

std::string CellValue::toText() const {
    switch (kind_) {
    case Kind::Empty:
        return {};
    case Kind::Number:
        return formatGeneralNumber(number_);
    case Kind::Text:
        return text_;
    case Kind::Boolean:
        return number_ != 0.0 ? "TRUE" : "FALSE";
    case Kind::Error:
        break;
    }
    mismatch("The cell holds the error value " + errorValueText(error_) + ".");
}

std::string CellValue::describe() const {
    switch (kind_) {
    case Kind::Empty:
        return "an empty cell";
    case Kind::Number:
        return formatGeneralNumber(number_);
    case Kind::Text:
        return quotedForMessage(text_);
    case Kind::Boolean:
        return number_ != 0.0 ? "TRUE" : "FALSE";
    case Kind::Error:
        return errorValueText(error_);
    }
    return {};
}

std::string formatGeneralNumber(double v) {
    if (std::isnan(v) || std::isinf(v))
        return errorValueText(CellValue::kErrorNum);
    if (v == 0.0)
        return "0";

    // The fewest significant digits that read back as v, up to the 15 a spreadsheet shows.
    char buf[64];
    for (int digits = 1; digits <= 15; ++digits) {
        std::snprintf(buf, sizeof buf, "%.*e", digits - 1, v);
        if (digits == 15 || std::strtod(buf, nullptr) == v)
            break;
    }

    // buf is "[-]d[.ddd]e[+-]xx": split it into sign, digits and decimal exponent.
    std::string mantissa;
    const char* p = buf;
    const bool negative = *p == '-';
    if (negative)
        ++p;
    for (; *p && *p != 'e'; ++p)
        if (*p != '.')
            mantissa += *p;
    const int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    while (mantissa.size() > 1 && mantissa.back() == '0')
        mantissa.pop_back();

    std::string out = negative ? "-" : "";
    if (exponent >= -5 && exponent < 15) {
        if (exponent < 0) {
            out += "0.";
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out += mantissa;
        } else if (static_cast<std::size_t>(exponent) + 1 >= mantissa.size()) {
            out += mantissa;
            out.append(static_cast<std::size_t>(exponent) + 1 - mantissa.size(), '0');
        } else {
            out += mantissa.substr(0, static_cast<std::size_t>(exponent) + 1);
            out += '.';
            out += mantissa.substr(static_cast<std::size_t>(exponent) + 1);
        }
        return out;
    }
    out += mantissa[0];
    if (mantissa.size() > 1) {
        out += '.';
        out += mantissa.substr(1);
    }
    char exp[16];
    std::snprintf(exp, sizeof exp, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return out + exp;
}

std::string errorValueText(std::uint8_t code) {
    switch (code) {
    case CellValue::kErrorNull:
        return "#NULL!";
    case CellValue::kErrorDiv0:
        return "#DIV/0!";
    case CellValue::kErrorValue:
        return "#VALUE!";
    case CellValue::kErrorRef:
        return "#REF!";
    case CellValue::kErrorName:
        return "#NAME?";
    case CellValue::kErrorNum:
        return "#NUM!";
    case CellValue::kErrorNA:
        return "#N/A";
    default:
        return "#ERROR(" + std::to_string(code) + ")";
    }
}

bool parseNumber(std::string_view text, double& out) {
    return parseWhole(text, out);
}

bool parseNumber(std::string_view text, float& out) {
    return parseWhole(text, out);
}

} // namespace vantry
