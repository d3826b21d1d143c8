#include "exchange/unitcheck.h"

#include "exchange/fieldmatch.h"

#include <algorithm>
#include <cmath>

namespace vantry {

namespace {

constexpr double kFeetPerMile = 5280.0;
constexpr double kMetresPerMile = 1609.344;

bool isOneOf(std::string_view name, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(),
                       [&](const char* n) { return sameFieldName(name, n); });
}

} // namespace

LengthUnit lengthUnitNamed(std::string_view name) {
    if (isOneOf(name, {"mile", "miles", "mi", "international mile", "statute mile"}))
        return LengthUnit::Miles;
    if (isOneOf(name, {"foot", "feet", "ft", "us survey foot", "us-ft", "ftus"}))
        return LengthUnit::Feet;
    if (isOneOf(name, {"meter", "meters", "metre", "metres", "m"}))
        return LengthUnit::Metres;
    if (isOneOf(name, {"kilometer", "kilometers", "kilometre", "kilometres", "km"}))
        return LengthUnit::Kilometres;
    return LengthUnit::Unknown;
}

SpeedUnitOfSource speedUnitNamed(std::string_view name) {
    if (isOneOf(name, {"mph", "mi/h", "mi/hr", "miles per hour", "mile per hour"}))
        return SpeedUnitOfSource::MilesPerHour;
    if (isOneOf(name, {"kmh", "kph", "km/h", "km/hr", "kmph", "kilometers per hour",
                       "kilometres per hour"}))
        return SpeedUnitOfSource::KilometresPerHour;
    return SpeedUnitOfSource::Unknown;
}

const char* lengthUnitText(LengthUnit unit) {
    switch (unit) {
    case LengthUnit::Miles:
        return "miles";
    case LengthUnit::Feet:
        return "feet";
    case LengthUnit::Metres:
        return "metres";
    case LengthUnit::Kilometres:
        return "kilometres";
    case LengthUnit::Unknown:
        break;
    }
    return "an unknown unit";
}

double milesPerUnit(LengthUnit unit) {
    switch (unit) {
    case LengthUnit::Feet:
        return 1.0 / kFeetPerMile;
    case LengthUnit::Metres:
        return 1.0 / kMetresPerMile;
    case LengthUnit::Kilometres:
        return 1000.0 / kMetresPerMile;
    case LengthUnit::Miles:
    case LengthUnit::Unknown:
        break;
    }
    return 1.0;
}

double mphPerUnit(SpeedUnitOfSource unit) {
    return unit == SpeedUnitOfSource::KilometresPerHour ? 1000.0 / kMetresPerMile : 1.0;
}

std::optional<LengthUnit> unitThatFits(const std::vector<StatedLength>& lengths,
                                       LengthUnit stated) {
    // The median ratio of stated length to distance: roads bend, and a few links of any file
    // have lengths that fit no distance, but the typical one runs near its straight line.
    std::vector<double> ratios;
    ratios.reserve(lengths.size());
    for (const StatedLength& l : lengths)
        if (l.stated > 0.0 && l.distanceMiles > 0.0 && std::isfinite(l.stated))
            ratios.push_back(l.stated / l.distanceMiles);
    if (ratios.empty())
        return std::nullopt;
    const auto middle = ratios.begin() + static_cast<std::ptrdiff_t>(ratios.size() / 2);
    std::nth_element(ratios.begin(), middle, ratios.end());
    const double unitsPerMile = *middle;
    const auto misfit = [&](LengthUnit unit) {
        return std::fabs(std::log(unitsPerMile * milesPerUnit(unit)));
    };
    if (misfit(stated) < std::log(2.0))
        return std::nullopt;
    LengthUnit best = stated;
    for (LengthUnit unit :
         {LengthUnit::Miles, LengthUnit::Feet, LengthUnit::Metres, LengthUnit::Kilometres})
        if (misfit(unit) < misfit(best))
            best = unit;
    if (best == stated || misfit(best) > std::log(4.0 / 3.0))
        return std::nullopt;
    return best;
}

} // namespace vantry
