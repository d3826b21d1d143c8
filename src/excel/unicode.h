#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vantry {

// Conversions between the program's UTF-8 strings and the UTF-16 text that workbooks store.

// A byte that does not belong to a valid UTF-8 sequence is taken as the Windows-1252 character of
// that value (the five bytes the code page leaves undefined as the control character of the same
// number), so that text written on Windows with its 8-bit code page reaches the workbook as the
// characters its author saw.
std::u16string utf8ToUtf16(std::string_view text);

// An unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// The bytes to keep a text read from a workbook in: its Windows-1252 bytes when the code page
// holds every character and those bytes cannot be taken for UTF-8, so that text that came from
// an 8-bit file goes back to the same bytes; otherwise the UTF-8 text unchanged. The control
// characters U+0080 to U+009F count as the byte of the same number, which is how older writers
// stored 8-bit text.
std::string storedBytesFromUtf8(std::string_view utf8);

// The longest prefix of the UTF-8 text that takes at most maxUnits UTF-16 code units, never
// splitting a character.
std::string cutToUtf16Units(std::string_view text, std::size_t maxUnits);

} // namespace vantry
