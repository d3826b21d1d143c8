#include "exchange/linkrowreader.h"

#include "exchange/exchangefields.h"
#include "exchange/fieldmatch.h"
#include "exchange/unitcheck.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace vantry {

namespace {

// The cells of one field that could not be read told one by one, before the rest are counted.
constexpr std::size_t kToldPerField = 10;

std::string trimmed(const std::string& s) {
    std::size_t begin = 0, end = s.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(s[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(s[end - 1])))
        --end;
    return s.substr(begin, end - begin);
}

bool isOneOf(const std::string& text, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (sameFieldName(text, name))
            return true;
    return false;
}

std::string rowList(const std::vector<std::size_t>& rows) {
    std::string text;
    const std::size_t shown = std::min<std::size_t>(rows.size(), 5);
    for (std::size_t i = 0; i < shown; ++i)
        text += (i ? ", " : "") + std::to_string(rows[i]);
    if (rows.size() > shown)
        text += " and " + std::to_string(rows.size() - shown) + " more";
    return text;
}

} // namespace

std::string nodeIdOf(const std::string& text) {
    std::string id = trimmed(text);
    const std::size_t point = id.find('.');
    if (point == std::string::npos || point == 0)
        return id;
    const bool digitsBefore =
        std::all_of(id.begin() + (id[0] == '-' || id[0] == '+' ? 1 : 0), id.begin() + point,
                    [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
    const bool zerosAfter =
        std::all_of(id.begin() + point + 1, id.end(), [](char c) { return c == '0'; });
    if (digitsBefore && zerosAfter)
        id.erase(point);
    return id;
}

LinkType linkTypeNamed(const std::string& text) {
    // The network's own codes, as a link writes them.
    static const auto kCodes = [] {
        std::array<std::pair<LinkType, std::string>, 5> codes;
        const LinkType types[] = {LinkType::Mainline, LinkType::Workzone, LinkType::Detour1,
                                  LinkType::Detour2, LinkType::Ramp};
        for (std::size_t i = 0; i < 5; ++i) {
            Link probe;
            probe.setType(types[i]);
            codes[i] = {types[i], probe.typeCode()};
        }
        return codes;
    }();
    const std::string t = trimmed(text);
    if (t.empty())
        return LinkType::None;
    for (const auto& [type, code] : kCodes)
        if (sameFieldName(t, code) || sameFieldName(t, facilityTypeText(type)))
            return type;
    if (isOneOf(t, {"freeway", "motorway", "interstate", "expressway", "highway"}))
        return LinkType::Mainline;
    if (isOneOf(t, {"on-ramp", "off-ramp", "on ramp", "off ramp", "motorway_link", "ramps"}))
        return LinkType::Ramp;
    return LinkType::None;
}

LinkRowReader::LinkRowReader(const ImportRows& rows, const ImportChoices& choices)
    : rows_(rows), choices_(choices) {
    for (std::size_t f = 0; f < static_cast<std::size_t>(ImportField::Count); ++f)
        columns_[f] = mappedColumn(choices.mapping, static_cast<ImportField>(f), rows.fields);
}

LinkRowReader::Cell LinkRowReader::cell(std::size_t row, ImportField field) const {
    static const std::string empty;
    const int c = column(field);
    Cell result{&empty, &empty, rows_.rowNumbers[row]};
    if (c < 0)
        return result;
    const auto col = static_cast<std::size_t>(c);
    result.field = &rows_.fields[col];
    if (col < rows_.cells[row].size())
        result.text = &rows_.cells[row][col];
    return result;
}

void LinkRowReader::cannotRead(const Cell& c, const std::string& what,
                               std::vector<std::string>& warnings) {
    if (++told_[*c.field] > kToldPerField) {
        ++untold_[*c.field];
        return;
    }
    warnings.push_back(rows_.fileName + " row " + std::to_string(c.rowNumber) + ", " + *c.field +
                       ": \"" + *c.text + "\" " + what + ".");
}

std::optional<double> LinkRowReader::number(const Cell& c, std::vector<std::string>& warnings) {
    const std::string text = trimmed(*c.text);
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v)) {
        cannotRead(c, "is not a number", warnings);
        return std::nullopt;
    }
    return v;
}

std::int32_t LinkRowReader::whole(const Cell& c, double scale, std::vector<std::string>& warnings) {
    const std::optional<double> v = number(c, warnings);
    if (!v)
        return 0;
    const double rounded = std::round(*v * scale);
    if (std::fabs(rounded) > std::numeric_limits<std::int32_t>::max()) {
        cannotRead(c, "is too large", warnings);
        return 0;
    }
    return static_cast<std::int32_t>(rounded);
}

std::optional<bool> LinkRowReader::flag(const Cell& c, std::vector<std::string>& warnings) {
    const std::string text = trimmed(*c.text);
    if (text.empty())
        return std::nullopt;
    if (isOneOf(text, {"1", "true", "t", "yes", "y", "1.0"}))
        return true;
    if (isOneOf(text, {"0", "false", "f", "no", "n", "0.0"}))
        return false;
    cannotRead(c, "is neither true nor false", warnings);
    return std::nullopt;
}

LinkValues LinkRowReader::read(std::size_t row, std::vector<std::string>& warnings) {
    LinkValues v;
    v.from = nodeIdOf(*cell(row, ImportField::FromNode).text);
    v.to = nodeIdOf(*cell(row, ImportField::ToNode).text);
    const Cell directed = cell(row, ImportField::Directed);
    if (column(ImportField::Directed) >= 0 && trimmed(*directed.text).empty())
        emptyDirected_.push_back(directed.rowNumber);
    v.directed = flag(directed, warnings).value_or(true);

    v.lanes = whole(cell(row, ImportField::Lanes), 1.0, warnings);
    v.capacity = whole(cell(row, ImportField::Capacity), 1.0, warnings);
    v.freeSpeed =
        whole(cell(row, ImportField::FreeSpeed), mphPerUnit(choices_.speedUnit), warnings);
    // Jam density is per lane per unit of length: per mile is the stated figure times the
    // unit's count in a mile.
    v.jamDensity = whole(cell(row, ImportField::JamDensity),
                         1.0 / milesPerUnit(choices_.lengthUnit), warnings);
    v.length = number(cell(row, ImportField::Length), warnings);
    v.lengthAuto = flag(cell(row, ImportField::LengthAuto), warnings).value_or(false);

    const Cell direction = cell(row, ImportField::Direction);
    const std::string d = trimmed(*direction.text);
    if (isOneOf(d, {"I", "inbound", "in"}))
        v.direction = LinkDirection::Inbound;
    else if (isOneOf(d, {"O", "outbound", "out"}))
        v.direction = LinkDirection::Outbound;
    else if (!d.empty())
        cannotRead(direction, "is neither I (inbound) nor O (outbound)", warnings);

    const Cell code = cell(row, ImportField::LinkType);
    v.type = linkTypeNamed(*code.text);
    if (v.type == LinkType::None && trimmed(*code.text).empty())
        v.type = linkTypeNamed(*cell(row, ImportField::FacilityType).text);
    v.description = *cell(row, ImportField::Description).text;

    const Cell side = cell(row, ImportField::TwoWaySide);
    if (!trimmed(*side.text).empty()) {
        const std::int32_t s = whole(side, 1.0, warnings);
        if (s < 0 || s > 2)
            cannotRead(side, "is not a two-way side (0, 1 or 2)", warnings);
        else
            v.twoWaySide = s;
    }
    return v;
}

void LinkRowReader::finish(std::vector<std::string>& warnings) const {
    for (const auto& [field, count] : untold_)
        warnings.push_back(rows_.fileName + ", " + field + ": " + std::to_string(count) +
                           " more rows cannot be read either.");
    if (emptyDirected_.empty())
        return;
    const std::size_t c = static_cast<std::size_t>(column(ImportField::Directed));
    warnings.push_back(rows_.fileName + " row" + (emptyDirected_.size() > 1 ? "s " : " ") +
                       rowList(emptyDirected_) + ", " + rows_.fields[c] +
                       ": empty, taken as directed as GMNS tools take it.");
}

} // namespace vantry
