#include "base/codepage.h"

#include <algorithm>
#include <array>

namespace vantry {

namespace {

// The characters of the bytes 0x80 to 0x9F; the others are the characters of the same number.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

char32_t windows1252ToUnicode(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? char32_t{kHigh[byte - 0x80]} : char32_t{byte};
}

std::optional<unsigned char> unicodeToWindows1252(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<unsigned char>(c);
    const auto at = std::find(kHigh.begin(), kHigh.end(), c);
    if (at == kHigh.end())
        return std::nullopt;
    return static_cast<unsigned char>(0x80 + (at - kHigh.begin()));
}

} // namespace vantry
