#pragma once

// Hand-made TIGER/Line records for the tests: fields laid at the exact columns of the published
// record layouts, with the columns the reader ignores filled in so that nothing leaks from them.

#include "tiger/tigerstore.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

namespace tiger_test {

// One record line, blank-filled to its length, with text laid at 1-based columns.
class Record {
public:
    Record(char type, std::size_t length) : text_(length, ' ') {
        text_[0] = type;
        at(2, "0000"); // version
    }
    Record& at(std::size_t column, std::string_view text) {
        if (text_.size() < column - 1 + text.size())
            text_.resize(column - 1 + text.size(), ' ');
        std::copy(text.begin(), text.end(),
                  text_.begin() + static_cast<std::ptrdiff_t>(column - 1));
        return *this;
    }
    const std::string& str() const { return text_; }

private:
    std::string text_;
};

// Numbers as the Census Bureau writes them: coordinates signed and zero-filled to the field's
// width ("%+010d" for a longitude, "%+09d" for a latitude), TLIDs right-aligned ("%10d").
inline std::string field(const char* format, std::int32_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

// A complete chain record (type 1), 228 columns.
inline std::string chainRecord(std::int32_t tlid, std::string_view cfcc, TigerPoint start,
                               TigerPoint end) {
    return Record('1', 228)
        .at(6, field("%10d", tlid))
        .at(17, "O")
        .at(20, "Elm")
        .at(50, "St")
        .at(56, cfcc)
        // Address ranges, ZIP codes and area codes: digits right up to the coordinates.
        .at(59, "   1200       1298       1201       1299")
        .at(107, "3580135801")
        .at(131, "0101089089959400011000011002017201")
        .at(171, "00110000110020172018")
        .at(191, field("%+010d", start.longitude))
        .at(201, field("%+09d", start.latitude))
        .at(210, field("%+010d", end.longitude))
        .at(220, field("%+09d", end.latitude))
        .str();
}

// A shape record (type 2), 208 columns; slots after the given points hold zeros.
inline std::string shapeRecord(std::int32_t tlid, int sequence,
                               const std::vector<TigerPoint>& points) {
    Record r('2', 208);
    char seq[8];
    std::snprintf(seq, sizeof seq, "%3d", sequence);
    r.at(6, field("%10d", tlid)).at(16, seq);
    for (std::size_t k = 0; k < 10; ++k) {
        const std::size_t column = 19 + 19 * k;
        const TigerPoint p = k < points.size() ? points[k] : TigerPoint{};
        r.at(column, field("%+010d", p.longitude)).at(column + 10, field("%+09d", p.latitude));
    }
    return r.str();
}

inline std::string joinLines(const std::vector<std::string>& lines, std::string_view eol = "\n",
                             bool finalEol = true) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += lines[i];
        if (finalEol || i + 1 < lines.size())
            text += eol;
    }
    return text;
}

} // namespace tiger_test

} // namespace vantry
