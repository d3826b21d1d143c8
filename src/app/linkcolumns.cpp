#include "app/linkcolumns.h"

#include "fields/linkfields.h"
#include "fields/numbertext.h"
#include "fields/storedtext.h"

#include <bit>
#include <optional>
#include <utility>

namespace vantry {

namespace {

LinkField fieldOf(int column) {
    switch (column) {
    case LinkColumns::Lanes:
        return LinkField::NumLanes;
    case LinkColumns::Capacity:
        return LinkField::Capacity;
    case LinkColumns::FFSpeed:
        return LinkField::FFSpeed;
    case LinkColumns::JamDensity:
        return LinkField::JamDensity;
    case LinkColumns::Length:
        return LinkField::Length;
    case LinkColumns::Direction:
        return LinkField::Direction;
    case LinkColumns::Type:
        return LinkField::Type;
    default:
        return LinkField::Description;
    }
}

// A pasted header cell as compared with the names below: lower case, letters and digits only,
// so that "Free-flow Speed", "free flow speed" and "FFSPEED" are all one name.
QString nameKey(const QString& name) {
    QString key;
    for (const QChar c : name)
        if (c.isLetterOrNumber())
            key += c.toLower();
    return key;
}

// The text standing for an automatic length, in a copy and in what is typed or pasted.
bool isAutomaticText(const QString& text) {
    const QString t = text.trimmed();
    return t.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0 ||
           t.compare(QLatin1String("automatic"), Qt::CaseInsensitive) == 0;
}

template <class T, class Set> bool change(T now, T next, Set set) {
    if (now == next)
        return false;
    set(next);
    return true;
}

} // namespace

QString LinkColumns::title(int column) {
    switch (column) {
    case Number:
        return QStringLiteral("Link");
    case From:
        return QStringLiteral("From");
    case To:
        return QStringLiteral("To");
    case Lanes:
        return QStringLiteral("Lanes");
    case Capacity:
        return QStringLiteral("Capacity");
    case Length:
        return QStringLiteral("Length");
    case FFSpeed:
        return QStringLiteral("Free-flow Speed");
    case JamDensity:
        return QStringLiteral("Jam Density");
    case Direction:
        return QStringLiteral("Direction");
    case Type:
        return QStringLiteral("Type");
    case Description:
        return QStringLiteral("Description");
    default:
        return {};
    }
}

bool LinkColumns::isEditable(int column) {
    return column >= Lanes && column < ColumnCount;
}

int LinkColumns::named(const QString& name) {
    const QString key = nameKey(name);
    if (key.isEmpty())
        return -1;
    for (int c = 0; c < ColumnCount; ++c) {
        if (key == nameKey(title(c)))
            return c;
        if (isEditable(c) && key == nameKey(linkFieldName(fieldOf(c))))
            return c;
    }
    static const std::pair<const char*, int> shortNames[] = {
        {"linkno", Number},      {"linknumber", Number}, {"fromnode", From},
        {"tonode", To},          {"numlanes", Lanes},    {"lane", Lanes},
        {"cap", Capacity},       {"len", Length},        {"speed", FFSpeed},
        {"ffspeed", FFSpeed},    {"freespeed", FFSpeed}, {"jam", JamDensity},
        {"density", JamDensity}, {"dir", Direction},     {"linktype", Type},
        {"desc", Description},   {"name", Description},
    };
    for (const auto& [alias, column] : shortNames)
        if (key == QLatin1String(alias))
            return column;
    return -1;
}

QString LinkColumns::text(const Link& link, int column) {
    auto nodeId = [](const Node* n) { return QString::number(n ? n->id() : 0); };
    switch (column) {
    case Number:
        return QString::number(link.id());
    case From:
        return nodeId(link.fromNode());
    case To:
        return nodeId(link.toNode());
    case Lanes:
        return QString::number(link.numLanes());
    case Capacity:
        return QString::number(link.capacity());
    case Length:
        return formatFixed(link.effectiveLength(), 3);
    case FFSpeed:
        return QString::number(link.ffSpeed());
    case JamDensity:
        return QString::number(link.jamDensity());
    case Direction:
        return directionName(link.direction());
    case Type:
        return typeName(link.type());
    case Description:
        return decodeStoredText(link.description());
    default:
        return {};
    }
}

bool LinkColumns::read(const Link& link, int column, const QString& text, Value& value,
                       QString* why) {
    value.column = column;
    value.keep = true;
    if (!isEditable(column))
        return true;
    if (column == Description) {
        const std::string bytes = StoredText(link.description()).encode(singleLine(text));
        value.keep = bytes == link.description();
        value.description = bytes;
        return true;
    }
    // As the dialog leaves an attribute it was not given, and a length left as shown.
    if (text.trimmed().isEmpty() || (column == Length && text == LinkColumns::text(link, Length)))
        return true;
    if (column == Length && isAutomaticText(text)) {
        value.length = -1.0f;
        value.keep = link.hasAutomaticLength();
        return true;
    }
    switch (column) {
    case Length: {
        const std::optional<float> v = readLinkLength(text, why);
        if (!v)
            return false;
        value.length = *v;
        break;
    }
    case Direction: {
        const std::optional<LinkDirection> v = readLinkDirection(text, why);
        if (!v)
            return false;
        value.direction = *v;
        break;
    }
    case Type: {
        const std::optional<LinkType> v = readLinkType(text, why);
        if (!v)
            return false;
        value.type = *v;
        break;
    }
    default: {
        const std::optional<std::int32_t> v = readLinkInteger(fieldOf(column), text, why);
        if (!v)
            return false;
        value.integer = *v;
        break;
    }
    }
    value.keep = false;
    return true;
}

bool LinkColumns::write(Link& link, const Value& v) {
    Link* l = &link;
    switch (v.column) {
    case Lanes:
        return change(l->numLanes(), v.integer, [l](auto x) { l->setNumLanes(x); });
    case Capacity:
        return change(l->capacity(), v.integer, [l](auto x) { l->setCapacity(x); });
    case FFSpeed:
        return change(l->ffSpeed(), v.integer, [l](auto x) { l->setFFSpeed(x); });
    case JamDensity:
        return change(l->jamDensity(), v.integer, [l](auto x) { l->setJamDensity(x); });
    case Direction:
        return change(l->direction(), v.direction, [l](auto x) { l->setDirection(x); });
    case Type:
        return change(l->type(), v.type, [l](auto x) { l->setType(x); });
    case Description:
        return change(l->description(), v.description,
                      [l](const std::string& x) { l->setDescription(x); });
    case Length: {
        // Compared bit for bit, so that an automatic length made typed (or back) counts.
        const float before = l->storedLength();
        l->setLength(v.length);
        return std::bit_cast<std::uint32_t>(before) !=
               std::bit_cast<std::uint32_t>(l->storedLength());
    }
    default:
        return false;
    }
}

} // namespace vantry
