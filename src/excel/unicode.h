#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Conversions between the program's UTF-8 strings and the UTF-16 text that workbooks store.

// A byte that does not belong to a valid UTF-8 sequence is taken as the Latin-1 character of that
// value, so that text typed on a system with an 8-bit code page still reaches the workbook.
std::u16string utf8ToUtf16(std::string_view text);

// An unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// The longest prefix of the UTF-8 text that takes at most maxUnits UTF-16 code units, never
// splitting a character.
std::string cutToUtf16Units(std::string_view text, std::size_t maxUnits);
