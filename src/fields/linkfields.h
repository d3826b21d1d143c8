#pragma once

#include "model/network.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace vantry {

// A link's attributes as the user types them, read and refused the same way wherever they are
// typed (the Link Properties dialog, the link table): each reader gives the value, or nothing
// with the message that tells the user why the text was refused.

enum class LinkField {
    NumLanes,
    Capacity,
    Length,
    FFSpeed,
    JamDensity,
    Direction,
    Type,
    Description
};

// How fields and messages name the attribute: "Number of Lanes", "Free-flow Speed", ...
QString linkFieldName(LinkField field);

// Lanes, capacity, free-flow speed and jam density: any 32-bit integer, blanks around it allowed.
std::optional<std::int32_t> readLinkInteger(LinkField field, const QString& text, QString* why);
// The number of miles the text begins with ("1.5 mi" is 1.5); text that is no length at all,
// or a length no float can hold, is refused.
std::optional<float> readLinkLength(const QString& text, QString* why);
// "Inbound" or "Outbound", or their codes "I" and "O", in any case.
std::optional<LinkDirection> readLinkDirection(const QString& text, QString* why);
// A type's name ("Ramp") or code ("R"), in any case.
std::optional<LinkType> readLinkType(const QString& text, QString* why);

QString directionName(LinkDirection direction);
QString typeName(LinkType type);

// A description is kept on one line of the network file, so each line break typed (CR LF, CR
// or LF alike) becomes a single space.
QString singleLine(const QString& text);

} // namespace vantry
