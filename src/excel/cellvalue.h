#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantry {

// The value of one worksheet cell: empty, a number, a text, a boolean or an error value such as
// #N/A. The conversions are those the workbook layout relies on: an empty cell reads as 0, 0.0 or
// the empty text, a text that looks like a number converts to it, and a number converts to text
// as a spreadsheet shows it. A conversion that cannot be made throws WorkbookError (TypeMismatch
// or Overflow) with a sentence saying why.
class CellValue {
public:
    enum class Kind { Empty, Number, Text, Boolean, Error };

    // The error values of a worksheet, by their stored codes.
    static constexpr std::uint8_t kErrorNull = 0x00;
    static constexpr std::uint8_t kErrorDiv0 = 0x07;
    static constexpr std::uint8_t kErrorValue = 0x0F;
    static constexpr std::uint8_t kErrorRef = 0x17;
    static constexpr std::uint8_t kErrorName = 0x1D;
    static constexpr std::uint8_t kErrorNum = 0x24;
    static constexpr std::uint8_t kErrorNA = 0x2A;

    CellValue() = default;
    static CellValue number(double v);
    // A single-precision number, stored as the double closest to its shortest decimal form, so
    // that a spreadsheet shows 0.1 rather than 0.100000001490116 and toSingle() gives v back.
    static CellValue single(float v);
    // UTF-8 text. The empty text is an empty cell, as in a spreadsheet.
    static CellValue text(std::string utf8);
    static CellValue boolean(bool v);
    static CellValue error(std::uint8_t code);

    Kind kind() const { return kind_; }
    bool isEmpty() const { return kind_ == Kind::Empty; }
    double numberValue() const { return number_; }
    const std::string& textValue() const { return text_; }
    bool booleanValue() const { return number_ != 0.0; }
    std::uint8_t errorCode() const { return error_; }

    // Numbers round half to even; TRUE is 1 and FALSE 0; a text is parsed (surrounding blanks
    // allowed, no thousands separators). Error values never convert.
    std::int32_t toInt32() const;
    float toSingle() const;
    double toDouble() const;
    // Numbers as formatGeneralNumber() writes them, booleans as TRUE and FALSE.
    std::string toText() const;

    // What a spreadsheet shows in the cell, error values included; for messages.
    std::string describe() const;

    friend bool operator==(const CellValue&, const CellValue&) = default;

private:
    Kind kind_ = Kind::Empty;
    double number_ = 0.0;
    std::string text_;
    std::uint8_t error_ = 0;
};

// The shortest decimal form of v that reads back as v, with at most 15 significant digits (the
// precision a spreadsheet shows); plain notation from 1E-05 up to 1E+15, scientific outside.
std::string formatGeneralNumber(double v);

// The name of an error value: "#DIV/0!", "#N/A", ...
std::string errorValueText(std::uint8_t code);

// Parses a whole text as a number: optional blanks, an optional sign, digits with an optional
// decimal point and exponent, optional blanks. The empty text is not a number.
bool parseNumber(std::string_view text, double& out);
bool parseNumber(std::string_view text, float& out);

} // namespace vantry
