#pragma once

#include "model/network.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// The link attributes a map can be coloured by. Type is the map's own colouring by link type.
enum class ColourField { Type, Lanes, Capacity, Speed, JamDensity, LengthRatio };

// How a graduated field is cut into classes.
enum class ClassMethod { EqualInterval, Quantiles };

// What a map is coloured by: kept per window and given to the renderer.
struct ColourChoice {
    ColourField field = ColourField::Type;
    ClassMethod method = ClassMethod::EqualInterval;
    int classes = 5;

    friend bool operator==(const ColourChoice&, const ColourChoice&) = default;
};

inline constexpr int kDefaultClasses = 5;
inline constexpr int kMinClasses = 2;
inline constexpr int kMaxClasses = 9;
// A field with at most this many distinct values gets one colour for each.
inline constexpr int kMaxDistinctValues = 7;

// The short name used on the command line ("speed") and the name shown in menus and legends
// ("Free-flow speed").
std::string_view colourFieldKey(ColourField field);
std::string_view colourFieldTitle(ColourField field);
std::optional<ColourField> parseColourField(std::string_view key);
// Every field, in the order menus list them.
const std::vector<ColourField>& colourFields();

// The value a link has in a field; nothing for Type, and for a length ratio of a link whose
// nodes lie on one point.
std::optional<double> linkFieldValue(const Link& link, ColourField field);

// One class of a colouring: the values from `low` up to (not including) `high`, the last class
// including its high end; a class of one value has low == high.
struct ColourClass {
    double low = 0;
    double high = 0;
    std::uint32_t rgb = 0; // 0xRRGGBB
    std::string label;

    friend bool operator==(const ColourClass&, const ColourClass&) = default;
};

// The classes a set of values falls into, with their colours: a sequential ramp for graduated
// classes, a qualitative palette when each of a few values has its own colour.
class LinkColouring {
public:
    LinkColouring() = default;
    LinkColouring(ColourField field, const std::vector<double>& values, ClassMethod method,
                  int classes);

    ColourField field() const { return field_; }
    const std::vector<ColourClass>& classes() const { return classes_; }
    bool byValue() const { return byValue_; }
    // The class a value falls into, or -1 when none holds it.
    int classOf(double value) const;
    // The colour of a link, or nothing when it has no value in the field or is in no class.
    std::optional<std::uint32_t> colourOf(const Link& link) const;

    friend bool operator==(const LinkColouring&, const LinkColouring&) = default;

private:
    ColourField field_ = ColourField::Type;
    bool byValue_ = false;
    std::vector<ColourClass> classes_;
};

// The colouring of a network's links by a choice; nothing for Type.
std::optional<LinkColouring> colourLinks(const Network& network, const ColourChoice& choice);

// The colours in 0xRRGGBB: `count` colours spread along the sequential ramp, dark to light,
// and the qualitative palette (kMaxDistinctValues colours).
std::vector<std::uint32_t> rampColours(int count);
const std::vector<std::uint32_t>& qualitativeColours();

} // namespace vantry
