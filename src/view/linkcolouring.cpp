#include "view/linkcolouring.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace vantry {

namespace {

struct FieldNames {
    ColourField field;
    std::string_view key;
    std::string_view title;
};

constexpr FieldNames kFieldNames[] = {
    {ColourField::Type, "type", "Type"},
    {ColourField::Lanes, "lanes", "Lanes"},
    {ColourField::Capacity, "capacity", "Capacity"},
    {ColourField::Speed, "speed", "Free-flow speed"},
    {ColourField::JamDensity, "jam", "Jam density"},
    {ColourField::LengthRatio, "ratio", "Length / drawn"},
};

// Viridis at nine even steps, dark to light: legible to every kind of colour vision and in grey.
constexpr std::uint32_t kRamp[] = {0x440154, 0x472D7B, 0x3B528B, 0x2C728E, 0x21908C,
                                   0x27AD81, 0x5DC863, 0xAADC32, 0xFDE725};
// Okabe and Ito's palette for colour-blind readers, without its black, which outlines links.
const std::vector<std::uint32_t> kQualitative = {0xE69F00, 0x56B4E9, 0x009E73, 0xF0E442,
                                                 0x0072B2, 0xD55E00, 0xCC79A7};

std::uint32_t blend(std::uint32_t a, std::uint32_t b, double t) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= static_cast<std::uint32_t>(std::lround(ca + (cb - ca) * t)) << shift;
    }
    return out;
}

std::string number(double v, ColourField field) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", field == ColourField::LengthRatio ? 3 : 1, v);
    std::string s = buf;
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    return s == "-0" ? "0" : s;
}

} // namespace

std::string_view colourFieldKey(ColourField field) {
    for (const FieldNames& f : kFieldNames)
        if (f.field == field)
            return f.key;
    return {};
}

std::string_view colourFieldTitle(ColourField field) {
    for (const FieldNames& f : kFieldNames)
        if (f.field == field)
            return f.title;
    return {};
}

std::optional<ColourField> parseColourField(std::string_view key) {
    for (const FieldNames& f : kFieldNames)
        if (f.key == key)
            return f.field;
    return std::nullopt;
}

const std::vector<ColourField>& colourFields() {
    static const std::vector<ColourField> fields = [] {
        std::vector<ColourField> all;
        for (const FieldNames& f : kFieldNames)
            all.push_back(f.field);
        return all;
    }();
    return fields;
}

std::optional<double> linkFieldValue(const Link& link, ColourField field) {
    switch (field) {
    case ColourField::Lanes:
        return link.numLanes();
    case ColourField::Capacity:
        return link.capacity();
    case ColourField::Speed:
        return link.ffSpeed();
    case ColourField::JamDensity:
        return link.jamDensity();
    case ColourField::LengthRatio: {
        // An automatic length is the drawn distance itself; its float copy would scatter the
        // ratio around 1 and make many classes of what is one value.
        if (link.hasAutomaticLength())
            return 1.0;
        const double drawn = link.automaticLength();
        if (!(drawn > 0))
            return std::nullopt;
        return link.effectiveLength() / drawn;
    }
    case ColourField::Type:
        break;
    }
    return std::nullopt;
}

std::vector<std::uint32_t> rampColours(int count) {
    std::vector<std::uint32_t> colours;
    constexpr int last = static_cast<int>(std::size(kRamp)) - 1;
    for (int i = 0; i < count; ++i) {
        const double t = count == 1 ? 0.5 : static_cast<double>(i) / (count - 1);
        const double at = t * last;
        const int k = std::min(static_cast<int>(at), last - 1);
        colours.push_back(blend(kRamp[k], kRamp[k + 1], at - k));
    }
    return colours;
}

const std::vector<std::uint32_t>& qualitativeColours() {
    return kQualitative;
}

LinkColouring::LinkColouring(ColourField field, const std::vector<double>& values,
                             ClassMethod method, int classes)
    : field_(field) {
    std::vector<double> sorted;
    for (double v : values)
        if (std::isfinite(v))
            sorted.push_back(v);
    std::sort(sorted.begin(), sorted.end());
    if (sorted.empty())
        return;
    std::vector<double> distinct = sorted;
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    if (static_cast<int>(distinct.size()) <= kMaxDistinctValues) {
        byValue_ = true;
        for (std::size_t i = 0; i < distinct.size(); ++i)
            classes_.push_back(
                {distinct[i], distinct[i], kQualitative[i], number(distinct[i], field)});
        return;
    }
    const int n = std::clamp(classes, kMinClasses, kMaxClasses);
    const double low = sorted.front(), high = sorted.back();
    std::vector<double> lows;
    for (int i = 0; i < n; ++i) {
        if (method == ClassMethod::Quantiles)
            lows.push_back(
                sorted[sorted.size() * static_cast<std::size_t>(i) / static_cast<std::size_t>(n)]);
        else
            lows.push_back(low + (high - low) * i / n);
    }
    // Many links of one value make quantiles meet; a class that would be empty goes.
    lows.erase(std::unique(lows.begin(), lows.end()), lows.end());
    const std::vector<std::uint32_t> colours = rampColours(static_cast<int>(lows.size()));
    for (std::size_t i = 0; i < lows.size(); ++i) {
        const double top = i + 1 < lows.size() ? lows[i + 1] : high;
        classes_.push_back({lows[i], top, colours[i],
                            lows[i] == top ? number(top, field)
                                           : number(lows[i], field) + " - " + number(top, field)});
    }
}

int LinkColouring::classOf(double value) const {
    if (classes_.empty() || !std::isfinite(value))
        return -1;
    if (byValue_) {
        const auto it = std::lower_bound(classes_.begin(), classes_.end(), value,
                                         [](const ColourClass& c, double v) { return c.low < v; });
        return it != classes_.end() && it->low == value ? static_cast<int>(it - classes_.begin())
                                                        : -1;
    }
    if (value < classes_.front().low || value > classes_.back().high)
        return -1;
    const auto it = std::upper_bound(classes_.begin(), classes_.end(), value,
                                     [](double v, const ColourClass& c) { return v < c.low; });
    return static_cast<int>(it - classes_.begin()) - 1;
}

std::optional<std::uint32_t> LinkColouring::colourOf(const Link& link) const {
    const std::optional<double> value = linkFieldValue(link, field_);
    if (!value)
        return std::nullopt;
    const int k = classOf(*value);
    if (k < 0)
        return std::nullopt;
    return classes_[static_cast<std::size_t>(k)].rgb;
}

std::optional<LinkColouring> colourLinks(const Network& network, const ColourChoice& choice) {
    if (choice.field == ColourField::Type)
        return std::nullopt;
    std::vector<double> values;
    values.reserve(network.links().size());
    for (const Link* l : network.links())
        if (const std::optional<double> v = linkFieldValue(*l, choice.field))
            values.push_back(*v);
    return LinkColouring(choice.field, values, choice.method, choice.classes);
}

} // namespace vantry
