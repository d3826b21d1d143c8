#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace vantry {

// Helpers for tests about stored bytes and the text shown for them.

inline QString u16(std::u16string_view s) {
    return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size()));
}

// Bytes as space-separated hexadecimal pairs, so that a failed comparison shows every byte.
inline std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char b : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

} // namespace vantry
