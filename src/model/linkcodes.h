#pragma once

#include "model/network.h"

#include <optional>
#include <string_view>

namespace vantry {

// A link type or direction as typed by the user, by name ("Ramp", "Outbound") or by its code
// in the network file ("R", "O"), in any case; the one reading shared by every place that
// takes them as text. The empty text is not a type here: None is named "None".
std::optional<LinkType> linkTypeNamed(std::string_view text);
std::optional<LinkDirection> linkDirectionNamed(std::string_view text);

} // namespace vantry
