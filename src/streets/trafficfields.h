#pragma once

// The traffic rule, lanes and speeds of a road from the oneway, lanes and maxspeed values that
// OpenStreetMap tags and the fields of line layers give, in the many ways they write them.

#include "tiger/tigerstore.h"

#include <cstdint>
#include <string_view>

namespace vantry {

// Sets the chain's traffic rule and lanes each way from a oneway value (yes/no/-1, F/T/B, FT/TF/N)
// and the lane counts given for both ways and for each. impliedOneWay is the road's own rule
// when oneway says nothing. Lanes nobody gives stay 0, for the road's class to decide when it is
// populated.
void applyTraffic(std::string_view oneway, std::string_view lanesText, std::string_view forwardText,
                  std::string_view backwardText, bool impliedOneWay, TigerChain& chain);

// Sets the chain's speed each way from the plain maxspeed value and the per-direction ones, a
// direction without its own taking the plain one; bareIsMph says what a number without a unit
// means.
void applySpeeds(std::string_view both, std::string_view forward, std::string_view backward,
                 bool bareIsMph, TigerChain& chain);

// Miles per hour from a speed limit as OpenStreetMap writes it: "45 mph" is 45, a bare number
// or one in "km/h" is converted from kilometres per hour and rounded (50 gives 31), "walk" is 5
// and a country's implicit limit ("DE:urban", "RU:rural") is that country's figure. 0 when the
// text gives no usable speed ("none", "signals", an unknown code), for the class to decide.
std::int32_t speedFromMaxspeed(std::string_view text);

} // namespace vantry
