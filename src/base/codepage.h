#pragma once

#include <optional>

namespace vantry {

// Windows-1252, the code page of the text that files made on Windows hold where it is not UTF-8.
// The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the
// control characters of the same number, so that every byte has a character that comes back to
// it.

char32_t windows1252ToUnicode(unsigned char byte);

// The byte of the character, or nothing when the code page has no byte for it.
std::optional<unsigned char> unicodeToWindows1252(char32_t c);

} // namespace vantry
