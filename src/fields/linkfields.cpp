#include "fields/linkfields.h"

#include "fields/numbertext.h"

#include "model/linkcodes.h"

#include <array>
#include <cmath>

namespace vantry {

namespace {

constexpr std::array<const char*, 6> kTypeNames = {"Mainline", "Workzone", "Detour1",
                                                   "Detour2",  "Ramp",     "None"};

void tell(QString* why, const QString& message) {
    if (why)
        *why = message;
}

} // namespace

QString linkFieldName(LinkField field) {
    switch (field) {
    case LinkField::NumLanes:
        return QStringLiteral("Number of Lanes");
    case LinkField::Capacity:
        return QStringLiteral("Capacity");
    case LinkField::Length:
        return QStringLiteral("Length");
    case LinkField::FFSpeed:
        return QStringLiteral("Free-flow Speed");
    case LinkField::JamDensity:
        return QStringLiteral("Jam Density");
    case LinkField::Direction:
        return QStringLiteral("Direction");
    case LinkField::Type:
        return QStringLiteral("Type");
    case LinkField::Description:
        return QStringLiteral("Description");
    }
    return {};
}

std::optional<std::int32_t> readLinkInteger(LinkField field, const QString& text, QString* why) {
    const std::optional<std::int32_t> value = parseIntegerText(text);
    if (!value)
        tell(why, integerFieldMessage(linkFieldName(field)));
    return value;
}

std::optional<float> readLinkLength(const QString& text, QString* why) {
    const std::optional<double> v = parseLeadingNumber(text);
    if (!v || !std::isfinite(static_cast<float>(*v))) {
        tell(why, QStringLiteral("Please enter a number of miles for Length."));
        return std::nullopt;
    }
    return static_cast<float>(*v);
}

std::optional<LinkDirection> readLinkDirection(const QString& text, QString* why) {
    if (const std::optional<LinkDirection> d = linkDirectionNamed(text.trimmed().toStdString()))
        return d;
    tell(why, QStringLiteral("Please enter Inbound or Outbound for Direction."));
    return std::nullopt;
}

std::optional<LinkType> readLinkType(const QString& text, QString* why) {
    if (const std::optional<LinkType> t = linkTypeNamed(text.trimmed().toStdString()))
        return t;
    tell(why, QStringLiteral(
                  "Please enter Mainline, Workzone, Detour1, Detour2, Ramp or None for Type."));
    return std::nullopt;
}

QString directionName(LinkDirection direction) {
    return direction == LinkDirection::Outbound ? QStringLiteral("Outbound")
                                                : QStringLiteral("Inbound");
}

QString typeName(LinkType type) {
    const auto i = static_cast<std::size_t>(type);
    return i < kTypeNames.size() ? QLatin1String(kTypeNames[i]) : QStringLiteral("None");
}

QString singleLine(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            out += QLatin1Char(' ');
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n') || c == QChar::LineSeparator ||
                   c == QChar::ParagraphSeparator) {
            out += QLatin1Char(' ');
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace vantry
