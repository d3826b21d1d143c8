#include "picture/worldfile.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <filesystem>

namespace vantry {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool readNumber(std::string_view word, double& value) {
    if (!word.empty() && word.front() == '+')
        word.remove_prefix(1);
    const char* end = word.data() + word.size();
    const auto [ptr, ec] = std::from_chars(word.data(), end, value);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

std::string otherCase(std::string s) {
    const bool lower = !s.empty() && std::islower(static_cast<unsigned char>(s.front()));
    for (char& c : s)
        c = static_cast<char>(lower ? std::toupper(static_cast<unsigned char>(c))
                                    : std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string replaceEntities(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities{
        {{"&quot;", '"'}, {"&apos;", '\''}, {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}}};
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        bool replaced = false;
        for (const auto& [entity, c] : kEntities) {
            if (text.substr(i, entity.size()) == entity) {
                out += c;
                i += entity.size();
                replaced = true;
                break;
            }
        }
        if (!replaced)
            out += text[i++];
    }
    return out;
}

} // namespace

bool parseWorldFile(std::string_view text, const std::string& name, PixelGrid& grid,
                    std::string& why) {
    std::array<double, 6> n{};
    std::size_t count = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        if (i == text.size())
            break;
        const std::size_t start = i;
        while (i < text.size() && !isBlank(text[i]))
            ++i;
        if (count == n.size()) {
            why = name + " holds more than the six numbers of a world file";
            return false;
        }
        if (!readNumber(text.substr(start, i - start), n[count])) {
            why =
                name + ": line " + std::to_string(count + 1) + " of the world file is not a number";
            return false;
        }
        ++count;
    }
    if (count < n.size()) {
        why = name + " holds " + std::to_string(count) + " of the six numbers of a world file";
        return false;
    }
    const auto [a, d, b, e, c, f] = n;
    if (a * e - b * d == 0.0) {
        why = name + " gives the pixels no area";
        return false;
    }
    // The file places the centre of the upper-left pixel; the picture's edge is half a pixel out.
    grid = PixelGrid{c - 0.5 * a - 0.5 * b, f - 0.5 * d - 0.5 * e, a, b, d, e};
    return true;
}

std::vector<std::string> worldFileNames(const std::string& picturePath) {
    const std::filesystem::path path(picturePath);
    std::string ext = path.extension().string();
    if (ext.size() < 2)
        return {};
    ext.erase(0, 1);
    const bool upper = std::isupper(static_cast<unsigned char>(ext.back())) != 0;
    const std::string w = upper ? "W" : "w";
    std::vector<std::string> kinds;
    kinds.push_back(std::string{ext.front(), ext.back()} + w);
    kinds.push_back(ext + w);
    kinds.push_back(upper ? "WLD" : "wld");
    std::vector<std::string> names;
    const std::string stem = picturePath.substr(0, picturePath.size() - ext.size());
    for (const std::string& kind : kinds) {
        for (const std::string& spelled : {kind, otherCase(kind)}) {
            std::string candidate = stem + spelled;
            bool seen = false;
            for (const std::string& n : names)
                seen = seen || n == candidate;
            if (!seen)
                names.push_back(std::move(candidate));
        }
    }
    return names;
}

std::string auxiliaryCrs(std::string_view xml) {
    const std::size_t open = xml.find("<SRS");
    if (open == std::string_view::npos)
        return {};
    const std::size_t start = xml.find('>', open);
    if (start == std::string_view::npos || xml[start - 1] == '/')
        return {};
    const std::size_t end = xml.find("</SRS>", start);
    if (end == std::string_view::npos)
        return {};
    std::string crs = replaceEntities(xml.substr(start + 1, end - start - 1));
    while (!crs.empty() && isBlank(crs.back()))
        crs.pop_back();
    std::size_t lead = 0;
    while (lead < crs.size() && isBlank(crs[lead]))
        ++lead;
    return crs.substr(lead);
}

} // namespace vantry
