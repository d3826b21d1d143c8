#include "excel/unicode.h"

#include "base/codepage.h"

namespace vantry {

namespace {

// Decodes one character at text[i], advancing i. An invalid sequence yields its first byte, which
// the caller decides how to take; `valid` says which it was.
char32_t nextCodePoint(std::string_view text, std::size_t& i, bool& valid) {
    valid = false;
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        ++i;
        valid = true;
        return lead;
    }
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07;
        minimum = 0x10000;
    }
    if (length == 0 || i + length > text.size()) {
        ++i;
        return lead;
    }
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char c = byte(i + k);
        if ((c & 0xC0) != 0x80) {
            ++i;
            return lead;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return lead;
    }
    i += length;
    valid = true;
    return cp;
}

// The character at text[i], advancing i; a byte outside valid UTF-8 is a Windows-1252 character.
char32_t nextCharacter(std::string_view text, std::size_t& i) {
    bool valid = false;
    const char32_t cp = nextCodePoint(text, i, valid);
    return valid ? cp : windows1252ToUnicode(static_cast<unsigned char>(cp));
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        bool valid = false;
        nextCodePoint(text, i, valid);
        if (!valid)
            return false;
    }
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char32_t cp = nextCharacter(text, i);
        if (cp < 0x10000) {
            out += static_cast<char16_t>(cp);
        } else {
            const char32_t v = cp - 0x10000;
            out += static_cast<char16_t>(0xD800 + (v >> 10));
            out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        }
    }
    return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    return out;
}

std::string cutToUtf16Units(std::string_view text, std::size_t maxUnits) {
    std::size_t units = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t next = i;
        const char32_t cp = nextCharacter(text, next);
        const std::size_t width = cp < 0x10000 ? 1 : 2;
        if (units + width > maxUnits)
            break;
        units += width;
        i = next;
    }
    return std::string(text.substr(0, i));
}

std::string storedBytesFromUtf8(std::string_view utf8) {
    std::string bytes;
    bytes.reserve(utf8.size());
    bool eightBit = false;
    for (std::size_t i = 0; i < utf8.size();) {
        bool valid = false;
        const char32_t cp = nextCodePoint(utf8, i, valid);
        if (!valid)
            return std::string(utf8); // not text read from a workbook; keep it as it is
        // Control characters 0x80 to 0x9F keep the byte of their number, as workbooks written
        // with Latin-1 text hold them.
        const std::optional<unsigned char> byte =
            cp < 0x100 ? std::optional<unsigned char>(static_cast<unsigned char>(cp))
                       : unicodeToWindows1252(cp);
        if (!byte)
            return std::string(utf8);
        bytes += static_cast<char>(*byte);
        eightBit = eightBit || cp >= 0x80;
    }
    // Bytes that happen to be valid UTF-8 would be read back as other characters.
    if (!eightBit || isValidUtf8(bytes))
        return std::string(utf8);
    return bytes;
}

} // namespace vantry
