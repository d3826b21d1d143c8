#include "model/georeference.h"

#include <charconv>
#include <cmath>

namespace vantry {

namespace {

bool fail(std::string* why, std::string message) {
    if (why)
        *why = std::move(message);
    return false;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

void appendNumber(std::string& out, double v) {
    // The shortest text that reads back as the same double: the origin survives every save.
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

// Reads one number the way the other lines of the format are read: blanks before it skipped and
// an optional plus sign.
bool readNumber(std::string_view& text, double& v) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i < text.size() && text[i] == '+' && !(i + 1 < text.size() && text[i + 1] == '-'))
        ++i;
    const char* start = text.data() + i;
    const auto r = std::from_chars(start, text.data() + text.size(), v);
    if (r.ec != std::errc{} || !std::isfinite(v))
        return false;
    text.remove_prefix(static_cast<std::size_t>(r.ptr - text.data()));
    return true;
}

} // namespace

bool checkGeoreference(const Georeference& g, std::string* why) {
    if (!g.placed())
        return true;
    for (const char c : g.crs)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return fail(why, c == '\n' || c == '\r'
                                 ? "the CRS must be on one line: it holds a line break"
                                 : "the CRS holds a control character, which a file cannot keep");
    if (!std::isfinite(g.originX) || !std::isfinite(g.originY))
        return fail(why, "the georeference's origin is not a finite number");
    return true;
}

std::string formatGeoreference(const Georeference& g) {
    std::string out;
    appendNumber(out, g.originX);
    out += ' ';
    appendNumber(out, g.originY);
    out += ' ';
    out += g.crs;
    return out;
}

bool parseGeoreference(std::string_view text, Georeference& g, std::string* why) {
    Georeference read;
    if (!readNumber(text, read.originX))
        return fail(why, "the georeference's origin x is missing or is not a finite number");
    if (!text.empty() && !isBlank(text.front()))
        return fail(why, "the georeference's origin x is not a number");
    if (!readNumber(text, read.originY))
        return fail(why, "the georeference's origin y is missing or is not a finite number");
    if (!text.empty() && !isBlank(text.front()))
        return fail(why, "the georeference's origin y is not a number");
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return fail(why, "the georeference names no CRS");
    read.crs.assign(text);
    std::string problem;
    if (!checkGeoreference(read, &problem))
        return fail(why, problem);
    g = std::move(read);
    return true;
}

} // namespace vantry
