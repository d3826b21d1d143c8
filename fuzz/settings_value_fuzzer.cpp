// The parser of stored preference values on arbitrary text, for both value types the
// preferences use, against a plain reading of what the text says.

#include "fuzzcheck.h"
#include "settings/usersettings.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

using namespace vantry;

namespace {

// The value the text holds: white space, an optional sign and the longest run of digits, or
// none when there are no digits or the number does not fit V.
template <class V> std::optional<V> plainReading(const std::string& text) {
    std::size_t p = 0;
    while (p < text.size() && (text[p] == ' ' || (text[p] >= '\t' && text[p] <= '\r')))
        ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-'))
        negative = text[p++] == '-';
    const std::size_t digits = p;
    std::uint64_t magnitude = 0;
    bool huge = false;
    for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
        const auto digit = static_cast<std::uint64_t>(text[p] - '0');
        if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            huge = true;
        else
            magnitude = magnitude * 10 + digit;
    }
    if (p == digits || huge)
        return std::nullopt;
    if (magnitude == 0)
        return V{0};
    if (negative) {
        if constexpr (std::is_signed_v<V>) {
            const auto limit = static_cast<std::uint64_t>(std::numeric_limits<V>::max()) + 1;
            if (magnitude > limit)
                return std::nullopt;
            return static_cast<V>(-static_cast<std::int64_t>(magnitude));
        }
        return std::nullopt;
    }
    if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<V>::max()))
        return std::nullopt;
    return static_cast<V>(magnitude);
}

template <class V> void check(const std::string& text) {
    const V previous = 77;
    V value = previous;
    const bool parsed = parseSettingText(text, value);
    const std::optional<V> expected = plainReading<V>(text);
    FUZZ_CHECK(parsed == expected.has_value());
    FUZZ_CHECK(value == (parsed ? *expected : previous));
    if (parsed) {
        // What is saved for the value reads back as the value.
        V again = previous;
        FUZZ_CHECK(parseSettingText(std::to_string(value), again));
        FUZZ_CHECK(again == value);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    check<std::int32_t>(text);
    check<std::uint32_t>(text);
    return 0;
}
