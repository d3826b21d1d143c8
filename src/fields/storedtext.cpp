#include "fields/storedtext.h"

#include "base/codepage.h"

#include <optional>

namespace vantry {

namespace {

std::optional<std::string> toWindows1252(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) {
        const std::optional<unsigned char> byte = unicodeToWindows1252(c.unicode());
        if (!byte)
            return std::nullopt;
        out += static_cast<char>(*byte);
    }
    return out;
}

// The length of the valid UTF-8 character that `s` begins with, or 0 when it begins with none:
// overlong forms, surrogates and values above U+10FFFF are not valid.
std::size_t utf8Length(std::string_view s) {
    const auto byte = [s](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (s.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

struct Decoded {
    QString text;
    // Per UTF-16 unit, the offset of its character's first byte; then the number of bytes.
    std::vector<std::size_t> begin;
    bool invalid = false;
    bool multibyte = false;
};

Decoded decode(std::string_view bytes) {
    Decoded d;
    d.text.reserve(static_cast<qsizetype>(bytes.size()));
    d.begin.reserve(bytes.size() + 1);
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t length = utf8Length(bytes.substr(i));
        if (length == 0) {
            d.text += QChar(
                static_cast<char16_t>(windows1252ToUnicode(static_cast<unsigned char>(bytes[i]))));
            d.begin.push_back(i);
            d.invalid = true;
            ++i;
            continue;
        }
        const QString character =
            QString::fromUtf8(bytes.data() + i, static_cast<qsizetype>(length));
        for (const QChar unit : character) {
            d.text += unit;
            d.begin.push_back(i);
        }
        d.multibyte = d.multibyte || length > 1;
        i += length;
    }
    d.begin.push_back(bytes.size());
    return d;
}

} // namespace

QString decodeStoredText(std::string_view bytes) {
    return decode(bytes).text;
}

StoredText::StoredText(std::string bytes) : bytes_(std::move(bytes)) {
    Decoded d = decode(bytes_);
    text_ = d.text;
    windows1252_ = d.invalid && !d.multibyte;
    compared_ = std::move(d.text);
    begin_ = std::move(d.begin);
}

void StoredText::alignTo(const QString& shown) {
    const Decoded d = decode(bytes_);
    std::vector<std::size_t> begin;
    begin.reserve(static_cast<std::size_t>(shown.size()) + 1);
    qsizetype i = 0;
    for (const QChar c : shown) {
        if (i >= text_.size())
            return;
        const bool replaced = c == QLatin1Char(' ') || c == QLatin1Char('\n');
        if (c != text_[i] && !replaced)
            return;
        begin.push_back(d.begin[static_cast<std::size_t>(i)]);
        const bool crlf = text_[i] == QLatin1Char('\r') && i + 1 < text_.size() &&
                          text_[i + 1] == QLatin1Char('\n');
        i += crlf && c != QLatin1Char('\r') ? 2 : 1;
    }
    if (i != text_.size())
        return;
    begin.push_back(bytes_.size());
    compared_ = shown;
    begin_ = std::move(begin);
}

bool StoredText::isBoundary(qsizetype unit) const {
    const auto u = static_cast<std::size_t>(unit);
    return unit == 0 || unit == compared_.size() || begin_[u] != begin_[u - 1];
}

std::string StoredText::encode(const QString& edited) const {
    const qsizetype n = compared_.size();
    const qsizetype m = edited.size();
    qsizetype head = 0;
    while (head < n && head < m && compared_[head] == edited[head])
        ++head;
    while (!isBoundary(head))
        --head;
    qsizetype tail = 0;
    while (tail < n - head && tail < m - head && compared_[n - 1 - tail] == edited[m - 1 - tail])
        ++tail;
    while (!isBoundary(n - tail))
        --tail;

    const std::string_view all(bytes_);
    const std::string_view before = all.substr(0, begin_[static_cast<std::size_t>(head)]);
    const std::string_view after = all.substr(begin_[static_cast<std::size_t>(n - tail)]);
    const QString middle = edited.mid(head, m - head - tail);
    std::string out(before);
    if (windows1252_) {
        // Code page bytes next to each other can happen to form a UTF-8 character ("Ã©" is the
        // UTF-8 of "é"); such a middle is written in UTF-8, which always reads back.
        if (const std::optional<std::string> encoded = toWindows1252(middle)) {
            const std::string candidate = out + *encoded + std::string(after);
            if (decodeStoredText(candidate) ==
                decodeStoredText(before) + middle + decodeStoredText(after))
                return candidate;
        }
    }
    out += middle.toStdString();
    out += after;
    return out;
}

} // namespace vantry
