#pragma once

#include <charconv>
#include <cstdint>
#include <ios>
#include <map>
#include <string>
#include <system_error>
#include <type_traits>

namespace vantry {

// One named preference: the name it is stored under, its value, and the number format used to
// turn the value into text.
template <class V> struct Setting {
    std::string name;
    V value;
    std::ios_base::fmtflags flags;
};

// Reads a decimal integer the way a stored preference is read: leading white space is skipped,
// then an optional sign and the longest run of digits are taken and the rest is ignored. Returns
// false and leaves out unchanged when there are no digits or the number does not fit V (for an
// unsigned V that includes any negative number other than zero).
template <class V> bool parseSettingText(const std::string& text, V& out) {
    static_assert(std::is_integral_v<V>);
    const auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };

    std::size_t pos = 0;
    while (pos < text.size() && isSpace(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::size_t end = pos;
    while (end < text.size() && isDigit(text[end])) {
        ++end;
    }
    if (end == pos) {
        return false;
    }

    // from_chars reports overflow instead of clamping or wrapping, which is what lets a value
    // that does not fit keep its previous content. It accepts a minus only for signed types.
    std::size_t first = pos;
    if constexpr (std::is_signed_v<V>) {
        if (negative) {
            --first;
        }
    }
    V parsed{};
    const auto [ptr, ec] = std::from_chars(text.data() + first, text.data() + end, parsed);
    if (ec != std::errc{}) {
        return false;
    }
    if constexpr (std::is_unsigned_v<V>) {
        if (negative && parsed != 0) {
            return false;
        }
    }
    out = parsed;
    return true;
}

// A text preference is kept as it was stored, blanks and all: what it means is for the code
// that uses it to judge, which knows what it may hold and what to do when it cannot be read.
inline bool parseSettingText(const std::string& text, std::string& out) {
    out = text;
    return true;
}

// The user's preferences: the attributes given to new links, the grid spacing, the canvas colour,
// the save precision, how often unsaved changes are kept for recovery, and the road classes
// street data is populated by. Loaded from the user's settings store on construction; everything
// in between reads and assigns the members directly, and commit() writes what changed at once.
// Whatever is left is written back on destruction.
class UserDefinedSettings {
public:
    static constexpr const char* registryPath = "Software\\Kestrin\\Vantry\\Settings";

    UserDefinedSettings();
    ~UserDefinedSettings();

    UserDefinedSettings(const UserDefinedSettings&) = delete;
    UserDefinedSettings& operator=(const UserDefinedSettings&) = delete;

    // Values that are missing or do not parse keep what they had.
    void load();
    // Failures are not reported: preferences are not worth interrupting the user for.
    void save() const;
    // Writes the values that differ from what the store was last known to hold, through to the
    // disk, so that a crash or a kill after a change loses nothing. A batch run writes nothing.
    void commit();

    Setting<std::int32_t> defaultNumLanes;
    Setting<std::int32_t> defaultCapacity;
    Setting<std::int32_t> defaultFFSpeed;
    Setting<std::int32_t> defaultJamDensity;
    Setting<std::int32_t> gridPixels;
    // A colour value laid out as 0x00BBGGRR.
    Setting<std::uint32_t> backColor;
    Setting<std::int32_t> precision;
    // Seconds between the recovery copies of modified networks; 0 keeps none.
    Setting<std::int32_t> autosaveSeconds;
    // The road classes last chosen for loading street data, as a comma-separated list of class
    // names; empty until the user first chooses, which means the default classes.
    Setting<std::string> roadClasses;
    // The per-class defaults the user changed, as "motorway=65/2/2200/190;..."; empty keeps
    // every class at its built-in values.
    Setting<std::string> roadClassDefaults;

    static constexpr std::int32_t kDefaultAutosaveSeconds = 60;
    // A day: a longer interval would keep nothing worth recovering.
    static constexpr std::int32_t kMaxAutosaveSeconds = 86400;
    // The interval a value stands for: one that is negative or longer than a day, as only a
    // hand-edited file can hold, means the default.
    static std::int32_t saneAutosaveSeconds(std::int32_t seconds);

    // Batch runs clear this so they never rewrite the user's preferences, neither on a commit
    // nor at exit.
    bool persistOnExit = true;

private:
    template <class Self, class F> static void forEachSetting(Self& self, F&& f);

    // The text of each value as last read from or written to the store.
    mutable std::map<std::string, std::string> stored_;
};

} // namespace vantry
