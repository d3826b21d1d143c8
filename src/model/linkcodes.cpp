#include "model/linkcodes.h"

#include <array>
#include <tuple>

namespace vantry {

namespace {

constexpr std::array<const char*, 6> kTypeNames = {"Mainline", "Workzone", "Detour1",
                                                   "Detour2",  "Ramp",     "None"};
constexpr std::array<const char*, 6> kTypeCodes = {"M", "WZ", "D1", "D2", "R", ""};

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

} // namespace

std::optional<LinkType> linkTypeNamed(std::string_view text) {
    for (std::size_t i = 0; i < kTypeNames.size(); ++i) {
        const bool isCode = *kTypeCodes[i] && sameLetters(text, kTypeCodes[i]);
        if (isCode || sameLetters(text, kTypeNames[i]))
            return static_cast<LinkType>(i);
    }
    return std::nullopt;
}

std::optional<LinkDirection> linkDirectionNamed(std::string_view text) {
    for (auto [code, name, direction] : {std::tuple{"I", "Inbound", LinkDirection::Inbound},
                                         std::tuple{"O", "Outbound", LinkDirection::Outbound}})
        if (sameLetters(text, code) || sameLetters(text, name))
            return direction;
    return std::nullopt;
}

} // namespace vantry
