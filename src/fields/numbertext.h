#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace vantry {

// Numbers typed in fields (dialogs, the link table) are read and written in the C library's
// notation (a point for the decimals) whatever the user's locale, so that what one user types
// another reads the same way.

// An integer field's text: optional blanks around an optional sign and digits. Nothing when the
// text is anything else or the number does not fit 32 bits.
std::optional<std::int32_t> parseIntegerText(const QString& text);

// The number the text begins with after optional blanks, as the C function atof takes it; the
// rest of the text is ignored. Nothing when the text does not begin with a number or the number
// cannot be held by a double. "inf" and "nan" are numbers here; callers refuse them as they must.
std::optional<double> parseLeadingNumber(const QString& text);

// The text as one number with optional blanks around it and nothing else.
std::optional<double> parseNumberText(const QString& text);

// printf's "%.*f" and "%.*g", independent of the locale.
QString formatFixed(double value, int decimals);
QString formatSignificant(double value, int digits);

// The message refusing an integer field's text, naming the field.
QString integerFieldMessage(const QString& fieldName);

} // namespace vantry
