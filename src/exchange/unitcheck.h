#pragma once

#include "exchange/networkimport.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantry {

// The unit a name gives, case-blind: "feet", "ft", "foot", "mile", "mi", "meters", "metre",
// "m", "kilometers", "km" and their plurals and spellings; Unknown for anything else.
LengthUnit lengthUnitNamed(std::string_view name);
// "mph", "mi/h", "kmh", "kph", "km/h" and the like; Unknown for anything else.
SpeedUnitOfSource speedUnitNamed(std::string_view name);
// How messages name a unit: "feet", "miles", "metres", "kilometres".
const char* lengthUnitText(LengthUnit unit);

double milesPerUnit(LengthUnit unit);
double mphPerUnit(SpeedUnitOfSource unit);

// One link's length as stated (in the stated unit) beside the straight distance between its
// nodes in miles.
struct StatedLength {
    double stated = 0.0;
    double distanceMiles = 0.0;
};

// The unit the lengths are in when they disagree with the distances between their nodes by a
// unit's factor (feet stated as miles, metres as kilometres, and the reverse): the typical
// length, read in the stated unit, is more than twice or less than half its distance while read
// in the returned unit it is within a third of it. nullopt when the stated unit fits or no unit
// fits clearly, or there are no lengths beside distances to judge by.
std::optional<LengthUnit> unitThatFits(const std::vector<StatedLength>& lengths, LengthUnit stated);

} // namespace vantry
